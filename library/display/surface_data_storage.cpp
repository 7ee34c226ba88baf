// surface_data_storage.cpp - the storage of a surface data: creating and releasing it
// for each output mode, the depth buffer, the colour key, restoring a lost surface and
// filling with a colour (see surface_data.h).
#include <cstring>

#include "library/core/log.h"
#include "library/core/size_refusal.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "platform/ddraw/ddraw.h"

namespace {

DDSURFACEDESC2 SizedDesc(const SurfaceDataRecord* r) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.dwWidth = r->width;
    desc.dwHeight = r->height;
    return desc;
}

// The surface the description asks for, or null; tooLarge tells whether the platform
// refused it for its size.
IDirectDrawSurface7* CreateSurface(DDSURFACEDESC2* desc, bool* tooLarge) {
    IDirectDrawSurface7* surface = nullptr;
    const HRESULT result = IDirectDraw7_CreateSurface(GetDirectDrawObject(), desc, &surface, nullptr);
    *tooLarge = result == DDERR_TOOBIGWIDTH || result == DDERR_TOOBIGHEIGHT || result == DDERR_TOOBIGSIZE;
    return result == DD_OK ? surface : nullptr;
}

// Says that the record's size was too large (after the failure line of its kind) and
// notes it for the caller who knows the file.
void LogSurfaceTooLarge(const SurfaceDataRecord* r) {
    NoteSizeRefusal(r->width, r->height);
    WriteLogFormat("サーフェスが大きすぎます ( 幅 %d 高さ %d )", r->width, r->height);
}

int FillSurface(IDirectDrawSurface7* surface, uint32_t value) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    return IDirectDrawSurface7_Blt(surface, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx) == DD_OK ? 0
                                                                                                                  : -1;
}

int CreateTextureStorage(SurfaceDataRecord* r) {
    SurfaceDataSettings& s = r->settings;
    r->formatIndex = G_D3D_GetTextureFormatIndex(&s) & 0xFFFF;
    DDSURFACEDESC2 desc = SizedDesc(r);
    desc.dwFlags |= DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (s.drawTarget == 1 ? DDSCAPS_3DDEVICE : 0);
    desc.ddsCaps.dwCaps2 = s.drawTarget == 0 ? DDSCAPS2_TEXTUREMANAGE : 0;
    const DDPIXELFORMAT* format = G_D3D_GetTexturePixelFormat(r->formatIndex);
    bool tooLarge = false;
    if (format != nullptr) {
        desc.ddpfPixelFormat = *format;
        r->surface = CreateSurface(&desc, &tooLarge);
    }
    if (r->surface == nullptr) {
        WriteLogText("テクスチャサーフェスの作成に失敗しました\n");
        WriteLogFormat("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", s.drawTarget,
                       s.alphaChannel, s.alphaTest, s.colorBits);
        if (tooLarge) LogSurfaceTooLarge(r);
        return -1;
    }
    FillSurface(r->surface, 0);
    return 0;
}

int CreateImageStorage(SurfaceDataRecord* r) {
    const SurfaceDataSettings& s = r->settings;
    int result;
    if (s.memImg8 == 1) {
        result = SetupMemImg(&r->image, r->width, r->height, -1, 0, MemImgFormat8, 0, 0, 0);
    } else {
        const int kind = s.colorBits == 16 ? MemImgFormat16 : MemImgFormat32;
        r->formatIndex = (kind == MemImgFormat16 ? SurfaceDataFormatMemImg16 : SurfaceDataFormatMemImg32) +
                         (s.alphaChannel ? 1 : 0);
        // The record's own colour key: the one it was made with, also after a device loss.
        const ColorFormat* format = LookupMemImgColorFormat(kind, s.alphaChannel, 0);
        const uint32_t transparent =
            s.paletteImage == 1
                ? 0xFFFF
                : EncodePixelRgba(format, (r->colorKey >> 16) & 0xFF, (r->colorKey >> 8) & 0xFF, r->colorKey & 0xFF, 255);
        result = SetupMemImg(&r->image, r->width, r->height, -1, transparent, kind, s.paletteImage, s.alphaChannel, 1);
    }
    if (result < 0) {
        WriteLogText("メモリイメージの作成に失敗しました\n");
        return -1;
    }
    // A new image starts black like a new surface, never with stale heap bytes.
    std::memset(r->image.pixels, 0, size_t(r->image.pitch) * size_t(r->image.height));
    return 0;
}

int CreateOffscreenStorage(SurfaceDataRecord* r) {
    r->formatIndex = SurfaceDataFormatOffscreen;
    int screenWidth;
    GetScreenPixelSize(&screenWidth, nullptr);
    const bool system = r->settings.systemMemory == 1 || r->width > screenWidth || IsSoftwareRenderMode();
    DDSURFACEDESC2 desc = SizedDesc(r);
    desc.ddsCaps.dwCaps =
        DDSCAPS_OFFSCREENPLAIN | (system ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY | DDSCAPS_3DDEVICE);
    bool tooLarge = false;
    r->surface = CreateSurface(&desc, &tooLarge);
    if (r->surface == nullptr) {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        r->surface = CreateSurface(&desc, &tooLarge);
    }
    if (r->surface == nullptr) {
        WriteLogText("標準サーフェスの作成に失敗しました\n");
        if (tooLarge) LogSurfaceTooLarge(r);
        return -1;
    }
    DDSCAPS2 caps{};
    IDirectDrawSurface7_GetCaps(r->surface, &caps);
    r->settings.systemMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 0 : 1;
    r->settings.drawTarget = 1;
    return 0;
}

void ReleaseSurface(IDirectDrawSurface7** surface) {
    if (*surface != nullptr) IDirectDrawSurface7_Release(*surface);
    *surface = nullptr;
}

