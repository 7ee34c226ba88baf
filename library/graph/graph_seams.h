// graph_seams.h - graph, draw-state, movie and restore routines the library core calls
// before the graph subsystem is built. Stand-ins in graph_seams.cpp; the graph
// subsystem replaces both files with its own headers and definitions.
#pragma once

#include "library/graph/graph_image.h"
#include "platform/wintypes.h"

struct ColorFormat;

// Graph manager start and stop, restoring after a device loss.
int StartGraphicsDevice(HWND window);  // 0; ends the process when no display can start
int StopGraphicsDevice(void);
int InitGraphManager(void);  // 0: every graph table empty, the draw state at its start values
int TermGraphManager(void);  // 0
using GraphRestoreHandler = int (*)(void);
int SetGraphRestoreHandler(GraphRestoreHandler handler);  // null: the default handler
int HasGraphRestoreHandler(void);
int RestoreAllGraphSurfaces(void);
int RestoreGraphicsAfterDeviceLoss(void);
int RunAllGraphMovieStreams(void);
int PauseAllGraphMovieStreams(void);
int ReleaseAllMovieObjects(void);

// Draw state.
int SelectDrawTargetCore(int target);
int GetDrawTargetHandle(void);
int SetDrawOriginRect(const RECT* rect);
int CheckDrawOriginKept(void);  // 1 when the draw state keeps an origin of its own
int GetDrawClipRect(RECT* rect);
int SetDrawClipRect(int x1, int y1, int x2, int y2);
int EnableMaskScreen(int flag);
int CheckMaskScreenInUse(void);
int GetScreenSizeAndDepth(int* width, int* height, int* colorBits);
int SetBlendModeParam(int mode, int parameter);
int SetTransparentColorKeyCore(int r, int g, int b);
int ClipRectByRectCore(RECT* rect, const RECT* clip);

// Graphs and decoded images.
int SetGraphDrawValidFlag(int flag);
int CreateBlankGraph(int width, int height, int not3D);
int DeleteGraphHandle(int graph, int logFlag);
int CreateRGB24GraphImage(int width, int height, GraphImage* image);
int FillGraphImageColor(GraphImage* image, int r, int g, int b, int a);
int BuildGraphFromGraphImageDefault(GraphImage* image);
int FreeGraphImage(GraphImage* image);
HBITMAP CreateDIBGraphFromFile(const char* fileName, int mirror, const ColorFormat* format);
// Size and 32-bit top-down pixels of such a bitmap (pixels may be null), and its deletion.
int GetDIBGraphInfo(HBITMAP bitmap, int* width, int* height, const void** pixels, int* pitch, int* bytesPerPixel);
int DeleteDIBGraph(HBITMAP bitmap);
int LoadImageToGraphCore(const char* fileName, int not3D);
int LoadImageToDivGraphsCore(const char* fileName, int count, int across, int down, int cellWidth,
                             int cellHeight, int* handles, int not3D);
int DeriveSubGraphCore(int sourceX, int sourceY, int width, int height, int graph);

// Drawing front ends.
int ClearCurrentScreenCore(void);
int DrawGraphAtCore(int x, int y, int graph, int transparent);
int DrawGraphMirroredAtCore(int x, int y, int graph, int transparent);
int DrawGraphPartAtCore(int destX, int destY, int sourceX, int sourceY, int width, int height, int graph,
                        int transparent, int mirror);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawBoxShapeCore(int x1, int y1, int x2, int y2, int color, int filled);
int DrawTextAtCore(int x, int y, const char* text, int color, int edgeColor);
