// draw_state.cpp - the draw-state record, its setters, the selection of the draw
// target and the draw area, and the rectangle helpers shared by every renderer (see
// draw_state.h).
#include "library/graph/draw_state.h"

#include <algorithm>

#include "library/core/arith.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/graph/camera.h"
#include "library/graph/draw_side.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "library/graph/mask_screen.h"
#include "library/softrender/soft_target.h"

DrawState g_DrawState;
uint8_t BlendGraphWeightTable[256];
int g_SoftwareRectOutline;

namespace {

int ClampByte(int value) { return std::clamp(value, 0, 255); }

// A separate copy of the visible screen is kept (and drawn on instead of the primary).
bool FrontCopyInUse() { return g_Screen.frontCopySurfaceUse && g_Screen.FrontCopySurface != nullptr; }

// Drawing goes straight onto the primary surface of a window: the draw origin is then
// the window's client area on the screen.
bool DrawsOntoWindowedPrimary() { return !FrontCopyInUse() && GetWindowedFlag() && !IsSoftwareScreen(); }

// Makes `target` the target of every renderer; -1 when one of them refuses it.
int ApplyDrawTarget(int target, int previous, int maskWasInUse) {
    DrawState& d = g_DrawState;
    d.drawTarget = target;
    d.drawOrigin = RECT{0, 0, 0, 0};
    if (!(IsMaskScreenCreated() && maskWasInUse) && target == FrontBufferTarget && DrawsOntoWindowedPrimary()) {
        GetWindowClientScreenRect(&d.drawOrigin);
    }
    const int hardware = IsDirect3DAvailable() ? G_D3D_SelectDrawTarget(target, previous) : 0;
    const int software = SelectDrawTargetSoft(target, previous);
    return hardware < 0 || software < 0 ? -1 : 0;
}

}  // namespace

void ResetDrawStateToStartValues(void) {
    DrawState& d = g_DrawState;
    const int suspended = d.suspended;
    d = DrawState{};
    d.suspended = suspended;
    d.blendGraph = -1;
    d.hardwareRenderSetting = 3;
    d.useHardware3D = 1;
    d.newGraphAlphaTest = 1;
    d.blendMode = BlendNone;
    SetBrightnessColorPacked(BrightnessNeutral);
    d.depth2D = 0.2f;
    d.zCompare = ZCompareLessEqual;
}

// ---- Blending and brightness --------------------------------------------------------

int SetBlendModeParam(int mode, int parameter) {
    DrawState& d = g_DrawState;
    parameter = ClampByte(parameter);
    if (d.suspended || (d.blendMode == mode && d.blendParam == parameter)) return 0;
    WaitWhileInactive();
    d.blendMode = mode;
    d.blendParam = parameter;
    G_D3D_SetBlendModeParam(mode, parameter);
    return 0;
}

void BuildBlendGraphWeightTable(int borderParam, int borderRange) {
    const int q = 65536 / (borderRange + 1);
    const int s = ((q + 256) * borderParam) / 256;
    const int base = 256 - s;
    for (int v = 0; v < 256; v++) BlendGraphWeightTable[v] = uint8_t(ClampByte(v * 256 / (borderRange + 1) + base));
}

int SelectBlendGraph(int graph, int borderParam, int borderRange) {
    DrawState& d = g_DrawState;
    borderParam = ClampByte(borderParam);
    borderRange = ClampByte(borderRange);
    if (d.suspended ||
        (d.blendGraph == graph && d.blendGraphBorderParam == borderParam && d.blendGraphBorderRange == borderRange)) {
        return 0;
    }
    GraphRecord* record = nullptr;
    if (graph != -1) {
        record = GetGraphRecord(graph);
        if (record == nullptr) return -1;
    }
    WaitWhileInactive();
    d.blendGraph = graph;
    d.blendGraphBorderParam = borderParam;
    d.blendGraphBorderRange = borderRange;
    if (IsDirect3DAvailable()) G_D3D_SelectBlendGraph(record, borderParam, borderRange);
    BuildBlendGraphWeightTable(borderParam, borderRange);
    return 0;
}

int SetBrightnessColorPacked(uint32_t rgb) {
    rgb &= 0xFFFFFF;
    if (g_DrawState.brightness == rgb) return 0;
    g_DrawState.brightness = rgb;
    G_D3D_SetBrightness();
    return 0;
}

