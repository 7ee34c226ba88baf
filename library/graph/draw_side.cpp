// draw_side.cpp - the software and DirectDraw side of drawing: graph draws, triangle
// lists, screen copies into graphs, fills, clearing, lines and strings, and the
// selection of the software target (see draw_side.h).
#include "library/graph/draw_side.h"

#include <algorithm>
#include <bit>
#include <climits>

#include "library/core/arith.h"
#include "library/core/menu.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/front_image.h"
#include "library/display/pixel_converter.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"
#include "library/graph/mask_screen.h"
#include "library/softrender/primitives.h"
#include "library/softrender/soft_target.h"
#include "library/softrender/triangle.h"
#include "platform/ddraw/ddraw.h"
#include "platform/window/window.h"

namespace {

// A graph target whose piece is only part of its storage is drawn on through a view.
MEMIMG graphTargetView;

// The common start of every routine: false while nothing can be drawn. The open
// hardware scene ends, and (flush) the pending hardware batch is drawn.
bool StartSoftDraw(bool flush) {
    if (!CanDrawSoft()) return false;
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    if (flush) G_D3D_FlushVertexBatch();
    return true;
}

// The graph's first 2D surface and the storage behind it.
struct GraphPiece {
    const Surface2DRecord* piece;
    SurfaceDataRecord* data;
};

bool FindGraphPiece(const GraphRecord* graph, GraphPiece* out) {
    out->piece = graph != nullptr && graph->pieceCount > 0 ? LookupSurface2D(graph->pieces[0]) : nullptr;
    EndSurface2DAccess();
    out->data = out->piece != nullptr ? GetSurfaceDataRecord(out->piece->surfaceData) : nullptr;
    return out->data != nullptr;
}

bool CoversWholeStorage(const GraphPiece& g) {
    return g.piece->width == g.data->width && g.piece->height == g.data->height;
}

// The piece's pixels as a software image: the storage's own image, or a view of the
// piece's rectangle of it.
const MEMIMG* PieceImage(const GraphPiece& g, MEMIMG* view) {
    if (CoversWholeStorage(g)) return &g.data->image;
    return MakeMemImgView(view, &g.data->image, g.piece->sourceX, g.piece->sourceY, g.piece->width, g.piece->height);
}

bool IsWindowedOrGdiLike() { return GetWindowedFlag() || GetScreenGdiCompatible() || CheckMenuInUse(); }

bool FrontCopyInUse() { return g_Screen.frontCopySurfaceUse && g_Screen.FrontCopySurface != nullptr; }

// The screen's own format has bits outside the colour channels that a copy must set.
void SetUnusedBitsOpaque(void* pixels, int pitch, const ColorFormat* format, int width, int height) {
    if (format->unusedMask == 0) return;
    RECT area{0, 0, width, height};
    SetAlphaBitsInRect(&area, pixels, pitch, format, 255);
}

}  // namespace

// ---- Graph draws --------------------------------------------------------------------

int DrawGraphAtSoft(int x, int y, GraphRecord* graph, int transparent, int intFlag) {
    if (!StartSoftDraw(true) || graph == nullptr || graph->pieceCount < 1) return -1;
    if (intFlag != 1) {
        x = FloatToIntTrunc(std::bit_cast<float>(x));
        y = FloatToIntTrunc(std::bit_cast<float>(y));
    }
    return DrawSurface2D(x, y, graph->pieces[0], transparent);
}

