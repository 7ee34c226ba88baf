// graph_manager.cpp - starting and stopping graphics and the graph system (see
// graph_manager.h).
#include "library/graph/graph_manager.h"

#include "library/core/log.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/display_device.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/font/font.h"
#include "library/graph/camera.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/mask_screen.h"

namespace {
int graphManagerStarted;
int direct3DAvailable;
}  // namespace

int IsGraphManagerStarted(void) { return graphManagerStarted; }
int IsDirect3DAvailable(void) { return direct3DAvailable; }

int StartGraphicsDevice(HWND window) {
    SetGraphicsWindow(window);
    if (StartDirectDrawSystem() < 0) {
        if (IsSoftwareRenderMode()) FatalErrorExit("DirectDraw の初期化に失敗しました");
        WriteLogText("ソフトウエアレンダリングモードに変更します\n");
        SetScreenUseDirectDraw(0);
        if (StartDirectDrawSystem() < 0) FatalErrorExit("DirectDraw の初期化に失敗しました");
    }
    graphManagerStarted = 1;
    return 0;
}

int StopGraphicsDevice(void) {
    EndDirectDrawSystem();
    graphManagerStarted = 0;
    return 0;
}

// The graph table keeps its check-number counter, so no handle made before the
// restart names a graph made after it.
static void ClearGraphSystemState(void) {
    const int nextCheck = GraphTable.nextCheck;
    ResetHandleTable(&GraphTable);
    GraphTable.nextCheck = nextCheck;
    DeleteAllSurfaceData();
    direct3DAvailable = 0;
    InitDefaultFontSettings();  // the default font's start values: size 16, thickness 6, ...
    ResetDrawStateToStartValues();
    g_GraphCamera = GraphCameraState{};
}

int InitGraphManager(void) {
    if (graphManagerStarted) return 0;
    WriteLogText("グラフィック管理系の初期化を行います\n");
    IncLogIndent();
    ClearGraphSystemState();

    graphManagerStarted = 1;
    DeleteAllSurface2DChecked();
    direct3DAvailable = DeleteAllSurface3DData() != -1 ? 1 : 0;
    WriteLogText(direct3DAvailable ? "３Ｄグラフィック描画機能を使用します\n" : "３Ｄグラフィック描画機能は使用しません\n");

    SetGraphCreateBitDepth(0);
    g_DrawState.maskUse = 1;
    g_DrawState.maskActive = g_DrawState.maskUse && IsMaskScreenCreated() ? 1 : 0;

    g_DrawState.drawTarget = BackBufferTarget;
    SelectDrawTargetCore(FrontBufferTarget);
    int width = 0, height = 0;
    GetGraphOrScreenSize(GetDrawTargetHandle(), &width, &height);
    SetDrawClipRect(0, 0, width, height);

    ResetFontSystem();

    DecLogIndent();
    WriteLogText("グラフィック管理系の初期化は正常に終了しました\n");
    return 0;
}

int TermGraphManager(void) {
    if (!graphManagerStarted) return 0;
    DeleteMaskScreen();
    DeleteAllMaskData();
    DeleteAllGraphHandles(0);
    ShutdownFontSystem();
    graphManagerStarted = 0;
    WriteLogText("グラフィック管理系の終了処理は正常に終了しました\n");
    return 0;
}