int SetBrightnessRGB(int r, int g, int b) {
    const uint32_t rgb = uint32_t(ClampByte(r)) << 16 | uint32_t(ClampByte(g)) << 8 | uint32_t(ClampByte(b));
    if (g_DrawState.brightness == rgb) return 0;
    g_DrawState.brightness = rgb;
    if (IsDirect3DAvailable()) G_D3D_SetBrightness();
    return 0;
}

int SetDrawFilterMode(int mode) {
    DrawState& d = g_DrawState;
    if (d.suspended || d.filterMode == mode) return 0;
    d.filterMode = mode;
    if (IsDirect3DAvailable()) G_D3D_SetDrawFilterMode(mode);
    return 0;
}

int GetDrawFilterMode(void) { return g_DrawState.filterMode; }

int SetTransparentColorKeyCore(int r, int g, int b) {
    if (GetScreenColorBitDepth() == 8) return 0;
    g_DrawState.transparentColor = uint32_t(r & 0xFF) << 16 | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF);
    return 0;
}

// ---- Options of new graphs ----------------------------------------------------------

int SetHardware3DDrawFlag(int flag) {
    if (GetDirectDrawObject() == nullptr) SetSoftwareScreenRequest(flag == 0 ? 1 : 0);
    g_DrawState.useHardware3D = flag;
    return 0;
}

int SetGraphAlphaTestFlag(int flag) {
    g_DrawState.newGraphAlphaTest = flag;
    return 0;
}
int GetGraphAlphaTestFlag(void) { return g_DrawState.newGraphAlphaTest; }

int SetGraphDrawValidFlag(int flag) {
    g_DrawState.newGraphDrawValid = flag;
    return 0;
}

// As the library defines it: while DirectDraw output is in use every new non-texture
// graph keeps a MEMIMG, whatever the flag asks.
int SetGraphMemImgFlag(int flag) {
    g_DrawState.newGraphInMemImg = IsDirectDrawUsed() ? 1 : flag;
    return 0;
}
int GetGraphMemImgFlag(void) { return g_DrawState.newGraphInMemImg; }

int SetGraphDirectDrawSurfaceFlag(int flag) { return SetGraphMemImgFlag(flag != 1); }

int SetGraphCreateBitDepth(int bits) {
    g_DrawState.newGraphColorBits = bits;
    return 0;
}
int GetGraphCreateBitDepth(void) { return g_DrawState.newGraphColorBits; }

int SetGraphAlphaChannelFlag(int flag) {
    g_DrawState.newGraphAlphaChannel = flag;
    return 0;
}
int GetGraphAlphaChannelFlag(void) { return g_DrawState.newGraphAlphaChannel; }

int GetDIBFullColorFlag(void) { return g_DrawState.dibFullColorOption; }

// ---- Draw target and draw area -------------------------------------------------------

// Selection succeeds only when every renderer accepts the target; otherwise the
// previous target is selected again. The mask's use flag is the same on every exit.
int SelectDrawTargetCore(int target) {
    DrawState& d = g_DrawState;
    if (!IsGraphManagerStarted()) return -1;
    if (d.suspended) return 0;
    WaitWhileInactive();

    const int maskWasInUse = d.maskUse;
    EnableMaskScreen(0);
    auto finish = [maskWasInUse](int result) {
        EnableMaskScreen(maskWasInUse);
        return result;
    };
    if (target >= 0 && target < GraphCapacity && GraphTable.slots[target] == nullptr) return finish(-1);

    const int previous = d.drawTarget;
    if (ApplyDrawTarget(target, previous, maskWasInUse) < 0) {
        ApplyDrawTarget(previous, target, maskWasInUse);
        return finish(-1);
    }

    const int previousWidth = d.targetWidth, previousHeight = d.targetHeight;
    int width = 0, height = 0;
    GetGraphOrScreenSize(target, &width, &height);
    d.targetWidth = width;
    d.targetHeight = height;
    if (width == previousWidth && height == previousHeight) {
        SetDrawClipRect(d.clipRect.left, d.clipRect.top, d.clipRect.right, d.clipRect.bottom);
    } else {
        SetDrawClipRect(0, 0, width, height);
    }
    ResetCameraForTarget(width, height);
    return finish(0);
}

int GetDrawTargetHandle(void) { return g_DrawState.drawTarget; }

int SetDrawOriginRect(const RECT* rect) {
    g_DrawState.drawOrigin = *rect;
    return 0;
}

int CheckDrawOriginKept(void) { return DrawsOntoWindowedPrimary() ? 0 : 1; }

