// screen_surface_draw.cpp - preparing software draws on DirectDraw surfaces (see
// screen_surface_draw.h).
//
// Where the target's memory is read through work surface 1, the clipped area is copied
// there at its own draw-space position, so the work surface's pixel (0, 0) stands for
// the target's and a view of the work surface from (0, 0) is indexed by draw-space
// coordinates without pointing anywhere outside it. Where the target is locked in
// place, the lock starts at the target's own (0, 0) for the same reason. A target too
// large for the work surface is locked in place (and converted in place when the
// screen needs it). Sources go the same way through work surface 2; one too large for
// it is converted where it lies and back.
#include "library/display/screen_surface_draw.h"

#include "library/core/handles.h"
#include "library/core/log.h"
#include "library/display/color_format.h"
#include "library/display/pixel_converter.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"
#include "library/graph/mask_screen.h"
#include "library/softrender/memimg_formats.h"
#include "platform/ddraw/ddraw.h"

ScreenDrawContext g_ScreenDrawContext;

namespace {

// The screen's surfaces hold palette indices.
bool PaletteScreen() { return g_Screen.colorBits == 8; }

// The format of the views handed to the renderer: its own at 16 and 32 bits; on an
// 8-bit screen the bytes as they are (palette indices), which only the glyph writer
// takes and every other renderer refuses, so no draw reads or writes them as colours.
int ViewKind() {
    if (PaletteScreen()) return MemImgFormat8;
    return GetScreenColorBitDepth() == 16 ? MemImgFormat16 : MemImgFormat32;
}
const ColorFormat* RendererFormat() { return LookupMemImgColorFormat(ViewKind(), 0, 0); }

bool IsBlendGraphSet() { return g_DrawState.blendGraph >= 0 && HandleKindOf(g_DrawState.blendGraph) == HandleKindGraph; }

bool BlendingNeeded(const SurfaceDataRecord* source) {
    const DrawState& d = g_DrawState;
    return (d.blendMode == BlendAlpha && d.blendParam != 255) || (d.blendMode != BlendNone && d.blendMode != BlendAlpha) ||
           (source != nullptr && source->settings.alphaChannel) || IsBlendGraphSet();
}

bool BrightnessChanged() { return (g_DrawState.brightness & 0xFFFFFF) != BrightnessNeutral; }

RECT Moved(const RECT& r, int dx, int dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// While the mask is active draws go into its save surface, which covers the screen
// only (a graph target may be larger): the part of a rectangle that lies on it.
void ClipToMaskSaveArea(RECT* rect) {
    const RECT saveArea{0, 0, g_MaskScreen.width, g_MaskScreen.height};
    ClipRectByRectCore(rect, &saveArea);
}

bool FitsWorkSurface(IDirectDrawSurface7* work, int right, int bottom) {
    int width, height;
    GetScreenPixelSize(&width, &height);
    return work != nullptr && right <= width && bottom <= height;
}

// Locks `rect` of the surface and sets `view` up over it as a width x height image of
// the views' format; the lock's corner is the view's (0, 0).
bool LockView(IDirectDrawSurface7* surface, RECT* rect, MEMIMG* view, int width, int height, uint32_t transparent) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (IDirectDrawSurface7_Lock(surface, rect, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return false;
    *view = MEMIMG{};
    view->pixels = static_cast<uint8_t*>(desc.lpSurface);
    if (SetupMemImg(view, width, height, desc.lPitch, transparent, ViewKind(), 0, 0, 0) < 0) {
        IDirectDrawSurface7_Unlock(surface, rect);
        return false;
    }
    return true;
}

// Converts the area of a view between the screen's format and the renderer's, in place.
void ConvertArea(MEMIMG* view, const RECT& area, bool toRenderer) {
    const ColorFormat* screen = GetScreenColorFormat();
    const ColorFormat* renderer = RendererFormat();
    ConvertPixelsBetweenFormats(view->pixels, view->pitch, toRenderer ? renderer : screen, view->pixels, view->pitch,
                                toRenderer ? screen : renderer, nullptr, 0, nullptr, area.left, area.top, &area, 0, 0,
                                0, DitherNone, 0, 0, 0);
}

// The draw target is a graph whose pixels are a software image.
MEMIMG* TargetImage() {
    MEMIMG* image = g_Screen.drawTargetMemImg;
    if (g_Screen.drawTargetSurface != nullptr || image == nullptr || image->validMark != MemImgValidMark) return nullptr;
    return image;
}

int PrepareImageDest(ScreenDrawContext& c, MEMIMG* image) {
    const int x = g_Screen.drawTargetOffsetX, y = g_Screen.drawTargetOffsetY;
    c.destImage = x == 0 && y == 0 ? image
                                   : MakeMemImgView(&c.destView, image, x, y, g_DrawState.targetWidth,
                                                    g_DrawState.targetHeight);
    return 0;
}

int PrepareSurfaceDest(ScreenDrawContext& c, IDirectDrawSurface7* target, int originX, int originY, bool videoBlend) {
    if (target == nullptr) return WriteLogText("描画先のサーフェスがありません in BeginScreenSurfaceDraw\n");
    const RECT& clipped = c.clippedRect;
    c.targetSurface = target;
    c.targetRect = Moved(clipped, originX, originY);
    IDirectDrawSurface7* work = g_Screen.WorkSurface[0];
    const bool fits = FitsWorkSurface(work, clipped.right, clipped.bottom);
    const bool originOnSurface = originX >= 0 && originY >= 0;
    bool throughWork = videoBlend || c.convertNeeded || !originOnSurface;
    if (throughWork && !fits) {
        if (!originOnSurface) return WriteLogText("描画先が作業用サーフェスに収まりません in BeginScreenSurfaceDraw\n");
        throughWork = false;  // drawn in place, converted in place when needed
    }

    if (throughWork) {
        if (CopySurfaceArea(work, target, clipped.left, clipped.top, &c.targetRect, CopyMethodFastest) < 0) {
            return WriteLogText("描画先の転送に失敗しました in BeginScreenSurfaceDraw\n");
        }
        c.destLockedSurface = work;
        c.destLockRect = RECT{0, 0, clipped.right, clipped.bottom};
    } else {
        c.destLockedSurface = target;
        c.destLockRect = RECT{originX, originY, originX + clipped.right, originY + clipped.bottom};
    }
    if (!LockView(c.destLockedSurface, &c.destLockRect, &c.destView, clipped.right, clipped.bottom, 0)) {
        return WriteLogText("描画先のサーフェスのロックに失敗しました in BeginScreenSurfaceDraw\n");
    }
    c.destLocked = 1;
    c.destThroughWorkSurface = throughWork ? 1 : 0;
    c.destImage = &c.destView;
    if (c.convertNeeded) {
        ConvertArea(&c.destView, clipped, true);
        c.destConverted = 1;
    }
    return 0;
}

int PrepareImageSource(ScreenDrawContext& c, const Surface2DRecord* piece, SurfaceDataRecord* data) {
    if (!HasMemImgPixels(&data->image)) return -1;
    const bool whole = piece->sourceX == 0 && piece->sourceY == 0 && piece->width == data->width &&
                       piece->height == data->height;
    c.sourceImage = whole ? &data->image
                          : MakeMemImgView(&c.sourceView, &data->image, piece->sourceX, piece->sourceY, piece->width,
                                           piece->height);
    return 0;
}

int PrepareSurfaceSource(ScreenDrawContext& c, const Surface2DRecord* piece, SurfaceDataRecord* data,
                         const RECT* sourceRect) {
    const RECT whole{0, 0, piece->width, piece->height};
    RECT area = sourceRect != nullptr ? *sourceRect : whole;
    ClipRectByRectCore(&area, &whole);
    IDirectDrawSurface7* work = g_Screen.WorkSurface[1];
    const bool throughWork = (data->settings.systemMemory == 0 || c.convertNeeded) &&
                             FitsWorkSurface(work, piece->width, piece->height);

    if (throughWork) {
        RECT from = Moved(area, piece->sourceX, piece->sourceY);
        if (!IsEmpty(area) && CopySurfaceArea(work, data->surface, area.left, area.top, &from, CopyMethodFastest) < 0) {
            return WriteLogText("描画元の転送に失敗しました in BeginScreenSurfaceDraw\n");
        }
        c.sourceLockedSurface = work;
        c.sourceLockRect = whole;
    } else {
        c.sourceLockedSurface = data->surface;
        c.sourceLockRect = Moved(whole, piece->sourceX, piece->sourceY);
    }
    const int red = (data->colorKey >> 16) & 0xFF, green = (data->colorKey >> 8) & 0xFF, blue = data->colorKey & 0xFF;
    const uint32_t transparent = PaletteScreen() ? uint32_t(RgbToScreenPixel(red, green, blue))
                                                 : EncodePixelRgba(RendererFormat(), red, green, blue, 255);
    if (!LockView(c.sourceLockedSurface, &c.sourceLockRect, &c.sourceView, piece->width, piece->height, transparent)) {
        return WriteLogText("描画元のサーフェスのロックに失敗しました in BeginScreenSurfaceDraw\n");
    }
    c.sourceLocked = 1;
    c.sourceThroughWorkSurface = throughWork ? 1 : 0;
    c.sourceImage = &c.sourceView;
    // A source too large for the work surface is converted where it lies and back
    // again when the draw ends (the screen formats convert both ways without loss).
    if (c.convertNeeded && !IsEmpty(area)) {
        ConvertArea(&c.sourceView, area, true);
        c.sourceConverted = throughWork ? 0 : 1;
        c.sourceConvertRect = area;
    }
    return 0;
}

// Colour values come in the screen's format; the destination may hold another. Palette
// indices stay as they are.
void ConvertColours(const ScreenDrawContext& c, uint32_t* colour1, uint32_t* colour2) {
    if (PaletteScreen() || c.destImage == nullptr || c.destImage->colorFormat == nullptr) return;
    const ColorFormat* screen = GetScreenColorFormat();
    if (IsSameColorFormat(c.destImage->colorFormat, screen)) return;
    if (colour1 != nullptr) *colour1 = ConvertPixelValueFormat(c.destImage->colorFormat, screen, *colour1);
    if (colour2 != nullptr) *colour2 = ConvertPixelValueFormat(c.destImage->colorFormat, screen, *colour2);
}

// Puts everything back that a preparation took: the clip rectangle, converted pixels
// and locks; with copyBack the work area goes back onto the target.
void FinishDraw(ScreenDrawContext& c, bool copyBack) {
    if (c.clipNarrowed) g_DrawState.clipRect = c.savedClipRect;
    if (c.destConverted) ConvertArea(&c.destView, c.clippedRect, false);
    if (c.sourceConverted) ConvertArea(&c.sourceView, c.sourceConvertRect, false);
    if (c.destLocked) IDirectDrawSurface7_Unlock(c.destLockedSurface, &c.destLockRect);
    if (c.sourceLocked) IDirectDrawSurface7_Unlock(c.sourceLockedSurface, &c.sourceLockRect);
    if (copyBack && c.destThroughWorkSurface &&
        CopySurfaceArea(c.targetSurface, c.destLockedSurface, c.targetRect.left, c.targetRect.top, &c.clippedRect,
                        CopyMethodFastest) < 0) {
        WriteLogText("描画結果の転送に失敗しました in EndScreenSurfaceDraw\n");
    }
    c.clipNarrowed = c.destConverted = c.sourceConverted = c.destLocked = c.sourceLocked = 0;
    c.destThroughWorkSurface = 0;
}

}  // namespace

int BeginScreenSurfaceDraw(const Surface2DRecord* source, int bltFastAllowed, const RECT* sourceRect,
                           const RECT* destRect, int opaque, uint32_t* colour1, uint32_t* colour2) {
    // Every converted area is converted both ways, so whether the draw covers all of
    // its rectangle changes nothing here.
    (void)opaque;
    ScreenDrawContext& c = g_ScreenDrawContext;
    c = ScreenDrawContext{};
    const DrawState& d = g_DrawState;
    SurfaceDataRecord* data = source != nullptr ? GetSurfaceDataRecord(source->surfaceData) : nullptr;
    if (source != nullptr && data == nullptr) return -1;
    const bool maskActive = d.maskActive != 0;

    if (g_Screen.MemImgScreen) {
        c.destImage = maskActive ? GetMaskScreenMemImg() : g_Screen.drawTargetMemImg;
        return data != nullptr ? PrepareImageSource(c, source, data) : 0;
    }

    IDirectDrawSurface7* target = maskActive ? GetMaskScreenSurface() : g_Screen.drawTargetSurface;
    const bool blending = BlendingNeeded(data);
    const bool targetInVideo = (maskActive ? d.maskSaveInVideoMemory : d.targetInVideoMemory) != 0;
    // The mask's save surface is screen-sized: only the draw origin places a draw on it.
    const int originX = d.drawOrigin.left + (maskActive ? 0 : g_Screen.drawTargetOffsetX);
    const int originY = d.drawOrigin.top + (maskActive ? 0 : g_Screen.drawTargetOffsetY);

    // A plain draw is one blit between surfaces in the same kind of memory; on a palette
    // screen, where the renderer has nothing to draw indices with, wherever they lie.
    const bool sameMemory = data != nullptr && (data->settings.systemMemory == 0) == targetInVideo;
    if (bltFastAllowed && data != nullptr && !blending && !BrightnessChanged() && data->surface != nullptr &&
        target != nullptr && (sameMemory || PaletteScreen())) {
        const RECT whole{0, 0, source->width, source->height};
        RECT from = sourceRect != nullptr ? *sourceRect : whole;
        RECT dest = *destRect;
        if (maskActive) {
            ClipToMaskSaveArea(&dest);
            if (IsEmpty(dest)) return -1;
            from = Moved(RECT{0, 0, dest.right - dest.left, dest.bottom - dest.top}, from.left + dest.left - destRect->left,
                         from.top + dest.top - destRect->top);
        }
        c.bltFastChosen = 1;
        c.targetSurface = target;
        c.bltSourceSurface = data->surface;
        c.bltSourceRect = Moved(from, source->sourceX, source->sourceY);
        c.bltDestSurface = target;
        c.bltDestRect = Moved(dest, originX, originY);
        return 0;
    }

    // Palette indices have no colour layout to convert: they are drawn as they are.
    c.convertNeeded =
        !PaletteScreen() && (g_Screen.pixelKind == ScreenPixelRgb555 || g_Screen.pixelKind == ScreenPixelOther) ? 1 : 0;
    c.clippedRect = *destRect;
    ClipRectByRectCore(&c.clippedRect, &d.clipRect);
    if (maskActive) ClipToMaskSaveArea(&c.clippedRect);
    if (IsEmpty(c.clippedRect)) return -1;

    MEMIMG* targetImage = maskActive ? nullptr : TargetImage();
    int result = targetImage != nullptr ? PrepareImageDest(c, targetImage)
                                        : PrepareSurfaceDest(c, target, originX, originY, targetInVideo && blending);
    if (result == 0 && data != nullptr) {
        result = data->surface != nullptr ? PrepareSurfaceSource(c, source, data, sourceRect)
                                          : PrepareImageSource(c, source, data);
    }
    if (result < 0) {
        FinishDraw(c, false);
        return -1;
    }
    ConvertColours(c, colour1, colour2);
    // The renderer is bound only by the clip rectangle: keep it to what was prepared.
    c.savedClipRect = d.clipRect;
    g_DrawState.clipRect = c.clippedRect;
    c.clipNarrowed = 1;
    return 0;
}

int EndScreenSurfaceDraw(void) {
    FinishDraw(g_ScreenDrawContext, true);
    return 0;
}

MEMIMG* GetBlendGraphMemImg(void) {
    if (g_DrawState.blendGraph == -1) return nullptr;
    GraphRecord* graph = GetGraphRecord(g_DrawState.blendGraph);
    if (graph == nullptr || graph->hardwareFlag || graph->pieceCount < 1) return nullptr;
    const Surface2DRecord* piece = LookupSurface2D(graph->pieces[0]);
    EndSurface2DAccess();
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    return data != nullptr && HasMemImgPixels(&data->image) ? &data->image : nullptr;
}