int DrawTriangleListSoft(const ScreenVertex* triangles, int triangleCount, GraphRecord* graph, int transparent,
                         int plainFlag, int zFlag) {
    if (!StartSoftDraw(true)) return -1;
    GraphPiece g{};
    if (graph != nullptr && !FindGraphPiece(graph, &g)) return -1;
    const MEMIMG* blend = GetBlendGraphMemImg();
    MEMIMG* zImage = zFlag == 1 ? g_Screen.drawTargetZMemImg : nullptr;

    if (IsSoftwareScreen()) {
        MEMIMG view;
        const MEMIMG* texture = graph != nullptr ? PieceImage(g, &view) : nullptr;
        MEMIMG* dest = CurrentSoftTarget();
        if (dest == nullptr) return 0;
        for (int i = 0; i < triangleCount; i++) {
            if (plainFlag == 1) {
                DrawTriangle3DOnMemImg(dest, zImage, texture, &triangles[i * 3], transparent, blend, 0, 0, 0, 0);
            } else {
                DrawTriangle3DOnMemImg(dest, zImage, texture, &triangles[i * 3], transparent, blend,
                                       g_DrawState.zWrite, 1, 1, 0);
            }
        }
        return 0;
    }

    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < triangleCount * 3; i++) {
        const ScreenVertex& v = triangles[i];
        if (i == 0 || v.x < minX) minX = v.x;
        if (i == 0 || v.y < minY) minY = v.y;
        if (i == 0 || v.x > maxX) maxX = v.x;
        if (i == 0 || v.y > maxY) maxY = v.y;
    }
    const RECT touched = PixelRectAround(minX, minY, maxX, maxY);
    RECT source{};
    if (graph != nullptr) source = RECT{0, 0, g.piece->width, g.piece->height};
    if (BeginScreenSurfaceDraw(g.piece, 0, graph != nullptr ? &source : nullptr, &touched, 0, nullptr, nullptr) < 0) {
        return -1;
    }
    const ScreenDrawContext& c = g_ScreenDrawContext;
    MEMIMG* dest = g_DrawState.maskActive ? GetMaskScreenMemImg() : c.destImage;
    const MEMIMG* texture = graph == nullptr ? nullptr : c.sourceImage != nullptr ? c.sourceImage : &g.data->image;
    for (int i = 0; i < triangleCount && dest != nullptr; i++) {
        if (plainFlag == 1) {
            DrawTriangle3DOnMemImg(dest, zImage, texture, &triangles[i * 3], transparent, blend, 0, 0, 0, 1);
        } else {
            DrawTriangle3DOnMemImg(dest, zImage, texture, &triangles[i * 3], transparent, blend, 1, 1, 0, 1);
        }
    }
    EndScreenSurfaceDraw();
    return 0;
}

// ---- Copying the target into a graph -------------------------------------------------

