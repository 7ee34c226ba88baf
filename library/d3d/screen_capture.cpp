// screen_capture.cpp - copying a rectangle of the draw target into a graph's textures.
//
// Five interchangeable methods move the pixels in different ways (a blit, GDI, GDI
// through a temporary texture converted or loaded, or a system-memory work surface).
// The dispatcher remembers, separately for plain textures and textures with alpha,
// which method worked last, and otherwise tries them in the order 5, 1, 3, 2, 4.
#include <algorithm>

#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/pixel_converter.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_record.h"
#include "platform/kernel/clock.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/last_error.h"
#include "platform/window/window.h"

namespace {

using CaptureMethod = int (*)(int, int, int, int, GraphRecord*, int);
const CaptureMethod DrawScreenGraphMethodTable[] = {
    G_D3D_GetDrawScreenGraphFunction5, G_D3D_GetDrawScreenGraphFunction1, G_D3D_GetDrawScreenGraphFunction3,
    G_D3D_GetDrawScreenGraphFunction2, G_D3D_GetDrawScreenGraphFunction4, nullptr};

bool DesktopCase(int clientFlag) {
    return clientFlag == 0 && GetWindowedFlag() && GetDrawTargetHandle() == FrontBufferTarget;
}

// Where the pixels come from: the whole desktop, or the draw target offset by its origin.
struct CaptureSource {
    IDirectDrawSurface7* surface;
    int width, height;  // bounds
    int originX, originY;
};

bool PrepareSource(int x1, int y1, int x2, int y2, const GraphRecord* graph, int clientFlag, bool desktop,
                   CaptureSource* source) {
    if (desktop) {
        *source = CaptureSource{GetDrawTargetSurface(), GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                0, 0};
    } else {
        int w = 0, h = 0;
        GetGraphOrScreenSize(GetDrawTargetHandle(), &w, &h);
        *source = CaptureSource{GetDrawTargetSurface(), w, h, int(g_DrawState.drawOrigin.left),
                                int(g_DrawState.drawOrigin.top)};
    }
    (void)clientFlag;
    if (x1 < 0 || x1 >= x2 || y1 < 0 || y1 >= y2 || x1 > source->width || y1 > source->height) return false;
    return x2 - x1 <= graph->width && y2 - y1 <= graph->height && source->surface != nullptr;
}

// One tile's share: where it reads on the source and how much, cut to the bounds.
struct TileCopy {
    int handle;
    const Surface3DRecord* tile;
    const SurfaceDataRecord* texture;
    RECT from;  // on the source surface
    int width, height;
};

bool TileArea(const CaptureSource& src, int x1, int y1, int handle, TileCopy* copy) {
    copy->handle = handle;
    copy->tile = LookupSurface3DData(handle);
    if (copy->tile == nullptr) return false;
    copy->texture = GetSurfaceDataRecord(copy->tile->texture);
    const int left = x1 + copy->tile->graphX, top = y1 + copy->tile->graphY;
    copy->width = std::min<int>(copy->tile->width, src.width - left);
    copy->height = std::min<int>(copy->tile->height, src.height - top);
    copy->from = RECT{src.originX + left, src.originY + top, src.originX + left + copy->width,
                      src.originY + top + copy->height};
    return true;
}

// GDI's copy of one tile to its texture position. On failure *error is the platform's
// code, read at once: releasing the DC afterwards may leave another.
bool CopyTile(const TileCopy& c, HDC textureDc, HDC sourceDc, DWORD* error) {
    if (BitBlt(textureDc, c.tile->textureX, c.tile->textureY, c.width, c.height, sourceDc, c.from.left, c.from.top,
               SRCCOPY))
        return true;
    *error = GetLastError();
    return false;
}

bool Skipped(const TileCopy& c) { return c.width <= 0 || c.height <= 0 || c.texture == nullptr || !c.texture->surface; }

const ColorFormat* TextureFormatOf(const SurfaceDataRecord* texture) {
    return G_D3D_GetTextureColorFormatByIndex(texture->formatIndex);
}

IDirectDrawSurface7* CreateTemporaryTexture(const SurfaceDataRecord* texture, HRESULT* result) {
    const DDPIXELFORMAT* format = G_D3D_GetTexturePixelFormat(texture->formatIndex);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = texture->width;
    desc.dwHeight = texture->height;
    if (format != nullptr) desc.ddpfPixelFormat = *format;
    IDirectDrawSurface7* surface = nullptr;
    *result = format != nullptr ? IDirectDraw7_CreateSurface(GetDirectDrawObject(), &desc, &surface, nullptr)
                                : DDERR_INVALIDPIXELFORMAT;
    return *result == DD_OK ? surface : nullptr;
}

// Methods 3 and 4 draw each tile into a temporary texture through GDI; this does that
// part and leaves the finishing step (conversion or Load) to the method.
template <typename Finish>
int CaptureThroughTemporary(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag, const char* name,
                            Finish finish) {
    CaptureSource src;
    if (!PrepareSource(x1, y1, x2, y2, graph, clientFlag, DesktopCase(clientFlag), &src)) return -1;
    HDC sourceDc = nullptr;
    HRESULT hr = IDirectDrawSurface7_GetDC(src.surface, &sourceDc);
    if (hr != DD_OK) return WriteLogFormat("Error  %s 　ＤＣ取得に失敗しました  GetDC  ReturnValue:%d", name, hr);
    int result = 0;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity && result == 0; i++) {
        TileCopy c;
        if (!TileArea(src, x1, y1, graph->pieces[i], &c) || Skipped(c)) continue;
        IDirectDrawSurface7* temporary = CreateTemporaryTexture(c.texture, &hr);
        if (temporary == nullptr) {
            result = WriteLogFormat("Error  %s 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d",
                                    name, hr);
            break;
        }
        HDC dc = nullptr;
        hr = IDirectDrawSurface7_GetDC(temporary, &dc);
        if (hr != DD_OK) {
            result = WriteLogFormat("Error  %s 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d",
                                    name, hr);
        } else {
            DWORD copyError = ERROR_SUCCESS;
            const bool copied = CopyTile(c, dc, sourceDc, &copyError);
            hr = IDirectDrawSurface7_ReleaseDC(temporary, dc);
            if (!copied) {
                result = WriteLogFormat("Error  %s 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x",
                                        name, unsigned(copyError));
            } else if (hr != DD_OK) {
                result = WriteLogFormat("Error  %s 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d",
                                        name, hr);
            } else {
                result = finish(c, temporary, src, x1, y1);
                if (result == 0) SetSurfaceDataColorKey(c.tile->texture);
            }
        }
        IDirectDrawSurface7_Release(temporary);
    }
    IDirectDrawSurface7_ReleaseDC(src.surface, sourceDc);
    return result;
}

}  // namespace

