// zqlib.h - the public entry points of the library.
//
// This is the only header a program includes. Every entry point takes the
// library's lock around one internal routine and returns that routine's result
// unchanged; WaitWithMessages, CreateColorFormatFromMasks, SetupDDPixelFormat and
// ClipRectByRect take no lock. Texts are Shift-JIS, zero-terminated.
//
// Typical use:
//     SetWindowTitleText("Cinderwhirl");
//     ChangeWindowMode(1);
//     if (InitializeLibrary() == -1) return -1;
//     SelectDrawTarget(BackBufferTarget);
//     while (ProcessMessage() == 0) { ClearCurrentScreen(); ...; PresentScreen(); }
//     ShutdownLibrary();
#pragma once

struct RECT;
struct DDPIXELFORMAT;
struct ColorFormat;

// Values that stand for the two screens wherever a graph handle is accepted as
// a draw target.
enum { FrontBufferTarget = -4, BackBufferTarget = -2 };

// Start-up and shutdown.
int InitializeLibrary(void);
int ShutdownLibrary(void);
int ProcessMessage(void);  // -1 when the program must end, else 0

// Window and screen settings (stored before start-up, applied after).
int ChangeWindowMode(int windowed);
int SetWindowTitleText(const char* text);
int SetWindowIconResource(int iconId);
int SetScreenMode(int width, int height, int colorBits, int refreshRate);

// Time and random numbers.
int WaitWithMessages(int milliseconds);
int GetTimeMilliseconds(int ignored);
int GetRandomInt(int n);  // 0..n inclusive; n..0 for a negative n

// Input.
int CheckKeyDown(int scanCode);  // 1 down, 0 up

// Colours and pixel formats.
const DDPIXELFORMAT* GetScreenPixelFormat(void);
int ComposeColorValue(int r, int g, int b);
int CreateColorFormatFromMasks(ColorFormat* format, int bitsPerPixel, unsigned redMask,
                               unsigned greenMask, unsigned blueMask, unsigned alphaMask);
int SetupDDPixelFormat(DDPIXELFORMAT* format, int bitsPerPixel, unsigned redMask,
                       unsigned greenMask, unsigned blueMask, unsigned alphaMask);

// Presenting and draw targets.
int PresentScreen(void);
int SelectDrawTarget(int target);
int SetTransparentColorKey(int r, int g, int b);
int ClipRectByRect(RECT* rect, const RECT* clip);

// Graphs.
int LoadImageToGraph(const char* fileName, int not3D);
int LoadImageToDivGraphs(const char* fileName, int count, int across, int down, int cellWidth,
                         int cellHeight, int* handles, int not3D);
int DeriveSubGraph(int sourceX, int sourceY, int width, int height, int graph);

// Drawing.
int ClearCurrentScreen(void);
int DrawGraphAt(int x, int y, int graph, int transparent);
int DrawGraphMirroredAt(int x, int y, int graph, int transparent);
int DrawGraphPartAt(int destX, int destY, int sourceX, int sourceY, int width, int height,
                    int graph, int transparent, int mirror);
int DrawBoxShape(int x1, int y1, int x2, int y2, int color, int filled);

// Text.
int DrawTextAt(int x, int y, const char* text, int color, int edgeColor);
int DrawFormattedTextAt(int x, int y, int color, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int MeasureTextWidth(const char* text, int length, int flag);
int SetDefaultFontSize(int size);
int SetDefaultFontFace(const char* faceName, int charset);
int SetDefaultFontType(int typeFlags);
