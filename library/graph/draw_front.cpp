// draw_front.cpp - the drawing front ends: validation, the choice of path, the mask
// and front-screen bracket, and the hand-over to the hardware path or the software
// and DirectDraw side (see draw_front.h).
#include "library/graph/draw_front.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

#include "library/core/alloc.h"
#include "library/core/arith.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/blend_tables.h"
#include "library/display/front_image.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "library/graph/movie.h"
#include "library/softrender/primitives.h"
#include "library/softrender/soft_draw.h"
#include "library/softrender/soft_target.h"

namespace {

// The use-hardware-3D option is on, Direct3D is present and the software renderer off.
bool HardwareDrawingAvailable() {
    return g_DrawState.useHardware3D && IsDirect3DAvailable() && !IsSoftwareRenderMode();
}

// Drawing returns at once, drawing nothing.
bool DrawingSkipped() { return g_DrawState.suspended || g_DrawState.emptyArea; }

bool OnSoftwareFrontScreen() { return g_DrawState.drawTarget == FrontBufferTarget && IsSoftwareScreen(); }

// Only some draws need the rectangle they may touch.
bool AffectedAreaNeeded(bool hardwarePath) {
    return (hardwarePath && g_DrawState.blendMode == BlendSubtract) || g_DrawState.maskActive || OnSoftwareFrontScreen();
}

RECT OrderedRect(int x1, int y1, int x2, int y2) {
    return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The graph of a graph draw, with its blend graph checked: null when either is refused.
GraphRecord* GraphForDraw(int graph) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return nullptr;
    const int blendGraph = g_DrawState.blendGraph;
    if (blendGraph != -1) {
        const GraphRecord* blend = GetGraphRecord(blendGraph);
        if (blend == nullptr || blend->width < record->width || blend->height < record->height) return nullptr;
    }
    return record;
}

// Direct3D has no subtractive blend: dest - src is drawn as invert(invert(dest) + src),
// the inversions being white boxes drawn in subtract mode.
void FillWhiteSubtracting(const RECT& area, int parameter) {
    const uint32_t brightness = g_DrawState.brightness;
    SetBrightnessColorPacked(BrightnessNeutral);
    SetBlendModeParam(BlendSubtract, parameter);
    G_D3D_DrawFilledRect(area.left, area.top, area.right, area.bottom, RgbToScreenPixel(255, 255, 255));
    SetBrightnessColorPacked(brightness);
}

void BeginHardwareSubtract(const RECT& area, int fillParameter, int parameter) {
    FillWhiteSubtracting(area, fillParameter);
    SetBlendModeParam(BlendHardwareAdd, parameter);
}

void EndHardwareSubtract(const RECT& area, int fillParameter, int parameter) {
    FillWhiteSubtracting(area, fillParameter);
    SetBlendModeParam(BlendSubtract, parameter);
}

// Steps 7 to 11 of every draw: the mask bracket, the software front screen read back
// before and shown after, and the hardware subtraction around the draw itself.
template <typename Draw>
int DrawInBracket(bool hardwarePath, const RECT& area, bool maskBracket, Draw draw) {
    const bool masked = g_DrawState.maskActive && maskBracket;
    if (masked) BeginMaskedDraw(area.left, area.top, area.right, area.bottom);
    const bool front = OnSoftwareFrontScreen();
    if (front && g_Screen.frontImageStale) CaptureScreenToFrontImage();
    int result;
    if (hardwarePath && g_DrawState.blendMode == BlendSubtract) {
        const int parameter = g_DrawState.blendParam;
        BeginHardwareSubtract(area, 255, parameter);
        result = draw();
        EndHardwareSubtract(area, 255, parameter);
    } else {
        result = draw();
    }
    if (masked) EndMaskedDraw(area.left, area.top, area.right, area.bottom);
    if (front) PresentFrontImageRect(&area);
    return result;
}

// The graph of a graph draw once it may be drawn (null when it or the blend graph is
// refused): the application is active and a movie's frame is in the graph. *overlay
// receives the movie when it shows through an overlay instead.
GraphRecord* PrepareGraphDraw(int graph, MovieRecord** overlay) {
    *overlay = nullptr;
    GraphRecord* record = GraphForDraw(graph);
    if (record == nullptr) return nullptr;
    WaitWhileInactive();
    if (record->movieHandle != -1) {
        UpdateMovieFrame(graph, 0);
        MovieRecord* movie = GetMovieRecord(record->movieHandle);
        if (movie != nullptr && movie->mode == MovieModeOverlay) *overlay = movie;
    }
    return record;
}

}  // namespace

