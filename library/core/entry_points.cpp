// The public entry points (zqlib.h): each takes the ApiLock around one internal
// routine and returns that routine's result unchanged. WaitWithMessages and the three
// pure helpers take no lock; DrawFormattedTextAt formats before it locks.
#include <cstdarg>

#include "library/core/apilock.h"
#include "library/core/format.h"
#include "library/core/message_pump.h"
#include "library/core/random.h"
#include "library/core/startup.h"
#include "library/core/timing.h"
#include "library/core/window_mode.h"
#include "library/core/zqlib.h"
#include "library/display/color_format.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/font/font.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_loader.h"
#include "library/input/input.h"

enum { FormattedTextCapacity = 1024 };

int InitializeLibrary(void) { return Locked(InitializeLibraryCore); }

int ShutdownLibrary(void) {
    int result = Locked(ShutdownLibraryCore);
    TearDownApiLock();  // the next entry point sets the lock up again
    return result;
}

int ProcessMessage(void) { return Locked(ProcessMessageCore); }
int ChangeWindowMode(int windowed) { return Locked(ChangeWindowModeCore, windowed); }
int SetWindowTitleText(const char* text) { return Locked(SetWindowTitleTextCore, text); }
int SetWindowIconResource(int iconId) { return Locked(SetWindowIconResourceCore, iconId); }
int SetScreenMode(int width, int height, int colorBits, int refreshRate) {
    return Locked(RequestScreenMode, width, height, colorBits, refreshRate);
}

int WaitWithMessages(int milliseconds) { return WaitWithMessagesCore(milliseconds); }
int GetTimeMilliseconds(int ignored) { return Locked(GetTimeMillisecondsCore, ignored); }
int GetRandomInt(int n) { return Locked(GetRandomIntCore, n); }

int CheckKeyDown(int scanCode) { return Locked(CheckKeyDownCore, scanCode); }

const DDPIXELFORMAT* GetScreenPixelFormat(void) { return Locked(GetScreenDDPixelFormat); }
int ComposeColorValue(int r, int g, int b) { return Locked(RgbToScreenPixel, r, g, b); }
int CreateColorFormatFromMasks(ColorFormat* format, int bitsPerPixel, unsigned redMask, unsigned greenMask,
                               unsigned blueMask, unsigned alphaMask) {
    return InitColorFormatFromMasks(format, bitsPerPixel, redMask, greenMask, blueMask, alphaMask);
}
int SetupDDPixelFormat(DDPIXELFORMAT* format, int bitsPerPixel, unsigned redMask, unsigned greenMask,
                       unsigned blueMask, unsigned alphaMask) {
    return InitDDPixelFormatRgb(format, bitsPerPixel, redMask, greenMask, blueMask, alphaMask);
}

int PresentScreen(void) { return Locked(PresentBackBuffer); }
int SelectDrawTarget(int target) { return Locked(SelectDrawTargetCore, target); }
int SetTransparentColorKey(int r, int g, int b) { return Locked(SetTransparentColorKeyCore, r, g, b); }
int ClipRectByRect(RECT* rect, const RECT* clip) { return ClipRectByRectCore(rect, clip); }

int LoadImageToGraph(const char* fileName, int not3D) { return Locked(LoadImageToGraphCore, fileName, not3D); }
int LoadImageToDivGraphs(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                         int* handles, int not3D) {
    return Locked(LoadImageToDivGraphsCore, fileName, count, across, down, cellWidth, cellHeight, handles, not3D);
}
int DeriveSubGraph(int sourceX, int sourceY, int width, int height, int graph) {
    return Locked(DeriveSubGraphCore, sourceX, sourceY, width, height, graph);
}

int ClearCurrentScreen(void) { return Locked(ClearCurrentScreenCore); }
int DrawGraphAt(int x, int y, int graph, int transparent) { return Locked(DrawGraphAtCore, x, y, graph, transparent); }
int DrawGraphMirroredAt(int x, int y, int graph, int transparent) {
    return Locked(DrawGraphMirroredAtCore, x, y, graph, transparent);
}
int DrawGraphPartAt(int destX, int destY, int sourceX, int sourceY, int width, int height, int graph,
                    int transparent, int mirror) {
    return Locked(DrawGraphPartAtCore, destX, destY, sourceX, sourceY, width, height, graph, transparent, mirror);
}
int DrawBoxShape(int x1, int y1, int x2, int y2, int color, int filled) {
    return Locked(DrawBoxShapeCore, x1, y1, x2, y2, color, filled);
}

int DrawTextAt(int x, int y, const char* text, int color, int edgeColor) {
    return Locked(DrawTextAtCore, x, y, text, color, edgeColor);
}

int DrawFormattedTextAt(int x, int y, int color, const char* format, ...) {
    char text[FormattedTextCapacity];
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(text, sizeof text, format, arguments);  // bounded: a longer text is cut
    va_end(arguments);
    return Locked(DrawTextAtCore, x, y, static_cast<const char*>(text), color, 0);
}

int MeasureTextWidth(const char* text, int length, int flag) { return Locked(MeasureTextWidthCore, text, length, flag); }
int SetDefaultFontSize(int size) { return Locked(SetDefaultFontSizeCore, size); }
int SetDefaultFontFace(const char* faceName, int charset) { return Locked(SetDefaultFontFaceCore, faceName, charset); }
int SetDefaultFontType(int typeFlags) { return Locked(SetDefaultFontTypeCore, typeFlags); }
