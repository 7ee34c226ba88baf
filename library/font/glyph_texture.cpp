// The texture glyph cache of the hardware path: choosing it, making the cache graph,
// storing glyph cells in it, and drawing a cell with the graph drawers. See font.h.
#include "library/core/alloc.h"
#include "library/core/arith.h"
#include "library/d3d/d3d.h"
#include "library/display/color_format.h"
#include "library/display/screen_state.h"
#include "library/font/font_internal.h"
#include "library/graph/draw_front.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_record.h"

static bool HasWidths(const ColorFormat* format, int a, int r, int g, int b) {
    return format != nullptr && format->bitsPerPixel == 16 && format->alphaWidth == a && format->redWidth == r &&
           format->greenWidth == g && format->blueWidth == b;
}

const ColorFormat* FontCacheTextureFormat(int greyLevels) {
    return greyLevels ? G_D3D_GetTextureColorFormat(1, 0, 0, 0) : G_D3D_GetTextureColorFormat(0, 1, 0, 0);
}

int FontTextureCacheAvailable(void) {
    return g_DrawState.useHardware3D && IsHardware3DDrawUsable() && !IsSoftwareRenderMode() &&
                   HasWidths(FontCacheTextureFormat(1), 4, 4, 4, 4) && HasWidths(FontCacheTextureFormat(0), 1, 5, 5, 5)
               ? 1
               : 0;
}

// A power-of-two texture of at least 10 cells, starting at 512 x 512.
constexpr int TextureCacheStartSide = 512;
constexpr int TextureCacheMinCells = 10;

int SetUpFontTextureCache(FontRecord* font, const ColorFormat* workFormat) {
    const int cell = font->cellSize;
    int width = TextureCacheStartSide, height = TextureCacheStartSide;
    while ((width / cell) * (height / cell) < TextureCacheMinCells) {
        if (width <= height) width *= 2;
        else height *= 2;
    }
    const int cells = (width / cell) * (height / cell);
    font->cacheWidth = width;
    font->cacheHeight = height;
    font->capacity = cells < GlyphCacheCapacityMax ? cells : GlyphCacheCapacityMax;
    font->cellsPerColumn = height / cell;
    font->cacheGraphPending = 1;
    if (PrepareFontGraphs(font) < 0) return -1;

    const int outlined = font->typeFlags & FontTypeOutlined;
    GraphImage& work = font->workImage;
    work.format = *workFormat;
    work.width = outlined ? 2 * cell : cell;
    work.height = outlined ? cell + 2 * font->edgeSize : cell;
    work.pitch = work.width * work.format.bytesPerPixel;
    work.pixels = ZqAllocZero(size_t(work.pitch) * work.height);
    return work.pixels != nullptr ? 0 : -2;
}

// The cache graph is made with the font's own creation options (alpha channel for
// grey fonts, alpha test otherwise, 16 bits, hardware) and the caller's are put back.
// The pending flag stays set when the graph cannot be made, so the next draw tries
// again.
int MakeFontCacheGraph(FontRecord* font) {
    DrawState& s = g_DrawState;
    const int keptAlphaChannel = s.newGraphAlphaChannel, keptBits = s.newGraphColorBits;
    const int keptHardware = s.useHardware3D, keptAlphaTest = s.newGraphAlphaTest;
    const int grey = (font->typeFlags & FontTypeGreyLevels) ? 1 : 0;
    const int outlined = font->typeFlags & FontTypeOutlined;
    s.newGraphAlphaChannel = grey;
    s.newGraphAlphaTest = !grey;
    s.newGraphColorBits = 16;
    s.useHardware3D = 1;
    const int graph = CreateBlankGraph(outlined ? 2 * font->cacheWidth : font->cacheWidth, font->cacheHeight, 0);
    const int edge = graph >= 0 && outlined ? DeriveSubGraphCore(font->cacheWidth, 0, font->cacheWidth,
                                                                 font->cacheHeight, graph)
                                            : -1;
    s.newGraphAlphaChannel = keptAlphaChannel;
    s.newGraphColorBits = keptBits;
    s.useHardware3D = keptHardware;
    s.newGraphAlphaTest = keptAlphaTest;
    if (graph < 0) return -1;
    font->cacheGraph = graph;
    font->edgeGraph = edge;
    SetGraphLostFlagPointer(graph, &font->cacheGraphPending);
    FillGraphColor(graph, 255, 255, 255, 0);
    ClearGlyphCache(font);
    return 0;
}

void StoreWorkImageInCacheGraph(FontRecord* font, int x, int y, int width, int height) {
    const GraphImage* work = &font->workImage;
    if (!(font->typeFlags & FontTypeOutlined)) {
        const RECT cell = {0, 0, font->cellSize, font->cellSize};
        TransferImageToGraphRect(work, 0, 0, nullptr, 0, work, nullptr, &cell, x, y, font->cacheGraph, 0);
        return;
    }
    const RECT body = {0, 0, width, height};
    const RECT outline = {work->width / 2, 0, work->width / 2 + width, height};
    TransferImageToGraphRect(work, 0, 0, nullptr, 0, work, nullptr, &body, x, y, font->cacheGraph, 0);
    TransferImageToGraphRect(work, 0, 0, nullptr, 0, work, nullptr, &outline, x + font->cacheWidth, y,
                             font->cacheGraph, 0);
}