void ReleaseDepthSurface(SurfaceDataRecord* r) {
    if (r->depthSurface == nullptr) return;
    if (r->surface != nullptr) IDirectDrawSurface7_DeleteAttachedSurface(r->surface, 0, r->depthSurface);
    ReleaseSurface(&r->depthSurface);
}

}  // namespace

int CreateSurfaceDataStorage(int handle) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr) return -1;
    const bool texture = r->settings.texture == 1;
    if ((texture || !r->memImgFlag) && GetDirectDrawObject() == nullptr) return -1;
    // Storage that exists stays as it is: several pieces share one record, and making
    // it again would throw away pixels that the others still show.
    if (r->surface != nullptr || HasMemImgPixels(&r->image)) return 0;

    const int result = texture ? CreateTextureStorage(r) : r->memImgFlag ? CreateImageStorage(r) : CreateOffscreenStorage(r);
    if (result < 0) {
        ReleaseSurface(&r->surface);
        ReleaseMemImg(&r->image);
        std::memset(&r->image, 0, sizeof r->image);
        return -1;
    }
    CreateSurfaceDataZBuffer(handle, r->depthWanted);
    return 0;
}

int ReleaseSurfaceDataStorage(int handle) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr) return -1;
    ReleaseMemImg(&r->depthImage);
    ReleaseMemImg(&r->image);
    ReleaseDepthSurface(r);
    ReleaseSurface(&r->surface);
    r->lockNesting = 0;  // nothing is left to be locked
    r->lockPointer = nullptr;
    return 0;
}

int CreateSurfaceDataZBuffer(int handle, int wanted) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr) return -1;
    const bool image = r->memImgFlag && !r->settings.texture;
    if (!image && GetDirectDrawObject() == nullptr) return -1;
    const bool has = image ? HasMemImgPixels(&r->depthImage) : r->depthSurface != nullptr;
    if (wanted == r->depthWanted && has == (wanted == 1)) return 0;
    if (r->settings.drawTarget == 0) return -1;

    if (wanted == 1) {
        if (image) {
            if (!has) CreateZBufferMemImg(&r->depthImage, r->width, r->height);
        } else if (!has) {
            const DDPIXELFORMAT* format = G_D3D_GetZBufferPixelFormat(16);
            DDSURFACEDESC2 desc = SizedDesc(r);
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
            bool tooLarge = false;
            if (format != nullptr) {
                desc.ddpfPixelFormat = *format;
                r->depthSurface = CreateSurface(&desc, &tooLarge);
            }
            if (r->depthSurface == nullptr) {
                WriteLogText("Ｚバッファの作成に失敗しました");
                if (tooLarge) LogSurfaceTooLarge(r);
                return -1;
            }
            if (r->surface != nullptr && IDirectDrawSurface7_AddAttachedSurface(r->surface, r->depthSurface) != DD_OK) {
                ReleaseSurface(&r->depthSurface);
                return WriteLogText("Ｚバッファの作成に失敗しました");
            }
        }
    } else if (image) {
        ReleaseMemImg(&r->depthImage);
    } else {
        ReleaseDepthSurface(r);
    }
    r->depthWanted = wanted;
    return 0;
}

int SetSurfaceDataColorKey(int handle) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr) return -1;
    if (r->surface == nullptr) return 0;
    const int red = (r->colorKey >> 16) & 0xFF, green = (r->colorKey >> 8) & 0xFF, blue = r->colorKey & 0xFF;
    uint32_t key;
    if (r->settings.texture) {
        const ColorFormat* format = G_D3D_GetTextureColorFormatByIndex(r->formatIndex);
        if (format == nullptr) return WriteLogText("テクスチャサーフェスのカラーキーの設定に失敗しました\n");
        key = EncodePixelRgba(format, red, green, blue, 255) | format->unusedMask | format->alphaMask;
    } else {
        key = r->settings.colorBits == 8 ? 0 : uint32_t(RgbToScreenPixel(red, green, blue));
    }
    DDCOLORKEY colorKey{key, key};
    if (IDirectDrawSurface7_SetColorKey(r->surface, DDCKEY_SRCBLT, &colorKey) != DD_OK) {
        return WriteLogText(r->settings.texture ? "テクスチャサーフェスのカラーキーの設定に失敗しました\n"
                                                : "標準サーフェスのカラーキーの設定に失敗しました\n");
    }
    return 0;
}

int RestoreLostSurfaceData(int handle) {
    SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
    if (r == nullptr || r->surface == nullptr) return 0;
    if (r->depthSurface != nullptr && IDirectDrawSurface7_IsLost(r->depthSurface) == DDERR_SURFACELOST) {
        IDirectDrawSurface7_Restore(r->depthSurface);
    }
    if (IDirectDrawSurface7_IsLost(r->surface) != DDERR_SURFACELOST) return 0;
    IDirectDrawSurface7_Restore(r->surface);
    return -1;
}

int FillSurfaceDataColor(int handle, int r, int g, int b, int a) {
    SurfaceDataRecord* record = GetSurfaceDataRecord(handle);
    if (GetDirectDrawObject() == nullptr || record == nullptr) return -1;
    const ColorFormat* format = SurfaceDataColorFormat(record);
    if (format == nullptr) return -1;
    const uint32_t value = EncodePixelRgba(format, r, g, b, a);
    // A software image is filled like a surface: filling a graph must never be a no-op.
    if (record->surface == nullptr) {
        if (!HasMemImgPixels(&record->image)) return -1;
        FillMemImgRectRaw(&record->image, nullptr, value);
        return 0;
    }
    if (FillSurface(record->surface, value) < 0) {
        return WriteLogText("サーフェスの塗りつぶしに失敗しました in FillSurfaceDataColor\n");
    }
    return 0;
}
