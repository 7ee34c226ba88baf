// screen_surfaces.cpp - creating, releasing and restoring the screens (see screen_surfaces.h).
#include "library/display/screen_surfaces.h"

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/display/color_format.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "platform/ddraw/ddraw.h"

MEMIMG FrontMemImg;
MEMIMG BackMemImg;
MEMIMG ZBufferMemImg;

namespace {

// The colour that clearing fills with (the system state's background, black here).
void BackgroundRgb(int* r, int* g, int* b) {
    const SystemSettings& settings = SystemStateRecord.settings;
    *r = settings.backgroundRed;
    *g = settings.backgroundGreen;
    *b = settings.backgroundBlue;
}

void FillWithBackground(IDirectDrawSurface7* surface) {
    int r, g, b;
    BackgroundRgb(&r, &g, &b);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = static_cast<DWORD>(RgbToScreenPixel(r, g, b));
    IDirectDrawSurface7_Blt(surface, nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

void FillWithBackground(MEMIMG* image) {
    int r, g, b;
    BackgroundRgb(&r, &g, &b);
    FillMemImgRectRaw(image, nullptr, EncodePixelRgba(image->colorFormat, r, g, b, 255));
}

DDSURFACEDESC2 SurfaceDesc(DWORD flags, DWORD caps) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.ddsCaps.dwCaps = caps;
    return desc;
}

// A surface of the screen's size; null when the driver refuses.
IDirectDrawSurface7* CreateScreenSized(DWORD caps) {
    DDSURFACEDESC2 desc = SurfaceDesc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, caps);
    desc.dwWidth = static_cast<DWORD>(g_Screen.width);
    desc.dwHeight = static_cast<DWORD>(g_Screen.height);
    IDirectDrawSurface7* surface = nullptr;
    if (IDirectDraw7_CreateSurface(g_Screen.directDraw, &desc, &surface, nullptr) != DD_OK) return nullptr;
    return surface;
}

IDirectDrawSurface7* CreateOrDie(DWORD caps, const char* fatalText) {
    IDirectDrawSurface7* surface = CreateScreenSized(caps);
    if (surface == nullptr) FatalErrorExit(fatalText);
    return surface;
}

void CreateSoftwareScreens(void) {
    ScreenState& s = g_Screen;
    int kind = s.requestedColorBits == 16 ? MemImgFormat16 : MemImgFormat32;
    if (CreateMemImgInScreenFormat(&FrontMemImg, s.width, s.height, kind) != 0) {
        FatalErrorExit("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    if (CreateMemImgInScreenFormat(&BackMemImg, s.width, s.height, kind) != 0) {
        FatalErrorExit("バックサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    if (CreateZBufferMemImg(&ZBufferMemImg, s.width, s.height) != 0) {
        FatalErrorExit("Ｚバッファサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    FillWithBackground(&FrontMemImg);
    FillWithBackground(&BackMemImg);
}

void CreateFlipChain(void) {
    ScreenState& s = g_Screen;
    DDSURFACEDESC2 desc = SurfaceDesc(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                      DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE);
    desc.dwBackBufferCount = 1;
    if (IDirectDraw7_CreateSurface(s.directDraw, &desc, &s.PrimarySurface, nullptr) != DD_OK) {
        FatalErrorExit("プライマリサーフェスの作成に失敗しました");
    }
    DDSCAPS2 back{DDSCAPS_BACKBUFFER, 0, 0, 0};
    if (IDirectDrawSurface7_GetAttachedSurface(s.PrimarySurface, &back, &s.BackSurface) != DD_OK) {
        FatalErrorExit("バックバッファのポインタ取得に失敗しました");
    }
    // Every buffer of the chain starts cleared.
    for (int i = 0; i < 3; i++) {
        FillWithBackground(s.BackSurface);
        IDirectDrawSurface7_Flip(s.PrimarySurface, nullptr, DDFLIP_NOVSYNC);
    }
}

void CreateWindowScreens(void) {
    ScreenState& s = g_Screen;
    DDSURFACEDESC2 desc = SurfaceDesc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE);
    if (IDirectDraw7_CreateSurface(s.directDraw, &desc, &s.PrimarySurface, nullptr) != DD_OK) {
        FatalErrorExit("プライマリサーフェスの作成に失敗しました");
    }
    s.BackSurface = CreateOrDie(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE, "バックサーフェスの作成に失敗しました");
    FillWithBackground(s.BackSurface);
}

// The Z buffer attached to the back surface; false when it cannot be made.
bool CreateZBuffer(void) {
    ScreenState& s = g_Screen;
    DDSURFACEDESC2 desc = SurfaceDesc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT, DDSCAPS_ZBUFFER);
    desc.dwWidth = static_cast<DWORD>(s.width);
    desc.dwHeight = static_cast<DWORD>(s.height);
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    desc.ddpfPixelFormat.dwZBufferBitDepth = 16;
    desc.ddpfPixelFormat.dwZBitMask = 0xFFFF;
    if (IDirectDraw7_CreateSurface(s.directDraw, &desc, &s.ZBufferSurface, nullptr) != DD_OK) {
        s.ZBufferSurface = nullptr;
        return false;
    }
    IDirectDrawSurface7_AddAttachedSurface(s.BackSurface, s.ZBufferSurface);
    return true;
}

const char* MemoryKindText(IDirectDrawSurface7* surface) {
    DDSCAPS2 caps{};
    IDirectDrawSurface7_GetCaps(surface, &caps);
    return (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

void ReleaseSurface(IDirectDrawSurface7** surface) {
    if (*surface != nullptr) IDirectDrawSurface7_Release(*surface);
    *surface = nullptr;
}

void ReleaseImage(MEMIMG* image) {
    ReleaseMemImg(image);
    *image = MEMIMG{};
}

}  // namespace

int CreateScreenSurfaces(void) {
    ScreenState& s = g_Screen;
    if ((s.directDraw == nullptr && !s.noDirectDraw) || s.PrimarySurface != nullptr) return -1;
    WriteLogText("出力画面用の DirectDrawSurface を作成します\n");
    IncLogIndent();
    s.MemImgScreen = s.softwareRenderer && s.colorBits != 8 ? 1 : 0;

    if (s.MemImgScreen) {
        CreateSoftwareScreens();
    } else {
        s.requestedColorBits = s.colorBits;  // the surfaces take the display's format
        if (GetWindowedFlag()) {
            CreateWindowScreens();
        } else {
            CreateFlipChain();
        }
        if (s.frontCopySurfaceUse) {
            s.FrontCopySurface = CreateOrDie(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE,
                                             "テンポラリプライマリサーフェスの作成に失敗しました");
            FillWithBackground(s.FrontCopySurface);
        }
        const char* workFailure[2] = {"作業用サーフェスの作成に失敗しました", "作業用サーフェス２の作成に失敗しました"};
        for (int i = 0; i < 2; i++) {
            s.WorkSurface[i] = CreateOrDie(DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, workFailure[i]);
            DDCOLORKEY key{0, 0};
            IDirectDrawSurface7_SetColorKey(s.WorkSurface[i], DDCKEY_SRCBLT, &key);
        }
        if (!CreateZBuffer()) {
            WriteLogText("Ｚバッファの作成に失敗しました\n");
            DecLogIndent();
            return -1;
        }
    }

    WriteLogText("各スクリーンメモリの配置位置\n");
    IncLogIndent();
    if (s.MemImgScreen) {
        WriteLogFormat("PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) ");
        WriteLogFormat("BaskBuffer : SYSTEMMEMORY( MEMIMG ) ");
    } else {
        WriteLogFormat("PrimaryBuffer : %s  ", MemoryKindText(s.PrimarySurface));
        WriteLogFormat("BaskBuffer : %s  ", MemoryKindText(s.BackSurface));
    }
    DecLogIndent();
    DecLogIndent();
    WriteLogText("出力画面用の DirectDrawSurface の作成は正常に終了しました\n");
    return 0;
}

int ReleaseScreenSurfaces(void) {
    ScreenState& s = g_Screen;
    if (s.directDraw == nullptr && !s.noDirectDraw) return -1;
    if (s.ZBufferSurface != nullptr && s.BackSurface != nullptr) {
        IDirectDrawSurface7_DeleteAttachedSurface(s.BackSurface, 0, s.ZBufferSurface);
    }
    ReleaseSurface(&s.ZBufferSurface);
    if (s.PrimarySurface != nullptr) {
        WriteLogText("メインサーフェスを破棄をします... 完了しました\n");
        IDirectDrawSurface7_SetClipper(s.PrimarySurface, nullptr);
        ReleaseSurface(&s.BackSurface);
        ReleaseSurface(&s.PrimarySurface);
    }
    ReleaseSurface(&s.FrontCopySurface);
    ReleaseSurface(&s.WorkSurface[0]);
    ReleaseSurface(&s.WorkSurface[1]);
    if (s.MemImgScreen) {
        ReleaseImage(&FrontMemImg);
        ReleaseImage(&BackMemImg);
        ReleaseImage(&ZBufferMemImg);
        s.MemImgScreen = 0;
    }
    return 0;
}

int RestoreScreenSurfaces(void) {
    ScreenState& s = g_Screen;
    if (s.directDraw == nullptr) return -1;
    if (g_DrawState.suspended) return 0;
    for (IDirectDrawSurface7* surface : {s.PrimarySurface, s.FrontCopySurface, s.BackSurface, s.ZBufferSurface}) {
        if (surface != nullptr && IDirectDrawSurface7_IsLost(surface) == DDERR_SURFACELOST) {
            IDirectDrawSurface7_Restore(surface);
        }
    }
    return 0;
}