int ClearCurrentScreenCore(void) {
    if (g_DrawState.suspended) return 0;
    WaitWhileInactive();
    if (IsDirect3DAvailable()) G_D3D_ClearDrawTargetGraph();
    ClearCurrentScreenSoft();
    if (OnSoftwareFrontScreen()) {
        int width = 0, height = 0;
        GetScreenPixelSize(&width, &height);
        const RECT screen{0, 0, width, height};
        PresentFrontImageRect(&screen);
    }
    return 0;
}

int DrawGraphAtCore(int x, int y, int graph, int transparent) {
    if (DrawingSkipped()) return 0;
    MovieRecord* overlay;
    GraphRecord* record = PrepareGraphDraw(graph, &overlay);
    if (record == nullptr) return -1;
    if (overlay != nullptr) {
        UpdateMovieOverlay(x, y, 1, overlay, 1);
        return -1;
    }
    const bool hardware = record->hardwareFlag != 0;
    const RECT area = SizedRect(x, y, record->width, record->height);
    return DrawInBracket(hardware, area, true, [&] {
        return hardware ? G_D3D_DrawGraph(DrawCoord{x}, DrawCoord{y}, record, transparent, 1)
                        : DrawGraphAtSoft(x, y, record, transparent, 1);
    });
}

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
    if (DrawingSkipped()) return 0;
    MovieRecord* overlay;
    GraphRecord* record = PrepareGraphDraw(graph, &overlay);
    if (record == nullptr) return -1;
    if (overlay != nullptr) {
        // An overlay scales by whole steps only, never below 1:1.
        UpdateMovieOverlay(x1, y1, SaturateToInt(std::max<int64_t>(1, (int64_t(x2) - x1) / record->width)), overlay, 1);
        return -1;
    }
    const bool hardware = record->hardwareFlag != 0;
    return DrawInBracket(hardware, OrderedRect(x1, y1, x2, y2), true, [&] {
        const DrawCoord c1x{x1}, c1y{y1}, c2x{x2}, c2y{y2};
        if (hardware) return G_D3D_DrawGraphStretched(c1x, c1y, c2x, c2y, record, transparent, 1);
        return DrawGraphStretchedSoft(c1x, c1y, c2x, c2y, record, transparent, 1, -1);
    });
}

int DrawGraphToCorners(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                       int transparent) {
    if (DrawingSkipped()) return 0;
    MovieRecord* overlay;  // the corners draw the frame whatever shows it
    GraphRecord* record = PrepareGraphDraw(graph, &overlay);
    if (record == nullptr) return -1;
    const bool hardware = record->hardwareFlag != 0;
    const float xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
    const RECT area{FloatToIntTrunc(*std::min_element(xs, xs + 4)), FloatToIntTrunc(*std::min_element(ys, ys + 4)),
                    FloatToIntTrunc(*std::max_element(xs, xs + 4)), FloatToIntTrunc(*std::max_element(ys, ys + 4))};
    return DrawInBracket(hardware, area, true, [&] {
        // Both paths take the corners as top-left, top-right, bottom-left, bottom-right.
        if (hardware) return G_D3D_DrawGraphToCorners(x1, y1, x2, y2, x4, y4, x3, y3, record, transparent);
        return DrawGraphToCornersSoft(x1, y1, x2, y2, x4, y4, x3, y3, record, transparent);
    });
}

int DrawGraphMirroredAtCore(int x, int y, int graph, int transparent) {
    const GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return DrawingSkipped() ? 0 : -1;
    return DrawGraphStretched(SaturateToInt(int64_t(x) + record->width), y, x, SaturateToInt(int64_t(y) + record->height),
                              graph, transparent);
}

namespace {

// Narrows the draw area to `rect` (within the current area) for the life of the
// object; both copies of the area come back on every exit.
struct NarrowedDrawArea {
    RECT savedRect;
    float savedFloat[4];
    int savedEmpty;