namespace {
// One layer (outline or body) of a glyph, modulated by its colour.
struct GlyphLayer {
    int graph;
    uint32_t color;
};

// Draws a layer's graph onto the corners (x1, y1), (x1, y2), (x2, y2), (x2, y1): its
// top-left, top-right, bottom-right and bottom-left, so it turns 90 degrees clockwise
// (top facing +x, reading down). Every corner is moved by -0.5 pixel.
void DrawLayerTurned(const GlyphLayer& layer, int graph, float x1, float y1, float x2, float y2) {
    SetBrightnessColorPacked(layer.color);
    DrawGraphToCorners(x1 - 0.5f, y1 - 0.5f, x1 - 0.5f, y2 - 0.5f, x2 - 0.5f, y2 - 0.5f, x2 - 0.5f, y1 - 0.5f, graph, 1);
}

// Sets the draw area to the turned glyph's footprint (its box, turned and scaled:
// the columns left of X1, the rows from Y1 down) within the caller's area: the glyph
// is clipped as any drawing is, and no texel beside its box shows. Storing a glyph
// writes only its box, so the texels beside it may still hold a glyph the ring has
// evicted. An empty footprint leaves an empty area, which draws nothing.
void NarrowDrawAreaToFootprint(RECT footprint, const RECT& callerArea) {
    ClipRectByRectCore(&footprint, &callerArea);
    SetDrawClipRect(footprint.left, footprint.top, footprint.right, footprint.bottom);
}
}  // namespace

void DrawGlyphWithCacheGraph(FontRecord* font, const GlyphCacheEntry* glyph, const RECT* source, int x, int y,
                             double pen, int vertical, int scaled, double scaleX, double scaleY, uint32_t color,
                             uint32_t edgeColor) {
    DrawState& s = g_DrawState;
    const int keptBlendGraph = s.blendGraph, keptParam = s.blendGraphBorderParam, keptRange = s.blendGraphBorderRange;
    const uint32_t keptBrightness = s.brightness;
    SelectBlendGraph(-1, 0, 0);

    GlyphLayer layers[2];
    int layerCount = 0;
    if (font->typeFlags & FontTypeOutlined) layers[layerCount++] = {font->edgeGraph, edgeColor};
    layers[layerCount++] = {font->cacheGraph, color};

    const int penInt = DoubleToIntTrunc(pen);
    const int left = source->left, top = source->top;
    const int width = glyph->boxWidth, height = glyph->boxHeight;
    if (!vertical && !scaled) {
        for (int i = 0; i < layerCount; i++) {
            SetBrightnessColorPacked(layers[i].color);
            DrawGraphPartAtCore(x + penInt + glyph->offsetX, y + glyph->offsetY, left, top, width, height,
                                layers[i].graph, 1, 0);
        }
    } else if (!vertical) {
        const int X1 = x + DoubleToIntTrunc(glyph->offsetX * scaleX + pen);
        const int Y1 = y + DoubleToIntTrunc(glyph->offsetY * scaleY);
        const int X2 = X1 + DoubleToIntTrunc(width * scaleX), Y2 = Y1 + DoubleToIntTrunc(height * scaleY);
        for (int i = 0; i < layerCount; i++) {
            SetBrightnessColorPacked(layers[i].color);
            DrawGraphPartStretched(X1, Y1, X2, Y2, left, top, width, height, layers[i].graph, 1);
        }
    } else {
        const RECT keptArea = s.clipRect;
        if (!scaled) {
            // The cache graph may be missing (a re-creation that failed): nothing to turn.
            const GraphRecord* cache = GetGraphRecord(font->cacheGraph);
            const int X1 = x + font->lineHeight - glyph->offsetY, Y1 = y + penInt + glyph->offsetX;
            if (cache != nullptr) {
                NarrowDrawAreaToFootprint(RECT{X1 - height, Y1, X1, Y1 + width}, keptArea);
                const int W = cache->width, H = cache->height;
                const int K = X1 + top, L = Y1 - left, M = K - H, N = L + W;
                // The whole cache graph is drawn turned; the draw area lets only the
                // glyph's box through. The outline half is half as wide.
                for (int i = 0; i < layerCount; i++) {
                    const bool edge = layerCount == 2 && i == 0;
                    DrawLayerTurned(layers[i], layers[i].graph, float(K), float(L), float(M),
                                    float(edge ? N - (W >> 1) : N));
                }
            }
        } else {
            const int X1 = x + DoubleToIntTrunc((font->lineHeight - glyph->offsetY) * scaleX);
            const int Y1 = y + DoubleToIntTrunc(glyph->offsetX * scaleY + pen);
            const int M = X1 + DoubleToIntTrunc(-height * scaleX), N = Y1 + DoubleToIntTrunc(width * scaleY);
            NarrowDrawAreaToFootprint(RECT{M, Y1, X1, N}, keptArea);
            for (int i = 0; i < layerCount; i++) {
                const int cell = DeriveSubGraphCore(left, top, width, height, layers[i].graph);
                DrawLayerTurned(layers[i], cell, float(X1), float(Y1), float(M), float(N));
                DeleteGraphHandle(cell, 0);
            }
        }
        SetDrawClipRect(keptArea.left, keptArea.top, keptArea.right, keptArea.bottom);
    }

    SelectBlendGraph(keptBlendGraph, keptParam, keptRange);
    SetBrightnessColorPacked(keptBrightness);
}
