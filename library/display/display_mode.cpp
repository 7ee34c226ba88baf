// display_mode.cpp - the display mode and cooperative level: putting a mode into force
// at start-up, the screen colour format, and giving the desktop its own mode back.
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/display/color_format.h"
#include "library/display/screen_mode.h"
#include "library/display/screen_state.h"
#include "library/softrender/memimg_formats.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

namespace {

// Cooperative-level errors that still leave the full-screen level in force.
bool IsToleratedFullScreenError(HRESULT result) {
    return result == DDERR_HWNDSUBCLASSED || result == DDERR_HWNDALREADYSET || result == DDERR_EXCLUSIVEMODEALREADYSET;
}

// Desktop depth as its device context reports it: planes x bits per pixel.
int DesktopColorDepth(void) {
    HDC dc = GetDC(nullptr);
    int depth = GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return depth;
}

int ScreenPixelKindOf(const DDPIXELFORMAT& format) {
    if (format.dwRBitMask == 0xF800 && format.dwGBitMask == 0x07E0 && format.dwBBitMask == 0x001F) {
        return ScreenPixelRgb565;
    }
    if (format.dwRBitMask == 0x7C00 && format.dwGBitMask == 0x03E0 && format.dwBBitMask == 0x001F) {
        return ScreenPixelRgb555;
    }
    if (format.dwRBitMask == 0xFF0000 && format.dwGBitMask == 0x00FF00 && format.dwBBitMask == 0x0000FF) {
        return ScreenPixelXrgb8888;
    }
    return ScreenPixelOther;
}

}  // namespace

int SetFullScreenCooperativeLevel(IDirectDraw7* object, HWND window) {
    HRESULT result = IDirectDraw7_SetCooperativeLevel(object, window, ScreenCoopFullScreen);
    if (result != DD_OK && !IsToleratedFullScreenError(result)) {
        FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
    }
    return 0;
}

int SetWindowCooperativeLevel(IDirectDraw7* object, HWND window) {
    if (IDirectDraw7_SetCooperativeLevel(object, window, ScreenCoopWindowed) != DD_OK) {
        FatalErrorExit("DirectDrawの協調レベルの設定に失敗しました、ソフトを終了します");
    }
    return 0;
}

LONG ChangeDisplaySettingsTo(int width, int height, int colorBits, int refreshRate, DWORD flags) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmBitsPerPel = static_cast<DWORD>(colorBits);
    if (refreshRate != 0) {
        mode.dmFields |= DM_DISPLAYFREQUENCY;
        mode.dmDisplayFrequency = static_cast<DWORD>(refreshRate);
    }
    return ChangeDisplaySettingsA(&mode, flags);
}

int SetInitialDisplayMode(IDirectDraw7* object, int desktopWidth, int desktopHeight, int width, int height,
                          int colorBits, int* outColorBits, uint32_t* outCooperativeLevel, int windowed,
                          int* displayModeChanged, HWND window) {
    ScreenState& s = g_Screen;
    WriteLogFormat("画面モードの変更処理を開始します %u x %u  %u bit ", unsigned(width), unsigned(height),
                   unsigned(colorBits));
    IncLogIndent();
    if (windowed) {
        WriteLogText("ウインドウモードにします\n");
        if (width > desktopWidth || height > desktopHeight) {
            FatalErrorExit("デスクトップ画面のサイズが足りません、ソフトを終了します");
        }
        if (*displayModeChanged == 1) {
            WriteLogText("フルスクリーンモードから抜けます\n");
            if (s.noDirectDraw) {
                ChangeDisplaySettingsA(nullptr, 0);
            } else {
                IDirectDraw7_RestoreDisplayMode(object);
            }
            *displayModeChanged = 0;
        }
        int depth = DesktopColorDepth();
        if (depth == 24) {
            DecLogIndent();
            return -1;
        }
        if (outColorBits != nullptr) *outColorBits = depth;
        if (!s.noDirectDraw) SetWindowCooperativeLevel(object, window);
        if (outCooperativeLevel != nullptr) *outCooperativeLevel = ScreenCoopWindowed;
    } else {
        if (colorBits == 24) {
            DecLogIndent();
            return -1;
        }
        WriteLogText("画面解像度を変更します... ");
        bool set;
        if (s.noDirectDraw) {
            set = ChangeDisplaySettingsTo(width, height, colorBits, s.refreshRate, CDS_FULLSCREEN) ==
                  DISP_CHANGE_SUCCESSFUL;
            if (!set) {
                s.refreshRate = 0;
                set = ChangeDisplaySettingsTo(width, height, colorBits, 0, 0) == DISP_CHANGE_SUCCESSFUL;
            }
        } else {
            SetFullScreenCooperativeLevel(object, window);
            if (outCooperativeLevel != nullptr) *outCooperativeLevel = ScreenCoopFullScreen;
            set = IDirectDraw7_SetDisplayMode(object, DWORD(width), DWORD(height), DWORD(colorBits),
                                              DWORD(s.refreshRate), 0) == DD_OK;
            if (!set) {
                s.refreshRate = 0;
                set = IDirectDraw7_SetDisplayMode(object, DWORD(width), DWORD(height), DWORD(colorBits), 0, 0) ==
                      DD_OK;
            }
        }
        if (!set) {
            WriteLogText("画面モードの変更に失敗しました\n");
            DecLogIndent();
            return -1;
        }
        if (outColorBits != nullptr) *outColorBits = colorBits;
        *displayModeChanged = 1;
        WriteLogText("成功しました\n");
    }
    DecLogIndent();
    WriteLogText("画面モードの変更は正常に終了しました \n");
    return 0;
}