int G_D3D_GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    if (g_D3D.direct3D == nullptr) return -1;
    if (g_D3D.softwareTarget) return 0;
    G_D3D_FlushVertexBatch();
    G_D3D_EndScene();
    const Surface3DRecord* first = graph->pieceCount > 0 ? LookupSurface3DData(graph->pieces[0]) : nullptr;
    const SurfaceDataRecord* data = first != nullptr ? GetSurfaceDataRecord(first->texture) : nullptr;
    if (data == nullptr) return -1;
    int& remembered = g_D3D.captureMethod[data->settings.alphaChannel || data->settings.alphaTest ? 1 : 0];
    if (remembered != -1 && DrawScreenGraphMethodTable[remembered](x1, y1, x2, y2, graph, clientFlag) == 0) return 0;
    int result = -1;
    remembered = -1;
    for (int i = 0; DrawScreenGraphMethodTable[i] != nullptr; i++) {
        result = DrawScreenGraphMethodTable[i](x1, y1, x2, y2, graph, clientFlag);
        if (result == 0) {
            remembered = i;
            break;
        }
    }
    return result;
}

int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    CaptureSource src;
    const bool desktop = DesktopCase(clientFlag) && IsDrawTargetPrimaryInWindow();
    if (!PrepareSource(x1, y1, x2, y2, graph, clientFlag, desktop, &src)) return -1;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity; i++) {
        TileCopy c;
        if (!TileArea(src, x1, y1, graph->pieces[i], &c)) return -1;
        if (Skipped(c)) continue;
        const HRESULT hr = IDirectDrawSurface7_BltFast(c.texture->surface, c.tile->textureX, c.tile->textureY,
                                                       src.surface, &c.from, 0);
        if (hr != DD_OK) return WriteLogFormat("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d", hr);
        SetSurfaceDataColorKey(c.tile->texture);
    }
    return 0;
}