    explicit NarrowedDrawArea(RECT rect) {
        DrawState& d = g_DrawState;
        savedRect = d.clipRect;
        std::copy(d.clipRectFloat, d.clipRectFloat + 4, savedFloat);
        savedEmpty = d.emptyArea;
        ClipRectByRectCore(&rect, &savedRect);
        d.clipRect = rect;
        d.clipRectFloat[0] = float(rect.left);
        d.clipRectFloat[1] = float(rect.top);
        d.clipRectFloat[2] = float(rect.right);
        d.clipRectFloat[3] = float(rect.bottom);
    }
    ~NarrowedDrawArea() {
        DrawState& d = g_DrawState;
        d.clipRect = savedRect;
        std::copy(savedFloat, savedFloat + 4, d.clipRectFloat);
        d.emptyArea = savedEmpty;
    }
};

// The edge moved by the offset cut toward zero, held to the int range.
int OffsetEdge(LONG edge, double offset) {
    const double moved = double(edge) + std::trunc(offset);
    return moved >= double(INT_MAX) ? INT_MAX : moved <= double(INT_MIN) ? INT_MIN : int(moved);
}

}  // namespace

int DrawGraphPartAtCore(int destX, int destY, int sourceX, int sourceY, int width, int height, int graph,
                        int transparent, int mirror) {
    NarrowedDrawArea narrowed(SizedRect(destX, destY, width, height));
    const GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    const int y = SaturateToInt(int64_t(destY) - sourceY);
    if (mirror) {
        const int x = SaturateToInt(int64_t(destX) + sourceX + width - record->width);
        return DrawGraphMirroredAtCore(x, y, graph, transparent);
    }
    return DrawGraphAtCore(SaturateToInt(int64_t(destX) - sourceX), y, graph, transparent);
}

int DrawGraphPartStretched(int destX1, int destY1, int destX2, int destY2, int sourceX, int sourceY,
                           int sourceWidth, int sourceHeight, int graph, int transparent) {
    const GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    // A source without pixels cannot be scaled onto anything.
    if (sourceWidth <= 0 || sourceHeight <= 0) return -1;
    const bool mirrorX = destX2 < destX1, mirrorY = destY2 < destY1;
    const RECT dest = OrderedRect(destX1, destY1, destX2, destY2);
    NarrowedDrawArea narrowed(dest);
    const double sx = (double(dest.right) - dest.left) / sourceWidth;
    const double sy = (double(dest.bottom) - dest.top) / sourceHeight;
    int x1, x2, y1, y2;
    if (mirrorX) {
        x1 = OffsetEdge(dest.right, sourceX * sx);
        x2 = OffsetEdge(dest.right, -(double(record->width) - sourceX) * sx);
    } else {
        x1 = OffsetEdge(dest.left, -(sourceX * sx));
        x2 = OffsetEdge(dest.left, (double(record->width) - sourceX) * sx);
    }
    if (mirrorY) {
        y1 = OffsetEdge(dest.bottom, sourceY * sy);
        y2 = OffsetEdge(dest.bottom, -(double(record->height) - sourceY) * sy);
    } else {
        y1 = OffsetEdge(dest.top, -(sourceY * sy));
        y2 = OffsetEdge(dest.top, (double(record->height) - sourceY) * sy);
    }
    return DrawGraphStretched(x1, y1, x2, y2, graph, transparent);
}

// ---- Vertex lists -------------------------------------------------------------------

namespace {

ScreenVertex ConvertVertex(const Vertex2D& v) {
    const DrawState& d = g_DrawState;
    const uint32_t r = uint32_t(BlendMulTable[(d.brightness >> 16) & 0xFF][v.red]);
    const uint32_t g = uint32_t(BlendMulTable[(d.brightness >> 8) & 0xFF][v.green]);
    const uint32_t b = uint32_t(BlendMulTable[d.brightness & 0xFF][v.blue]);
    const uint32_t a = d.blendMode != BlendNone ? uint32_t(BlendMulTable[d.blendParam][v.alpha]) : v.alpha;
    ScreenVertex out{};
    out.x = v.x + float(d.drawOrigin.left);
    out.y = v.y + float(d.drawOrigin.top);
    out.z = 0.0f;
    out.rhw = 1.0f;
    out.colour = a << 24 | r << 16 | g << 8 | b;
    out.u = v.u;
    out.v = v.v;
    return out;
}

}  // namespace