namespace {

// The rectangle of the target, in its own storage, into the graph's storage at (x, y).
int CopyTargetRectIntoGraph(const RECT& source, const GraphPiece& g) {
    ScreenState& s = g_Screen;
    const int width = source.right - source.left, height = source.bottom - source.top;
    const int destX = g.piece->sourceX, destY = g.piece->sourceY;
    MEMIMG* targetImage = s.drawTargetSurface == nullptr ? s.drawTargetMemImg : nullptr;
    const bool graphImage = g.data->surface == nullptr;

    if (targetImage != nullptr && graphImage) {
        return ConvertMemImgToMemImg(&g.data->image, targetImage, &source, destX, destY) < 0 ? -1 : 0;
    }
    RECT graphRect{destX, destY, destX + width, destY + height};
    if (s.drawTargetSurface != nullptr && !graphImage) {
        IDirectDrawSurface7_Blt(g.data->surface, &graphRect, s.drawTargetSurface, const_cast<RECT*>(&source),
                                DDBLT_WAIT, nullptr);
        if (GetScreenColorFormat()->unusedMask == 0) return 0;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (IDirectDrawSurface7_Lock(g.data->surface, &graphRect, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) !=
            DD_OK) {
            return -1;
        }
        SetUnusedBitsOpaque(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), width, height);
        IDirectDrawSurface7_Unlock(g.data->surface, &graphRect);
        return 0;
    }
    if (s.drawTargetSurface != nullptr && graphImage) {
        IDirectDrawSurface7* work = GetSysMemWorkSurface();
        if (!HasMemImgPixels(&g.data->image) ||
            CopySurfaceArea(work, s.drawTargetSurface, 0, 0, &source, CopyMethodFastest) < 0) {
            return -1;
        }
        RECT workRect{0, 0, width, height};
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (IDirectDrawSurface7_Lock(work, &workRect, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return -1;
        MEMIMG& image = g.data->image;
        ConvertPixelsBetweenFormats(image.pixels, image.pitch, image.colorFormat, desc.lpSurface, desc.lPitch,
                                    GetScreenColorFormat(), nullptr, 0, nullptr, destX, destY, &workRect, 0, 0, 0,
                                    DitherNone, 0, 0, 0);
        SetUnusedBitsOpaque(MemImgPixelAddress(&image, destX, destY), image.pitch, image.colorFormat, width, height);
        IDirectDrawSurface7_Unlock(work, &workRect);
        return 0;
    }
    if (targetImage == nullptr || g.data->surface == nullptr) return -1;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (IDirectDrawSurface7_Lock(g.data->surface, &graphRect, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return -1;
    ConvertPixelsBetweenFormats(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), targetImage->pixels,
                                targetImage->pitch, targetImage->colorFormat, nullptr, 0, nullptr, 0, 0, &source, 0,
                                0, 0, DitherNone, 0, 0, 0);
    SetUnusedBitsOpaque(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), width, height);
    IDirectDrawSurface7_Unlock(g.data->surface, &graphRect);
    return 0;
}

}  // namespace

// The rectangle must have exactly the graph's size and lie inside the target.
int GetDrawScreenGraphSoft(int x1, int y1, int x2, int y2, GraphRecord* graph) {
    if (!StartSoftDraw(false) || graph == nullptr) return -1;
    const int64_t width = int64_t(x2) - x1, height = int64_t(y2) - y1;
    if (width < 1 || height < 1 || width != graph->width || height != graph->height || x1 < 0 || y1 < 0 ||
        x2 > g_DrawState.targetWidth || y2 > g_DrawState.targetHeight) {
        return -1;
    }
    GraphPiece g{};
    if (!FindGraphPiece(graph, &g)) return -1;
    RECT source{x1, y1, x2, y2};

    if (IsSoftwareScreen()) {
        if (g_DrawState.drawTarget == FrontBufferTarget) CaptureScreenToFrontImage();
        MEMIMG* target = g_Screen.drawTargetMemImg;
        if (target == nullptr) return -1;
        return ConvertMemImgToMemImg(&g.data->image, target, &source, g.piece->sourceX, g.piece->sourceY) < 0 ? -1 : 0;
    }

    if (g_DrawState.drawTarget == FrontBufferTarget) {
        RECT screen;
        GetScreenRectOnDesktop(&screen);
        source = RECT{source.left + screen.left, source.top + screen.top, source.right + screen.left,
                      source.bottom + screen.top};
    } else {
        const int dx = g_Screen.drawTargetOffsetX, dy = g_Screen.drawTargetOffsetY;
        source = RECT{source.left + dx, source.top + dy, source.right + dx, source.bottom + dy};
    }
    G_D3D_FlushVertexBatch();
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    return CopyTargetRectIntoGraph(source, g);
}

// A piece that is only part of its storage (a derived graph) fills only its own
// rectangle: the parent's other pixels stay.
int FillGraphColorSoft(GraphRecord* graph, int r, int g, int b, int a) {
    if (!StartSoftDraw(true) || graph == nullptr) return -1;
    for (int i = 0; i < std::clamp(graph->pieceCount, 0, int(GraphPieceCapacity)); i++) {
        GraphPiece gp{};
        gp.piece = LookupSurface2D(graph->pieces[i]);
        EndSurface2DAccess();
        gp.data = gp.piece != nullptr ? GetSurfaceDataRecord(gp.piece->surfaceData) : nullptr;
        if (gp.data == nullptr) return -1;
        if (CoversWholeStorage(gp)) {
            FillSurfaceDataColor(gp.piece->surfaceData, r, g, b, a);
            continue;
        }
        const ColorFormat* format = SurfaceDataColorFormat(gp.data);
        if (format == nullptr) return -1;
        const uint32_t value = EncodePixelRgba(format, r, g, b, a);
        RECT area{gp.piece->sourceX, gp.piece->sourceY, gp.piece->sourceX + gp.piece->width,
                  gp.piece->sourceY + gp.piece->height};
        if (gp.data->surface == nullptr) {
            FillMemImgRectRaw(&gp.data->image, &area, value);
        } else {
            DDBLTFX fx{};
            fx.dwSize = sizeof fx;
            fx.dwFillColor = value;
            IDirectDrawSurface7_Blt(gp.data->surface, &area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        }
    }
    return 0;
}

// ---- The software target ------------------------------------------------------------

int SelectDrawTargetSoft(int target, int previousTarget) {
    ScreenState& s = g_Screen;
    const bool directDrawOutput = !s.noDirectDraw && s.PrimarySurface != nullptr;
    s.drawTargetMemImg = nullptr;
    if (previousTarget == FrontBufferTarget && FrontCopyInUse()) {
        KillTimer(GetAppWindowHandle(), FrontCopyTimerId);
        CopyFrontSurfaceToPrimary();
    }
    s.drawTargetUnusable = 0;
    s.drawTargetSurface = nullptr;
    s.drawTargetZMemImg = nullptr;
    s.drawTargetOffsetX = s.drawTargetOffsetY = 0;

    if (target == FrontBufferTarget) {
        s.drawTargetSurface = GetFrontBufferSurface();
        s.drawTargetMemImg = &FrontMemImg;
        if (directDrawOutput) {
            if (IsWindowedOrGdiLike()) IDirectDrawSurface7_SetClipper(s.PrimarySurface, nullptr);
            if (FrontCopyInUse()) {
                IDirectDrawSurface7_SetClipper(s.PrimarySurface, s.clipper);
                CopyPrimaryToFrontSurface();
                SetTimer(GetAppWindowHandle(), FrontCopyTimerId, FrontCopyTimerPeriodMs, FrontSurfaceTimerProc);
            }
        }
    } else if (target == BackBufferTarget) {
        s.drawTargetSurface = s.BackSurface;
        s.drawTargetMemImg = &BackMemImg;
        s.drawTargetZMemImg = &ZBufferMemImg;
    } else {
        const GraphRecord* graph = GetGraphRecord(target);
        if (graph == nullptr || graph->pieceCount < 1) return -1;
        if (graph->hardwareFlag) {
            const Surface3DRecord* piece = GetSurface3DData(graph->pieces[0]);
            if (piece == nullptr) return -1;
            const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->texture);
            s.drawTargetSurface = data != nullptr ? data->surface : nullptr;
            s.drawTargetOffsetX = piece->textureX;
            s.drawTargetOffsetY = piece->textureY;
            EndUseSurface3DData(graph->pieces[0]);
        } else {
            GraphPiece g{};
            if (!FindGraphPiece(graph, &g)) return -1;
            if (g.data->memImgFlag && HasMemImgPixels(&g.data->image)) {
                // A view's own run-stream flag would not reach the storage's image.
                InvalidateMemImgDerivedData(&g.data->image);
                s.drawTargetMemImg = const_cast<MEMIMG*>(PieceImage(g, &graphTargetView));
            } else {
                s.drawTargetSurface = g.data->surface;
                s.drawTargetOffsetX = g.piece->sourceX;
                s.drawTargetOffsetY = g.piece->sourceY;
            }
            if (HasMemImgPixels(&g.data->depthImage)) s.drawTargetZMemImg = &g.data->depthImage;
        }
    }
    if (target != FrontBufferTarget && directDrawOutput && IsWindowedOrGdiLike()) {
        IDirectDrawSurface7_SetClipper(s.PrimarySurface, s.clipper);
    }

    g_DrawState.targetInVideoMemory = 0;
    if (s.drawTargetSurface != nullptr) {
        DDSCAPS2 caps{};
        IDirectDrawSurface7_GetCaps(s.drawTargetSurface, &caps);
        g_DrawState.targetInVideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
    }
    return 0;
}

// ---- Clearing -----------------------------------------------------------------------

int ClearCurrentScreenSoft(void) {
    if (!StartSoftDraw(true)) return -1;
    ScreenState& s = g_Screen;
    const SystemSettings& settings = SystemStateRecord.settings;
    const int r = settings.backgroundRed, g = settings.backgroundGreen, b = settings.backgroundBlue;

    if (IsSoftwareScreen()) {
        MEMIMG* image = s.drawTargetMemImg;
        if (image != nullptr && HasMemImgPixels(image)) {
            FillMemImgRectRaw(image, nullptr, EncodePixelRgba(image->colorFormat, r, g, b, 255));
        }
        if (s.drawTargetZMemImg != nullptr && HasMemImgPixels(s.drawTargetZMemImg)) {
            FillMemImgRectRaw(s.drawTargetZMemImg, nullptr, 0xFFFF);
        }
        return 0;
    }

    const int target = g_DrawState.drawTarget;
    if (target == FrontBufferTarget || target == BackBufferTarget) {
        int width = 0, height = 0;
        GetScreenPixelSize(&width, &height);
        RECT fill{0, 0, width, height};
        if (target == FrontBufferTarget && GetWindowedFlag()) GetScreenRectOnDesktop(&fill);
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = DWORD(RgbToScreenPixel(r, g, b));
        if (s.drawTargetSurface != nullptr) {
            IDirectDrawSurface7_Blt(s.drawTargetSurface, &fill, nullptr, nullptr, DDBLT_COLORFILL, &fx);
        }
        if (s.ZBufferSurface != nullptr) {
            RECT whole{0, 0, width, height};
            DDBLTFX depth{};
            depth.dwSize = sizeof depth;
            depth.dwFillDepth = 0xFFFF;
            IDirectDrawSurface7_Blt(s.ZBufferSurface, &whole, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &depth);
        }
        return 0;
    }

    const GraphRecord* graph = GetGraphRecord(target);
    GraphPiece gp{};
    if (graph == nullptr || graph->hardwareFlag || !FindGraphPiece(graph, &gp)) return 0;
    if (s.drawTargetMemImg != nullptr) {
        MEMIMG* image = s.drawTargetMemImg;
        if (HasMemImgPixels(&gp.data->depthImage)) FillMemImgRectRaw(&gp.data->depthImage, nullptr, 0xFFFF);
        const RECT whole{0, 0, image->width, image->height};
        FillMemImgRectBlend(image, &whole, EncodePixelRgba(image->colorFormat, r, g, b, 255));
    } else if (gp.data->surface != nullptr) {
        RECT area{gp.piece->sourceX, gp.piece->sourceY, gp.piece->sourceX + gp.piece->width,
                  gp.piece->sourceY + gp.piece->height};
        if (gp.data->depthSurface != nullptr) {
            DDBLTFX depth{};
            depth.dwSize = sizeof depth;
            depth.dwFillDepth = 0xFFFF;
            IDirectDrawSurface7_Blt(gp.data->depthSurface, &area, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT,
                                    &depth);
        }
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = DWORD(RgbToScreenPixel(r, g, b));
        IDirectDrawSurface7_Blt(gp.data->surface, &area, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    return 0;
}

// ---- Lines --------------------------------------------------------------------------

int DrawLineListSoft(const LineSegmentRecord* lines, int count) {
    if (!StartSoftDraw(false)) return -1;
    if (count <= 0) return 0;
    if (IsSoftwareScreen()) {
        if (MEMIMG* target = CurrentSoftTarget()) PlotLineListOnMemImg(target, lines, count);
        return 0;
    }
    G_D3D_FlushVertexBatch();
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    RECT touched{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int i = 0; i < count; i++) {
        const LineSegmentRecord& l = lines[i];
        touched.left = std::min({touched.left, LONG(l.x1), LONG(l.x2)});
        touched.top = std::min({touched.top, LONG(l.y1), LONG(l.y2)});
        touched.right = std::max({touched.right, LONG(l.x1), LONG(l.x2)});
        touched.bottom = std::max({touched.bottom, LONG(l.y1), LONG(l.y2)});
    }
    touched.right = SaturateToInt(int64_t(touched.right) + 1);
    touched.bottom = SaturateToInt(int64_t(touched.bottom) + 1);
    if (BeginScreenSurfaceDraw(nullptr, 0, nullptr, &touched, 0, nullptr, nullptr) < 0) return -1;
    PlotLineListOnMemImg(g_ScreenDrawContext.destImage, lines, count);
    EndScreenSurfaceDraw();
    return 0;
}

// ---- Strings ------------------------------------------------------------------------

namespace {

// Strings blended like graphs: drawn into the font's draw screen first (keyed with a
// value that neither colour uses), then drawn from there as a keyed 2D surface.
int DrawTextBlended(int x, int y, const char* text, int color, FontHandle font, int edgeColor, int vertical,
                    const FontRecord* record, int textWidth, int textHeight) {
    if (PrepareFontCacheGraphs(font) < 0) return -1;
    const Surface2DRecord* piece = LookupSurface2D(record->drawScreenSurface);
    EndSurface2DAccess();
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    if (data == nullptr || !HasMemImgPixels(&data->image)) return -1;

    DrawState& d = g_DrawState;
    const RECT savedClip = d.clipRect;
    const uint32_t savedBrightness = d.brightness;
    int screenWidth = 0, screenHeight = 0;
    GetScreenPixelSize(&screenWidth, &screenHeight);
    const RECT screen{0, 0, screenWidth, screenHeight};
    RECT textArea{0, 0, textWidth, textHeight};
    ClipRectByRectCore(&textArea, &screen);
    d.clipRect = textArea;

    MEMIMG& image = data->image;
    uint32_t key = 0;
    if (!image.alphaFlag) {
        // A key no pixel of the string takes (the colours as the font writes them into
        // this image); three candidates always suffice.
        const uint32_t body = FontTextPixelValue(&image, uint32_t(color));
        const uint32_t edge = FontTextPixelValue(&image, uint32_t(edgeColor));
        while (key == body || key == edge) key++;
    }
    image.transparentValue = key;
    FillMemImgRectRaw(&image, &textArea, key);

    int result = -1;
    if (DrawOrMeasureTextWithFont(1, 0, 0, 0, 1.0, 1.0, text, uint32_t(color), &image, &textArea, 1, font,
                                  uint32_t(edgeColor), -1, vertical, nullptr) >= 0) {
        d.brightness = BrightnessNeutral;
        RECT area = SizedRect(x, y, textWidth, textHeight);
        ClipRectByRectCore(&area, &savedClip);
        d.clipRect = area;
        DrawSurface2D(x, y, record->drawScreenSurface, 1);
        result = 0;
    }
    d.clipRect = savedClip;
    d.brightness = savedBrightness;
    return result;
}

}  // namespace

int DrawTextSoft(int x, int y, const char* text, int color, FontHandle font, int edgeColor, int vertical) {
    if (!StartSoftDraw(false)) return -1;
    const FontRecord* record = GetFontRecord(font);
    if (record == nullptr) return -1;
    if (record->textureCacheFlag) return G_D3D_DrawTextWithFontHandle(x, y, text, color, font, edgeColor, vertical);

    int size[2] = {0, 0};
    DrawOrMeasureTextWithFont(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 1, font, 0, -1, vertical, size);
    const DrawState& d = g_DrawState;
    const bool grey = (record->typeFlags & FontTypeGreyLevels) != 0;
    if (GetScreenColorBitDepth() != 8 && (d.blendMode != BlendNone || grey) &&
        !(!grey && d.blendMode == BlendAlpha && d.blendParam == 255)) {
        return DrawTextBlended(x, y, text, color, font, edgeColor, vertical, record, size[0], size[1]);
    }

    if (IsSoftwareScreen()) {
        MEMIMG* target = CurrentSoftTarget();
        if (target == nullptr) return -1;
        return DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, text, uint32_t(color), target, &d.clipRect, 1, font,
                                         uint32_t(edgeColor), -1, vertical, nullptr) < 0
                   ? -1
                   : 0;
    }

    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    G_D3D_FlushVertexBatch();
    // The colours stay screen values: the font writes them in the layout of the image
    // the preparation hands out (converted from the screen's, or not).
    const RECT area = SizedRect(x, y, size[0], size[1]);
    if (BeginScreenSurfaceDraw(nullptr, 0, nullptr, &area, 1, nullptr, nullptr) < 0) return -1;
    DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, text, uint32_t(color), g_ScreenDrawContext.destImage, &d.clipRect,
                              1, font, uint32_t(edgeColor), -1, vertical, nullptr);
    EndScreenSurfaceDraw();
    return 0;
}

// ---- The mask bracket ---------------------------------------------------------------

namespace {

// The target image described as a decoded image for the mask steps.
bool DescribeTargetImage(GraphImage* out) {
    const MEMIMG* image = g_Screen.drawTargetMemImg;
    if (image == nullptr || image->validMark != MemImgValidMark) return false;
    out->format = *image->colorFormat;
    out->width = image->width;
    out->height = image->height;
    out->pitch = image->pitch;
    out->pixels = image->pixels;
    return true;
}

}  // namespace

int BeginMaskedDraw(int x1, int y1, int x2, int y2) {
    GraphImage image{};
    const bool described = DescribeTargetImage(&image);
    SaveMaskTargetArea(x1, y1, x2, y2, described ? nullptr : g_Screen.drawTargetSurface, described ? &image : nullptr);
    return 0;
}

int EndMaskedDraw(int x1, int y1, int x2, int y2) {
    GraphImage image{};
    const bool described = DescribeTargetImage(&image);
    ApplyMaskToTargetArea(x1, y1, x2, y2, described ? nullptr : g_Screen.drawTargetSurface, described ? &image : nullptr);
    return 0;
}

int DeleteAllSurfaceData(void) {
    for (int slot = 0; slot < SurfaceDataTable.highWater && SurfaceDataTable.liveCount > 0; slot++) {
        const int handle = HandleOfSlot(&SurfaceDataTable, slot);
        if (handle != -1) DeleteSurfaceData(handle);
    }
    SurfaceDataTable.highWater = 0;
    return 0;
}

RECT PixelRectAround(float minX, float minY, float maxX, float maxY) {
    return RECT{SaturateToInt(int64_t(FloatToIntTrunc(minX)) - 1), SaturateToInt(int64_t(FloatToIntTrunc(minY)) - 1),
                SaturateToInt(int64_t(FloatToIntTrunc(maxX)) + 1), SaturateToInt(int64_t(FloatToIntTrunc(maxY)) + 1)};
}

// ---- Hooks --------------------------------------------------------------------------

int SetDrawClipRectSoft(const RECT*) { return 0; }
int SwitchMaskScreenTargetSoft(int) { return 0; }
int SetWorldTransformSoft(const Matrix4*) { return 0; }
int SetViewTransformSoft(const Matrix4*) { return 0; }
int SetProjectionTransformSoft(const Matrix4*) { return 0; }
int SetZWriteSoft(int) { return 0; }
int SetZCompareSoft(int) { return 0; }