int SetupScreenColorFormat(void) {
    ScreenState& s = g_Screen;
    if (s.noDirectDraw) {
        if (s.colorBits != 16 && s.colorBits != 32) s.colorBits = 16;
        int kind = s.colorBits == 16 ? MemImgFormat16 : MemImgFormat32;
        s.colorFormat = *LookupMemImgColorFormat(kind, 0, 0);
        // The public pixel-format query answers for the software screen too.
        const ColorFormat& f = s.colorFormat;
        InitDDPixelFormatRgb(&s.pixelFormat, f.bitsPerPixel, f.redMask, f.greenMask, f.blueMask, 0);
        s.pixelKind = ScreenPixelKindOf(s.pixelFormat);
        return 0;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    IDirectDraw7_GetDisplayMode(s.directDraw, &desc);
    s.pixelFormat = desc.ddpfPixelFormat;
    InitColorFormatFromDDPixelFormat(&s.pixelFormat, &s.colorFormat);
    WriteLogText("カラー情報\n");
    IncLogIndent();
    WriteLogFormat("A:%08x  B:%08x  G:%08x  B:%08x", unsigned(s.pixelFormat.dwRGBAlphaBitMask),
                   unsigned(s.pixelFormat.dwRBitMask), unsigned(s.pixelFormat.dwGBitMask),
                   unsigned(s.pixelFormat.dwBBitMask));
    DecLogIndent();
    s.colorBits = static_cast<int>(s.pixelFormat.dwRGBBitCount);
    s.pixelKind = ScreenPixelKindOf(s.pixelFormat);
    return 0;
}

int ReapplyDisplayMode(void) {
    ScreenState& s = g_Screen;
    int desktopWidth = 0, desktopHeight = 0;
    GetDesktopScreenInfo(&desktopWidth, &desktopHeight, nullptr);
    SetInitialDisplayMode(s.directDraw, desktopWidth, desktopHeight, s.width, s.height, s.colorBits, nullptr,
                          &s.cooperativeLevel, GetWindowedFlag(), &s.displayModeChanged, s.graphicsWindow);
    return 0;
}

int RestoreDisplayModeForRelease(void) {
    ScreenState& s = g_Screen;
    if (GetWindowedFlag() || s.displayModeChanged != 1) return 0;
    if (s.noDirectDraw) {
        ChangeDisplaySettingsA(nullptr, 0);
    } else {
        IDirectDraw7_SetCooperativeLevel(s.directDraw, s.graphicsWindow, ScreenCoopWindowed);
        IDirectDraw7_RestoreDisplayMode(s.directDraw);
    }
    s.displayModeChanged = 0;
    return 0;
}

int RestoreDesktopDisplayMode(void) {
    ScreenState& s = g_Screen;
    if (s.noDirectDraw) {
        ChangeDisplaySettingsA(nullptr, 0);
    } else {
        if (s.directDraw == nullptr) return -1;
        if (s.cooperativeLevel & DDSCL_EXCLUSIVE) {
            IDirectDraw7_SetCooperativeLevel(s.directDraw, s.graphicsWindow, ScreenCoopWindowed);
            IDirectDraw7_RestoreDisplayMode(s.directDraw);
        }
    }
    s.displayModeChanged = 0;
    WriteLogText("画面モードを元に戻す処理は正常に終了しました\n");
    return 0;
}
