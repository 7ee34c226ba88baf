// mask_screen.cpp - the mask screen: its buffer and save area, the switch, and the two
// bracket steps around each draw (see mask_screen.h).
#include "library/graph/mask_screen.h"

#include <cstring>

#include "library/core/alloc.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d.h"
#include "library/display/pixel_converter.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_side.h"
#include "library/graph/draw_state.h"
#include "library/softrender/soft_target.h"
#include "platform/ddraw/ddraw.h"

MaskScreenState g_MaskScreen;

namespace {

bool HasSaveImage() { return g_MaskScreen.saveIsMemImg && g_MaskScreen.saveMemImg.validMark == MemImgValidMark; }

// The save area of the screen's kind exists.
bool HasSaveArea() { return IsSoftwareScreen() ? HasSaveImage() : g_MaskScreen.saveSurface != nullptr; }

void ReleaseSaveArea() {
    MaskScreenState& m = g_MaskScreen;
    if (m.saveSurface != nullptr) IDirectDrawSurface7_Release(m.saveSurface);
    m.saveSurface = nullptr;
    if (m.saveIsMemImg) ReleaseMemImg(&m.saveMemImg);
    m.saveIsMemImg = 0;
}

void FreeBuffer() {
    if (g_MaskScreen.buffer != nullptr) ZqFree(g_MaskScreen.buffer);
    g_MaskScreen.buffer = nullptr;
}

// The rectangle of a draw as the bracket steps work on it: clipped to the draw area
// and to the mask, whose buffer and save area cover the screen only (a draw target may
// be a larger graph). False when nothing is left.
bool ClipToMask(int x1, int y1, int x2, int y2, RECT* rect) {
    *rect = RECT{x1, y1, x2, y2};
    ClipRectByRectCore(rect, &g_DrawState.clipRect);
    const RECT mask{0, 0, g_MaskScreen.width, g_MaskScreen.height};
    ClipRectByRectCore(rect, &mask);
    return rect->right > rect->left && rect->bottom > rect->top;
}

// Where the front buffer's pixel (0, 0) lies on its DirectDraw surface (the window's
// client area on the desktop, unless a front copy surface stands in for the primary);
// (0, 0) for every other target and on software screens.
POINT TargetSurfaceOffset() {
    if (g_DrawState.drawTarget != FrontBufferTarget || IsSoftwareScreen()) return POINT{0, 0};
    RECT screen{};
    GetScreenRectOnDesktop(&screen);
    return POINT{screen.left, screen.top};
}

RECT Moved(const RECT& r, POINT by) { return RECT{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y}; }

bool LockSaveSurface(RECT* rect, DWORD access, DDSURFACEDESC2* desc) {
    *desc = DDSURFACEDESC2{};
    desc->dwSize = sizeof *desc;
    return IDirectDrawSurface7_Lock(g_MaskScreen.saveSurface, rect, desc, DDLOCK_WAIT | access, nullptr) == DD_OK;
}

// Writes the key colour into every save-area pixel of the rectangle that the mask
// opens for the drawing's removal: mask byte non-zero, or zero with the reverse flag.
void MarkMaskedPixels(uint8_t* save, int savePitch, int bytesPerPixel, const RECT& r) {
    const MaskScreenState& m = g_MaskScreen;
    const uint8_t* mask = m.buffer + intptr_t(r.top) * m.pitch + r.left;
    const uint8_t keyWhenZero = m.reverse ? 1 : 0;
    const int width = r.right - r.left;
    for (int y = r.top; y < r.bottom; y++, mask += m.pitch, save += savePitch) {
        uint8_t* pixel = save;
        for (int x = 0; x < width; x++, pixel += bytesPerPixel) {
            if ((mask[x] == 0) == keyWhenZero) std::memcpy(pixel, &m.keyColor, size_t(bytesPerPixel));
        }
    }
}

}  // namespace

