// graph_seams.cpp - stand-ins for the graph subsystem until it is built; that work
// replaces this file. Graphics start-up is the display's own start-up; otherwise they
// behave as the real routines do before the graph manager has started: no graphs, no
// draw area, no mask screen, and every drawing call fails; the draw state keeps only
// what it is told.
#include "library/graph/graph_seams.h"

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/display/display_device.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"
#include "library/graph/mask_screen.h"

namespace {
GraphRestoreHandler restoreHandler = nullptr;
int defaultHandlerInstalled = 0;
}  // namespace

// Graphics start-up is the display's start-up with its one fallback: when the screen
// mode cannot be set, GDI output with the software renderer.
int StartGraphicsDevice(HWND window) {
    SetGraphicsWindow(window);
    if (StartDirectDrawSystem() < 0) {
        if (IsSoftwareRenderMode()) FatalErrorExit("DirectDraw の初期化に失敗しました");
        WriteLogText("ソフトウエアレンダリングモードに変更します\n");
        SetScreenUseDirectDraw(0);
        if (StartDirectDrawSystem() < 0) FatalErrorExit("DirectDraw の初期化に失敗しました");
    }
    return 0;
}

int StopGraphicsDevice(void) { return EndDirectDrawSystem(); }

// Without graph tables there is nothing to clear but the draw target, which starts on
// the front screen as the graph manager's start values have it.
int InitGraphManager(void) {
    g_DrawState.drawTarget = -4;
    return 0;
}
int TermGraphManager(void) { return 0; }

int SetGraphRestoreHandler(GraphRestoreHandler handler) {
    restoreHandler = handler;
    defaultHandlerInstalled = handler == nullptr;
    return 0;
}
int HasGraphRestoreHandler(void) { return restoreHandler != nullptr || defaultHandlerInstalled; }
int RestoreAllGraphSurfaces(void) { return 0; }
int RestoreGraphicsAfterDeviceLoss(void) { return -1; }
int RunAllGraphMovieStreams(void) { return 0; }
int PauseAllGraphMovieStreams(void) { return 0; }
int ReleaseAllMovieObjects(void) { return 0; }
#include "library/graph/graph_record.h"
#include "library/graph/mask_screen.h"
#include "platform/wintypes.h"

int SetHardware3DDrawFlag(int flag) {
    if (GetDirectDrawObject() == nullptr) SetSoftwareScreenRequest(flag == 0 ? 1 : 0);
    g_DrawState.useHardware3D = flag;
    return 0;
}

int SetGraphDirectDrawSurfaceFlag(int flag) {
    g_DrawState.newGraphInMemImg = IsDirectDrawUsed() ? 1 : (flag != 1);
    return 0;
}

int DeleteAllGraphHandles(int) { return 0; }

// Without a display only the screens can be targets.
int SelectDrawTargetCore(int target) {
    if (target != -2 && target != -4) return -1;
    g_DrawState.drawTarget = target;
    return 0;
}
int GetDrawTargetHandle(void) { return g_DrawState.drawTarget; }
int SetDrawOriginRect(const RECT*) { return 0; }
int CheckDrawOriginKept(void) { return 0; }
int GetDrawClipRect(RECT* rect) {
    *rect = g_DrawState.clipRect;
    return 0;
}
int SetDrawClipRect(int, int, int, int) { return -1; }
int EnableMaskScreen(int) { return -1; }
int CheckMaskScreenInUse(void) { return 0; }
int GetScreenSizeAndDepth(int* width, int* height, int* colorBits) {
    GetScreenPixelSize(width, height);
    if (colorBits != nullptr) *colorBits = GetScreenColorBitDepth();
    return 0;
}
int SetBlendModeParam(int, int) { return 0; }
int SetTransparentColorKeyCore(int, int, int) { return 0; }

int SetGraphDrawValidFlag(int) { return 0; }
int CreateBlankGraph(int, int, int) { return -1; }
int DeleteGraphHandle(int, int) { return -1; }
int CreateRGB24GraphImage(int, int, GraphImage*) { return -1; }
int FillGraphImageColor(GraphImage*, int, int, int, int) { return -1; }
int BuildGraphFromGraphImageDefault(GraphImage*) { return -1; }
int FreeGraphImage(GraphImage* image) {
    *image = GraphImage{};
    return 0;
}
HBITMAP CreateDIBGraphFromFile(const char*, int, const ColorFormat*) { return nullptr; }
int GetDIBGraphInfo(HBITMAP, int*, int*, const void**, int*, int*) { return -1; }
int DeleteDIBGraph(HBITMAP) { return -1; }
int LoadImageToGraphCore(const char*, int) { return -1; }
int LoadImageToDivGraphsCore(const char*, int, int, int, int, int, int*, int) { return -1; }
int DeriveSubGraphCore(int, int, int, int, int) { return -1; }

int ClearCurrentScreenCore(void) {
    WaitWhileInactive();
    return -1;
}
int DrawGraphAtCore(int, int, int, int) {
    WaitWhileInactive();
    return -1;
}
int DrawGraphMirroredAtCore(int, int, int, int) {
    WaitWhileInactive();
    return -1;
}
int DrawGraphPartAtCore(int, int, int, int, int, int, int, int, int) {
    WaitWhileInactive();
    return -1;
}
int DrawGraphStretched(int, int, int, int, int, int) { return -1; }
int DrawBoxShapeCore(int, int, int, int, int, int) {
    WaitWhileInactive();
    return -1;
}
int DrawTextAtCore(int, int, const char*, int, int) {
    WaitWhileInactive();
    return -1;
}

GraphRecord* GetGraphRecord(int) { return nullptr; }

int DrawGraphAtSoft(int, int, GraphRecord*, int, int) { return -1; }

int DrawLineListSoft(const LineSegmentRecord*, int) { return -1; }

MEMIMG* GetMaskScreenMemImg(void) { return nullptr; }
IDirectDrawSurface7* GetMaskScreenSurface(void) { return nullptr; }