int SetDrawClipRect(int x1, int y1, int x2, int y2) {
    DrawState& d = g_DrawState;
    if (d.suspended) return 0;
    SystemStateRecord.window.requestedDrawArea = RECT{x1, y1, x2, y2};

    int width = 0, height = 0;
    const char* name;
    if (d.drawTarget == FrontBufferTarget) {
        name = "Front Buffer";
        GetScreenPixelSize(&width, &height);
        // Drawing onto the visible screen stops at the desktop's edges.
        RECT client{};
        int desktopWidth = 0, desktopHeight = 0;
        GetWindowClientScreenRect(&client);
        GetDesktopScreenInfo(&desktopWidth, &desktopHeight, nullptr);
        if (client.left + width > desktopWidth) width = desktopWidth - client.left;
        if (client.top + height > desktopHeight) height = desktopHeight - client.top;
        if (client.left < 0) x1 = -client.left;
        if (client.top < 0) y1 = -client.top;
    } else if (d.drawTarget == BackBufferTarget) {
        name = "Back Buffer";
        GetScreenPixelSize(&width, &height);
    } else {
        name = "Image Buffer";
        const GraphRecord* graph = GetGraphRecord(d.drawTarget);
        if (graph == nullptr) return 0;
        width = graph->width;
        height = graph->height;
    }

    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    x1 = std::clamp(x1, 0, std::max(width, 0));
    x2 = std::clamp(x2, 0, std::max(width, 0));
    y1 = std::clamp(y1, 0, std::max(height, 0));
    y2 = std::clamp(y2, 0, std::max(height, 0));
    d.clipRect = RECT{x1, y1, x2, y2};
    d.clipRectFloat[0] = float(x1);
    d.clipRectFloat[1] = float(y1);
    d.clipRectFloat[2] = float(x2);
    d.clipRectFloat[3] = float(y2);
    d.emptyArea = x1 == x2 || y1 == y2;
    if (!d.emptyArea) {
        if (IsDirect3DAvailable() && G_D3D_SetDrawClipRect(&d.clipRect) < 0) {
            WriteLogFormat("ビューポートの設定に失敗しました %s", name);
        }
        SetDrawClipRectSoft(&d.clipRect);
    }
    return 0;
}

int GetDrawClipRect(RECT* rect) {
    *rect = g_DrawState.clipRect;
    return 0;
}

int GetGraphOrScreenSize(int target, int* width, int* height) {
    if (target == FrontBufferTarget || target == BackBufferTarget) return GetScreenPixelSize(width, height);
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    if (width != nullptr) *width = graph->width;
    if (height != nullptr) *height = graph->height;
    return 0;
}

int GetScreenSizeAndDepth(int* width, int* height, int* colorBits) {
    GetScreenPixelSize(width, height);
    if (colorBits != nullptr) *colorBits = GetScreenColorBitDepth();
    return 0;
}

int IsHardware3DDrawUsable(void) {
    return g_DrawState.useHardware3D == 1 && IsDirect3DAvailable() == 1 && !IsSoftwareRenderMode() &&
                   G_D3D_GetDevice() != nullptr
               ? 1
               : 0;
}

// ---- Rectangles ----------------------------------------------------------------------

int ClipRectByRectCore(RECT* rect, const RECT* clip) {
    if (rect->left > rect->right) rect->right = rect->left;
    if (rect->top > rect->bottom) rect->bottom = rect->top;
    // Each edge is clamped min-then-max, so an inverted clip rectangle gives its own
    // (inverted) answer rather than undefined behaviour of std::clamp.
    auto clampEdge = [](LONG value, LONG low, LONG high) { return std::max(std::min(value, high), low); };
    rect->bottom = clampEdge(rect->bottom, clip->top, clip->bottom);
    rect->top = clampEdge(rect->top, clip->top, clip->bottom);
    rect->right = clampEdge(rect->right, clip->left, clip->right);
    rect->left = clampEdge(rect->left, clip->left, clip->right);
    return 0;
}

RECT SizedRect(int x, int y, int width, int height) {
    return RECT{x, y, SaturateToInt(int64_t(x) + width), SaturateToInt(int64_t(y) + height)};
}

int NormalizeRect(RECT* rect) {
    if (rect->right < rect->left) std::swap(rect->left, rect->right);
    if (rect->bottom < rect->top) std::swap(rect->top, rect->bottom);
    return 0;
}

int GetRectSize(const RECT* rect, int* width, int* height) {
    if (width != nullptr) *width = rect->right - rect->left;
    if (height != nullptr) *height = rect->bottom - rect->top;
    return 0;
}