int CreateMaskScreen(int makeBuffer, int makeSaveArea) {
    MaskScreenState& m = g_MaskScreen;
    int width = 0, height = 0;
    GetScreenPixelSize(&width, &height);
    if (makeBuffer && m.buffer == nullptr) {
        const int pitch = (width + 3) / 4 * 4;
        m.buffer = static_cast<uint8_t*>(ZqAllocZero(size_t(pitch) * size_t(height)));
        if (m.buffer == nullptr) return WriteLogText("メモリの確保に失敗しました in CreateMaskScreen\n");
        m.pitch = pitch;
        m.width = width;
        m.height = height;
    }
    if (!makeSaveArea || m.saveSurface != nullptr || m.saveIsMemImg) return 0;

    if (!IsSoftwareScreen()) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = DWORD(width);
        desc.dwHeight = DWORD(height);
        desc.ddsCaps.dwCaps =
            DDSCAPS_OFFSCREENPLAIN | (IsSoftwareRenderMode() ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_3DDEVICE);
        IDirectDraw7* directDraw = GetDirectDrawObject();
        if (directDraw == nullptr || IDirectDraw7_CreateSurface(directDraw, &desc, &m.saveSurface, nullptr) != DD_OK) {
            FatalErrorExit("マスク用サーフェスの作成に失敗しました");
        }
        DDCOLORKEY key{m.keyColor, m.keyColor};
        IDirectDrawSurface7_SetColorKey(m.saveSurface, DDCKEY_SRCBLT, &key);
        DDSCAPS2 caps{};
        IDirectDrawSurface7_GetCaps(m.saveSurface, &caps);
        g_DrawState.maskSaveInVideoMemory = (caps.dwCaps & DDSCAPS_VIDEOMEMORY) ? 1 : 0;
        m.saveIsMemImg = 0;
    } else {
        if (CreateMemImgInScreenFormat(&m.saveMemImg, width, height, -1) < 0) {
            FatalErrorExit("マスク用 MEMIMG の作成に失敗しました");
        }
        m.saveIsMemImg = 1;
        g_DrawState.maskSaveInVideoMemory = 0;
    }
    m.width = width;
    m.height = height;
    return 0;
}

// A library that shuts down while its window is in the background does not wait for
// the window to be activated again.
int DeleteMaskScreen(void) {
    if (!SystemStateRecord.life.libraryEnding) WaitWhileInactive();
    if (g_DrawState.maskUse) EnableMaskScreen(0);
    ReleaseSaveArea();
    FreeBuffer();
    g_MaskScreen.created = 0;
    g_DrawState.maskActive = 0;
    return 0;
}

int ReleaseMaskScreenObjects(void) {
    FreeBuffer();
    ReleaseSaveArea();
    return 0;
}

int RecreateMaskScreenObjects(void) {
    const int created = g_MaskScreen.created;
    CreateMaskScreen(created, created);
    if (g_DrawState.maskUse) EnableMaskScreen(1);
    return 0;
}

int EnableMaskScreen(int flag) {
    MaskScreenState& m = g_MaskScreen;
    DrawState& d = g_DrawState;
    if (m.buffer == nullptr) return -1;
    d.maskUse = flag;
    d.maskActive = flag && m.created ? 1 : 0;
    // Straight onto the primary surface of a window the draw origin is the client
    // area; drawing into the screen-sized save area starts at (0, 0).
    if ((!m.created || flag == 0) && d.drawTarget == FrontBufferTarget && !CheckDrawOriginKept()) {
        GetWindowClientScreenRect(&d.drawOrigin);
    } else {
        d.drawOrigin = RECT{0, 0, d.targetWidth, d.targetHeight};
    }
    G_D3D_SwitchMaskScreenTarget(flag);
    SwitchMaskScreenTargetSoft(flag);
    return 0;
}

int IsMaskScreenEnabled(void) { return g_DrawState.maskUse; }
int IsMaskScreenCreated(void) { return g_MaskScreen.created; }
MEMIMG* GetMaskScreenMemImg(void) { return HasSaveImage() ? &g_MaskScreen.saveMemImg : nullptr; }
IDirectDrawSurface7* GetMaskScreenSurface(void) { return g_MaskScreen.saveSurface; }

int SaveMaskTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, const GraphImage* image) {
    MaskScreenState& m = g_MaskScreen;
    if (!HasSaveArea()) return 0;
    G_D3D_EndScene();
    RECT r;
    if (!ClipToMask(x1, y1, x2, y2, &r)) return 0;
    const int width = r.right - r.left, height = r.bottom - r.top;

    if (IsSoftwareScreen()) {
        if (image != nullptr) ConvertGraphImageToMemImg(image, nullptr, &m.saveMemImg, r.left, r.top, width, height, r.left, r.top, 0);
        return 0;
    }
    if (surface != nullptr) {
        RECT source = Moved(r, TargetSurfaceOffset());
        IDirectDrawSurface7_BltFast(m.saveSurface, DWORD(r.left), DWORD(r.top), surface, &source,
                                    DDBLTFAST_NOCOLORKEY | DDBLTFAST_WAIT);
        return 0;
    }
    DDSURFACEDESC2 desc;
    if (image == nullptr || !LockSaveSurface(&r, DDLOCK_WRITEONLY, &desc)) return 0;
    ConvertPixelsBetweenFormats(desc.lpSurface, desc.lPitch, GetScreenColorFormat(), image->pixels, image->pitch,
                                &image->format, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, DitherNone, 0, 0, 0);
    IDirectDrawSurface7_Unlock(m.saveSurface, &r);
    return 0;
}

int ApplyMaskToTargetArea(int x1, int y1, int x2, int y2, IDirectDrawSurface7* surface, GraphImage* image) {
    MaskScreenState& m = g_MaskScreen;
    if (!g_DrawState.maskActive || !HasSaveArea() || m.buffer == nullptr) return 0;
    G_D3D_EndScene();
    RECT r;
    if (!ClipToMask(x1, y1, x2, y2, &r)) return 0;
    // Only a target surface is addressed in desktop coordinates on the front buffer.
    const POINT offset = surface != nullptr ? TargetSurfaceOffset() : POINT{0, 0};
    const POINT dest{r.left + offset.x, r.top + offset.y};
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int colorBits = GetScreenColorBitDepth();
    const int bytesPerPixel = (colorBits != 0 ? colorBits : ScreenDefaultColorBits) / 8;

    if (IsSoftwareScreen()) {
        MarkMaskedPixels(MemImgPixelAddress(&m.saveMemImg, r.left, r.top), m.saveMemImg.pitch, bytesPerPixel, r);
        InvalidateMemImgDerivedData(&m.saveMemImg);
        if (image != nullptr) {
            ConvertMemImgToGraphImage(image, &m.saveMemImg, r.left, r.top, width, height, dest.x, dest.y, m.keyColor, 1);
        }
        return 0;
    }

    DDSURFACEDESC2 desc;
    if (!LockSaveSurface(&r, DDLOCK_WRITEONLY, &desc)) return 0;
    MarkMaskedPixels(static_cast<uint8_t*>(desc.lpSurface), desc.lPitch, bytesPerPixel, r);
    IDirectDrawSurface7_Unlock(m.saveSurface, &r);

    if (surface != nullptr) {
        IDirectDrawSurface7_BltFast(surface, DWORD(dest.x), DWORD(dest.y), m.saveSurface, &r,
                                    DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
        return 0;
    }
    if (image == nullptr) return 0;
    // A save surface in video memory is read through the system-memory work surface.
    IDirectDrawSurface7* readFrom = m.saveSurface;
    RECT readRect = r;
    if (g_DrawState.maskSaveInVideoMemory) {
        readFrom = GetSysMemWorkSurface();
        readRect = RECT{0, 0, width, height};
        if (readFrom == nullptr || CopySurfaceArea(readFrom, m.saveSurface, 0, 0, &r, CopyMethodFastest) < 0) return 0;
    }
    desc = DDSURFACEDESC2{};
    desc.dwSize = sizeof desc;
    if (IDirectDrawSurface7_Lock(readFrom, &readRect, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return 0;
    const RECT source{0, 0, width, height};
    ConvertPixelsBetweenFormats(image->pixels, image->pitch, &image->format, desc.lpSurface, desc.lPitch,
                                GetScreenColorFormat(), nullptr, 0, nullptr, dest.x, dest.y, &source, 0, 0,
                                m.keyColor, DitherNone, 0, 0, 1);
    IDirectDrawSurface7_Unlock(readFrom, &readRect);
    return 0;
}