int ExpandToTriangleList(const ScreenVertex* in, int count, int kind, ScreenVertex* out) {
    if (kind == PrimitiveTriangleList) {
        if (count % 3 != 0) return -1;
        std::copy(in, in + count, out);
        return count / 3;
    }
    if (kind != PrimitiveTriangleStrip && kind != PrimitiveTriangleFan) return 0;
    if (count < 3) return -1;
    out[0] = in[0], out[1] = in[1], out[2] = in[2];
    for (int j = 3; j < count; j++) {
        ScreenVertex* t = out + (j - 2) * 3;
        if (kind == PrimitiveTriangleFan) {
            t[0] = in[j], t[1] = in[0], t[2] = in[j - 1];
        } else if ((j - 3) % 2 == 0) {
            t[0] = in[j], t[1] = in[j - 1], t[2] = in[j - 2];
        } else {
            t[0] = in[j], t[1] = in[j - 2], t[2] = in[j - 1];
        }
    }
    return count - 2;
}

int DrawVertexList2D(const Vertex2D* vertices, int count, int kind, int graph, int transparent) {
    if (DrawingSkipped()) return 0;
    GraphRecord* record = nullptr;
    bool hardware;
    if (graph == NoTextureGraph) {
        hardware = HardwareDrawingAvailable();
        WaitWhileInactive();
    } else {
        MovieRecord* overlay;
        record = PrepareGraphDraw(graph, &overlay);
        if (record == nullptr) return -1;
        hardware = record->hardwareFlag != 0;
    }
    if (count < 0 || (count > 0 && vertices == nullptr)) return -1;

    const size_t slots = size_t(std::max(count, 1));
    auto* converted = static_cast<ScreenVertex*>(ZqAlloc(slots * sizeof(ScreenVertex)));
    auto* triangles = static_cast<ScreenVertex*>(ZqAlloc(slots * 3 * sizeof(ScreenVertex)));
    int result = -1;
    if (converted != nullptr && triangles != nullptr) {
        for (int i = 0; i < count; i++) converted[i] = ConvertVertex(vertices[i]);
        const int triangleCount = ExpandToTriangleList(converted, count, kind, triangles);
        if (triangleCount >= 0) {
            RECT area{};
            if (AffectedAreaNeeded(hardware) && count > 0) {
                float minX = vertices[0].x, minY = vertices[0].y, maxX = minX, maxY = minY;
                for (int i = 1; i < count; i++) {
                    minX = std::min(minX, vertices[i].x), minY = std::min(minY, vertices[i].y);
                    maxX = std::max(maxX, vertices[i].x), maxY = std::max(maxY, vertices[i].y);
                }
                area = PixelRectAround(minX, minY, maxX, maxY);
            }
            result = DrawInBracket(hardware, area, true, [&] {
                if (hardware) return G_D3D_DrawVertexList2D(triangles, triangleCount, record, transparent, 0, 0);
                return DrawTriangleListSoft(triangles, triangleCount, record, transparent, 1, 0);
            });
        }
    }
    if (converted != nullptr) ZqFree(converted);
    if (triangles != nullptr) ZqFree(triangles);
    return result;
}

int DrawThickLine(int x1, int y1, int x2, int y2, int color, int thickness) {
    if (thickness <= 0) thickness = 1;
    const double nx = double(y2) - y1, ny = double(x1) - x2;
    const double length = std::sqrt(nx * nx + ny * ny);
    const double scale = length > 0 ? thickness / 2.0 / length : 0.0;
    const float ox = float(nx * scale), oy = float(ny * scale);
    int r = 0, g = 0, b = 0;
    ScreenPixelToRgb(uint32_t(color), &r, &g, &b);
    auto vertex = [&](int x, int y, float sign) {
        return Vertex2D{float(x) + sign * ox, float(y) + sign * oy, 0.0f, 0.0f, uint8_t(b), uint8_t(g), uint8_t(r), 255};
    };
    const Vertex2D vertices[4] = {vertex(x1, y1, 1), vertex(x2, y2, 1), vertex(x1, y1, -1), vertex(x2, y2, -1)};
    return DrawVertexList2D(vertices, 4, PrimitiveTriangleStrip, NoTextureGraph, 0);
}