int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    CaptureSource src;
    if (!PrepareSource(x1, y1, x2, y2, graph, clientFlag, DesktopCase(clientFlag), &src)) return -1;
    HDC sourceDc = nullptr;
    HRESULT hr = IDirectDrawSurface7_GetDC(src.surface, &sourceDc);
    if (hr != DD_OK) {
        return WriteLogFormat("Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:%d", hr);
    }
    int result = 0;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity && result == 0; i++) {
        TileCopy c;
        if (!TileArea(src, x1, y1, graph->pieces[i], &c)) {
            result = -1;
            break;
        }
        if (Skipped(c)) continue;
        HDC dc = nullptr;
        hr = IDirectDrawSurface7_GetDC(c.texture->surface, &dc);
        if (hr != DD_OK) {
            result = WriteLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:%d",
                hr);
            break;
        }
        DWORD copyError = ERROR_SUCCESS;
        const bool copied = CopyTile(c, dc, sourceDc, &copyError);
        hr = IDirectDrawSurface7_ReleaseDC(c.texture->surface, dc);
        if (!copied) {
            result = WriteLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x",
                unsigned(copyError));
        } else if (hr != DD_OK) {
            result = WriteLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC ReturnValue:%d",
                hr);
        } else {
            SetSurfaceDataColorKey(c.tile->texture);
        }
    }
    IDirectDrawSurface7_ReleaseDC(src.surface, sourceDc);
    return result;
}

