// draw_boxes.cpp - filled boxes, box outlines and strings on the hardware path.
//
// Boxes are untextured batch vertices at whole-pixel edges (no half-pixel shift), in
// the caller's screen colour times the draw colour. While the draw target is drawn in
// software the boxes go to the software renderer.
#include <algorithm>
#include <cstring>

#include "library/d3d/d3d_internal.h"
#include "library/display/color_format.h"
#include "library/font/font.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/softrender/primitives.h"

namespace {

// The caller's screen pixel value times the draw colour, alpha from it.
uint32_t BoxVertexColour(int colour) {
    int r = 0, g = 0, b = 0;
    ScreenPixelToRgb(uint32_t(colour), &r, &g, &b);
    const uint32_t d = DrawDiffuseColor;
    const uint32_t R = (d >> 16) & 0xFF, G = (d >> 8) & 0xFF, B = d & 0xFF, A = d >> 24;
    return (R * uint32_t(r) / 255) << 16 | (G * uint32_t(g) / 255) << 8 | (B * uint32_t(b) / 255) | A << 24;
}

// Scene, no texture, the draw state's blending and depth: what both boxes start with.
D3DDeviceSlot* PrepareUntexturedDraw() {
    G_D3D_BeginSlotScene(g_D3D.currentSlot);
    G_D3D_SetSlotTexture(nullptr, g_D3D.currentSlot);
    G_D3D_PrepareDrawStates(nullptr, g_DrawState.zUse ? PrepareDepth : 0);
    D3DDeviceSlot* s = CurrentD3DSlot();
    if (s->statesDirty || s->textureDirty) G_D3D_ComposeSlotStates(g_D3D.currentSlot);
    return s;
}

}  // namespace

int G_D3D_DrawFilledRect(int x1, int y1, int x2, int y2, int color) {
    if (g_D3D.direct3D == nullptr || CurrentD3DSlot() == nullptr) return -1;
    if (g_D3D.softwareTarget) return DrawFilledRectSoft(x1, y1, x2, y2, uint32_t(color));
    RECT r{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    ClipRectByRectCore(&r, &g_DrawState.clipRect);
    if (r.left == r.right || r.top == r.bottom) return 0;
    D3DDeviceSlot* s = PrepareUntexturedDraw();
    const float ox = float(g_DrawState.drawOrigin.left), oy = float(g_DrawState.drawOrigin.top);
    const float left = float(r.left) + ox, right = float(r.right) + ox;
    const float top = float(r.top) + oy, bottom = float(r.bottom) + oy;
    const uint32_t colour = BoxVertexColour(color);
    const float z = g_DrawState.depth2D;
    auto* v = static_cast<ColorVertex*>(ReserveBatchVertices(s, D3DPT_TRIANGLELIST, 6));
    if (v == nullptr || s->batchKind != BatchColor) return 0;
    const float xs[6] = {left, right, left, right, left, right}, ys[6] = {top, top, bottom, bottom, bottom, top};
    for (int i = 0; i < 6; i++) v[i].x = xs[i], v[i].y = ys[i], v[i].z = z;
    v[0].colour = v[3].colour = colour;
    CommitBatchVertices(s, 6);
    EndSceneIfDrawingToFront();
    return 0;
}

int G_D3D_DrawRectOutline(int x1, int y1, int x2, int y2, int color) {
    if (g_D3D.direct3D == nullptr || CurrentD3DSlot() == nullptr) return -1;
    if (g_D3D.softwareTarget) return DrawRectOutlineSoft(x1, y1, x2, y2, uint32_t(color));
    D3DDeviceSlot* s = PrepareUntexturedDraw();
    auto* v = static_cast<ColorVertex*>(ReserveBatchVertices(s, D3DPT_LINELIST, 8));
    if (v == nullptr || s->batchKind != BatchColor) return 0;
    const uint32_t colour = BoxVertexColour(color);
    const float z = g_DrawState.depth2D;
    if (x2 < x1) std::swap(x1, x2);
    if (y2 < y1) std::swap(y1, y2);
    const float L = float(x1 + g_DrawState.drawOrigin.left), T = float(y1 + g_DrawState.drawOrigin.top);
    const float R = float(x2 + g_DrawState.drawOrigin.left - 1), B = float(y2 + g_DrawState.drawOrigin.top - 1);
    // Top, right, bottom and left edges; each leaves its corner to the next one.
    const float xs[8] = {L, R - 0.1f, R, R, L, R + 0.9f, L, L};
    const float ys[8] = {T, T, T, B - 0.1f, B, B, T + 1.0f, B - 0.1f};
    for (int i = 0; i < 8; i++) v[i] = ColorVertex{xs[i], ys[i], z, 1.0f, colour};
    CommitBatchVertices(s, 8);
    EndSceneIfDrawingToFront();
    return 0;
}

int G_D3D_DrawTextWithFontHandle(int x, int y, const char* text, int color, int font, int edgeColor, int vertical) {
    const FontRecord* record = GetFontRecord(font);
    if (record == nullptr) return -1;
    if (!record->textureCacheFlag) return DrawTextSoft(x, y, text, color, font, edgeColor, vertical);
    if (g_D3D.softwareTarget) return -1;
    PrepareFontCacheGraphs(font);
    const int length = text != nullptr ? int(std::strlen(text)) : 0;
    DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, text, uint32_t(color), nullptr, &g_DrawState.clipRect, 1, font,
                              uint32_t(edgeColor), length, vertical, nullptr);
    return 0;
}