int FillGraphColor(int graph, int r, int g, int b, int a) {
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    return record->hardwareFlag ? G_D3D_FillGraphColor(record, r, g, b, a) : FillGraphColorSoft(record, r, g, b, a);
}

// ---- Boxes --------------------------------------------------------------------------

int DrawFilledRect(int x1, int y1, int x2, int y2, int color) {
    if (DrawingSkipped()) return 0;
    const bool hardware = HardwareDrawingAvailable();
    return DrawInBracket(hardware, OrderedRect(x1, y1, x2, y2), true, [&] {
        return hardware ? G_D3D_DrawFilledRect(x1, y1, x2, y2, color)
                        : DrawFilledRectSoft(x1, y1, x2, y2, uint32_t(color));
    });
}

int DrawRectOutline(int x1, int y1, int x2, int y2, int color) {
    if (DrawingSkipped()) return 0;
    const bool hardware = HardwareDrawingAvailable() && !g_SoftwareRectOutline;
    return DrawInBracket(hardware, OrderedRect(x1, y1, x2, y2), true, [&] {
        return hardware ? G_D3D_DrawRectOutline(x1, y1, x2, y2, color)
                        : DrawRectOutlineSoft(x1, y1, x2, y2, uint32_t(color));
    });
}

int DrawBoxShapeCore(int x1, int y1, int x2, int y2, int color, int filled) {
    return filled ? DrawFilledRect(x1, y1, x2, y2, color) : DrawRectOutline(x1, y1, x2, y2, color);
}

// ---- Strings ------------------------------------------------------------------------

int DrawTextAtCore(int x, int y, const char* text, int color, int edgeColor) {
    ApplyDefaultFontSettings();
    return DrawTextWithFontHandle(x, y, text, color, FetchDefaultFontHandle(), edgeColor, 0);
}

int DrawTextWithFontHandle(int x, int y, const char* text, int color, FontHandle font, int edgeColor, int vertical) {
    if (text == nullptr || text[0] == '\0' || DrawingSkipped()) return 0;
    if (!IsLiveFontHandle(font)) return WriteLogText("フォントハンドル値が異常です\n");
    WaitWhileInactive();
    const FontRecord* record = GetFontRecord(font);
    const bool hardware = g_DrawState.useHardware3D && IsDirect3DAvailable();
    const bool textureCacheFlag = record != nullptr && record->textureCacheFlag;
    RECT area{};
    if (AffectedAreaNeeded(hardware)) {
        if (x >= g_DrawState.clipRect.right) return 0;
        area = RECT{x, y, g_DrawState.clipRect.right, SaturateToInt(int64_t(y) + GetFontHandleSize(font) + 3)};
    }
    auto draw = [&] {
        return hardware ? G_D3D_DrawTextWithFontHandle(x, y, text, color, font, edgeColor, vertical)
                        : DrawTextSoft(x, y, text, color, font, edgeColor, vertical);
    };
    if (hardware && g_DrawState.blendMode == BlendSubtract) {
        // The string's own bracket fills with the current parameter.
        const int parameter = g_DrawState.blendParam;
        const bool masked = g_DrawState.maskActive && !textureCacheFlag;
        if (masked) BeginMaskedDraw(area.left, area.top, area.right, area.bottom);
        BeginHardwareSubtract(area, parameter, parameter);
        const int result = draw();
        EndHardwareSubtract(area, parameter, parameter);
        if (masked) EndMaskedDraw(area.left, area.top, area.right, area.bottom);
        return result;
    }
    return DrawInBracket(false, area, !textureCacheFlag, draw);
}

int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
    G_D3D_EndScene();
    if (g_DrawState.suspended) return 0;
    GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr) return -1;
    return record->hardwareFlag ? G_D3D_GetDrawScreenGraph(x1, y1, x2, y2, record, flag)
                                : GetDrawScreenGraphSoft(x1, y1, x2, y2, record);
}