int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    return CaptureThroughTemporary(
        x1, y1, x2, y2, graph, clientFlag, "G_D3D_GetDrawScreenGraphFunction3",
        [](const TileCopy& c, IDirectDrawSurface7* temporary, const CaptureSource&, int, int) {
            DDSURFACEDESC2 real{}, temp{};
            real.dwSize = temp.dwSize = sizeof real;
            HRESULT hr = IDirectDrawSurface7_Lock(c.texture->surface, nullptr, &real, DDLOCK_WAIT | DDLOCK_WRITEONLY,
                                                  nullptr);
            if (hr != DD_OK) {
                return WriteLogFormat(
                    "Error  G_D3D_GetDrawScreenGraphFunction3 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                    hr);
            }
            hr = IDirectDrawSurface7_Lock(temporary, nullptr, &temp, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
            if (hr != DD_OK) {
                IDirectDrawSurface7_Unlock(c.texture->surface, nullptr);
                return WriteLogFormat(
                    "Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                    hr);
            }
            const ColorFormat* format = TextureFormatOf(c.texture);
            const RECT whole{0, 0, c.texture->width, c.texture->height};
            ConvertPixelsBetweenFormats(real.lpSurface, real.lPitch, format, temp.lpSurface, temp.lPitch, format,
                                        nullptr, 0, nullptr, 0, 0, &whole, 0, format->alphaWidth != 0 ? 1 : 0,
                                        c.texture->colorKey, 0, 0, 0, 0);
            IDirectDrawSurface7_Unlock(temporary, nullptr);
            IDirectDrawSurface7_Unlock(c.texture->surface, nullptr);
            return 0;
        });
}

int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    return CaptureThroughTemporary(
        x1, y1, x2, y2, graph, clientFlag, "G_D3D_GetDrawScreenGraphFunction4",
        [](const TileCopy& c, IDirectDrawSurface7* temporary, const CaptureSource& src, int x1, int y1) {
            IDirect3DDevice7* device = static_cast<IDirect3DDevice7*>(G_D3D_GetDevice());
            POINT to{0, 0};
            RECT from{0, 0, c.texture->width, c.texture->height};
            HRESULT hr = DDERR_SURFACEBUSY;
            for (int attempt = 0; attempt < 10; attempt++) {
                hr = IDirect3DDevice7_Load(device, c.texture->surface, &to, temporary, &from, 0);
                if (hr != DDERR_SURFACEBUSY) break;
                IDirectDrawSurface7_Restore(c.texture->surface);
                Sleep(1);
            }
            if (hr == D3D_OK) return 0;
            int screenWidth = 0, screenHeight = 0;
            GetScreenPixelSize(&screenWidth, &screenHeight);
            WriteLogFormat("hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d", hr,
                           screenWidth, screenHeight, GetWindowedFlag() ? 0 : 1, int(to.x), int(to.y), int(from.top),
                           int(from.bottom), int(from.left), int(from.right));
            WriteLogFormat("AlphaCh:%d  AlphaTest:%d  ColorBitDepth:%d", c.texture->settings.alphaChannel,
                           c.texture->settings.alphaTest, c.texture->settings.colorBits);
            return WriteLogFormat("ScreenColor:%d  SizeX:%d  SizeY:%d  DrawPointX:%d  DrawPointY:%d  WndRect.left:%d  "
                                  "WndRect.top:%d  left:%d  top:%d",
                                  GetScreenColorBitDepth(), c.width, c.height, int(c.tile->graphX),
                                  int(c.tile->graphY), src.originX, src.originY, x1, y1);
        });
}

int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, GraphRecord* graph, int clientFlag) {
    if (DesktopCase(clientFlag)) return -1;
    CaptureSource src;
    if (!PrepareSource(x1, y1, x2, y2, graph, clientFlag, false, &src)) return -1;
    IDirectDrawSurface7* work = GetSysMemWorkSurface();
    if (work == nullptr) return -1;
    // Only the requested rectangle reaches the work surface, which must hold it.
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (IDirectDrawSurface7_GetSurfaceDesc(work, &desc) != DD_OK || DWORD(x2 - x1) > desc.dwWidth ||
        DWORD(y2 - y1) > desc.dwHeight)
        return -1;
    const int areaWidth = std::min(x2, src.width) - x1, areaHeight = std::min(y2, src.height) - y1;
    if (areaWidth <= 0 || areaHeight <= 0) return -1;
    const RECT requested{x1 + src.originX, y1 + src.originY, x1 + areaWidth + src.originX,
                         y1 + areaHeight + src.originY};
    CopySurfaceArea(work, src.surface, 0, 0, &requested, CopyMethodFastest);
    RECT workRect{0, 0, areaWidth, areaHeight};
    HRESULT hr = IDirectDrawSurface7_Lock(work, &workRect, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (hr != DD_OK) {
        return WriteLogFormat(
            "Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
            hr);
    }
    int result = 0;
    for (int i = 0; i < graph->pieceCount && i < GraphPieceCapacity; i++) {
        TileCopy c;
        if (!TileArea(src, x1, y1, graph->pieces[i], &c)) continue;
        // Beyond the requested rectangle the work surface holds nothing of the screen.
        c.width = std::min<int>(c.width, areaWidth - c.tile->graphX);
        c.height = std::min<int>(c.height, areaHeight - c.tile->graphY);
        if (Skipped(c)) continue;
        RECT tileRect{c.tile->textureX, c.tile->textureY, c.tile->textureX + c.width, c.tile->textureY + c.height};
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        hr = IDirectDrawSurface7_Lock(c.texture->surface, &tileRect, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
        if (hr != DD_OK) {
            result = WriteLogFormat(
                "Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                hr);
            break;
        }
        const ColorFormat* format = TextureFormatOf(c.texture);
        const RECT from{c.tile->graphX, c.tile->graphY, c.tile->graphX + c.width, c.tile->graphY + c.height};
        ConvertPixelsBetweenFormats(locked.lpSurface, locked.lPitch, format, desc.lpSurface, desc.lPitch,
                                    GetScreenColorFormat(), nullptr, 0, nullptr, 0, 0, &from, 0,
                                    format->alphaWidth != 0 ? 1 : 0, c.texture->colorKey, 0, 0, 0, 0);
        IDirectDrawSurface7_Unlock(c.texture->surface, &tileRect);
        SetSurfaceDataColorKey(c.tile->texture);
    }
    IDirectDrawSurface7_Unlock(work, &workRect);
    return result;
}
