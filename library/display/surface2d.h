// surface2d.h - 2D surfaces: the rectangles of surface data that hold a graph's pixels
// on the DirectDraw and software paths.
//
// Every graph on these paths has exactly one 2D surface ("piece"), at (0, 0) of the
// graph and of its size; a derived graph's piece shares its parent's surface data at
// an offset. The font code makes screen-sized pieces of its own (owner -1) and
// registers a lost flag on them, which deleting the piece sets to 1 so that the font
// makes it again.
//
//     CreateGraphSurface2D(graph);                             // storage for a new graph
//     TransferImageToGraphSurfaces(0, 0, graph, &image, nullptr);
//     DrawSurface2D(x, y, graph->pieces[0], 1);                // keyed draw on the target
//     DeleteGraphSurface2D(graph);
//
// Transfers are clipped to the image and to the piece: pixels are written only where
// both exist. Before display start-up most operations refuse with -1.
#pragma once

#include <cstdint>

#include "library/core/handle_table.h"
#include "library/display/surface_data.h"
#include "library/graph/graph_image.h"
#include "platform/wintypes.h"

struct GraphRecord;
struct MovieRecord;
struct SurfaceDataSettings;

enum { Surface2DCapacity = 32768 };

struct Surface2DRecord {
    HandleRecordHead head;      // check number; lost flag written 1 on delete
    uint16_t xInGraph, yInGraph;
    uint16_t sourceX, sourceY;  // top-left inside the surface data
    uint16_t width, height;
    int32_t owner;              // graph handle, or -1
    int32_t surfaceData;        // SurfaceDataHandle; the piece holds one reference
};

extern HandleTable Surface2DTable;

// Table.
int AddSurface2D(int width, int height, int xInGraph, int yInGraph, int owner, const Surface2DRecord* shareFrom,
                 int sourceX, int sourceY, const SurfaceDataSettings* settings);
int DeleteSurface2D(int handle);               // 0, also for a refused handle
Surface2DRecord* GetSurface2DRecord(int handle);
Surface2DRecord* LookupSurface2D(int handle);  // the same lookup; null when refused
int EndSurface2DAccess(void);
int SetSurface2DLostFlagPtr(int handle, int* lostFlag);
int DeleteAllSurface2D(void);           // 0, or -1 before display start-up
int DeleteAllSurface2DChecked(void);
int RestoreAllSurface2D(void);          // 0, or -1 when a surface was lost (or before start-up)
int ReleaseAllSurface2DStorage(void);   // 0: the storage behind every live 2D surface
int RecreateAllSurface2DStorage(void);  // 0: storage and colour key of every live 2D surface again

// A graph's pieces.
// The graph's creation options as its storage takes them (2D and 3D pieces alike).
SurfaceDataSettings GraphSurfaceSettings(const GraphRecord* graph);
int CreateGraphSurface2D(GraphRecord* graph);
// (sourceX, sourceY, width, height) is a rectangle of the parent graph.
int CreateGraphSurface2DShared(GraphRecord* graph, int sourceX, int sourceY, int width, int height,
                               const GraphRecord* parent);
int DeleteGraphSurface2D(GraphRecord* graph);
int TransferImageToGraphSurfaces(int imageX, int imageY, GraphRecord* graph, const GraphImage* image,
                                 const GraphImage* alphaImage);
int TransferImageRectToGraphSurfaces(const RECT* sourceRect, int destX, int destY, GraphRecord* graph,
                                     const GraphImage* image, const GraphImage* alphaImage);
int RestoreGraphSurfaces(GraphRecord* graph);  // -1 when a piece was lost (or is refused)

// One piece.
int TransferImageToSurface2D(int imageX, int imageY, int handle, const GraphImage* image,
                             const GraphImage* alphaImage);
// destX, destY: where the source rectangle goes inside the piece's surface data.
int TransferImageToSurface2DArea(const RECT* sourceRect, int destX, int destY, int handle, const GraphImage* image,
                                 const GraphImage* alphaImage);
int DrawSurface2D(int x, int y, int handle, int transparent);
int TransferMovieFrameToGraph(const MovieRecord* movie, GraphRecord* graph);
