// surface2d_draw.cpp - drawing one 2D surface onto the current draw target (see
// surface2d.h): straight into software images under the software renderer, otherwise
// as a colour-keyed BltFast or by the software renderer on prepared surfaces.
#include "library/core/log.h"
#include "library/d3d/d3d.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/graph/draw_state.h"
#include "library/graph/mask_screen.h"
#include "library/softrender/blit.h"
#include "platform/ddraw/ddraw.h"

namespace {

int ColorBitsInForce() { return g_Screen.colorBits != 0 ? g_Screen.colorBits : ScreenDefaultColorBits; }

int DrawOnSoftwareTarget(int x, int y, const Surface2DRecord* piece, SurfaceDataRecord* data, int transparent,
                         const MEMIMG* blendImage) {
    if (!HasMemImgPixels(&data->image)) return -1;
    // Nothing of the piece inside the draw area: done before a view is made (parked
    // sprites far off the screen are drawn every frame).
    RECT drawn = SizedRect(x, y, piece->width, piece->height);
    ClipRectByRectCore(&drawn, &g_DrawState.clipRect);
    if (drawn.right <= drawn.left || drawn.bottom <= drawn.top) return 0;
    MEMIMG view;
    const MEMIMG* source = &data->image;
    if (piece->width != data->width || piece->height != data->height) {
        source = MakeMemImgView(&view, &data->image, piece->sourceX, piece->sourceY, piece->width, piece->height);
    }
    MEMIMG* dest = g_DrawState.maskActive ? GetMaskScreenMemImg() : g_Screen.drawTargetMemImg;
    if (dest != nullptr) DrawImageOnMemImg(dest, source, x, y, transparent, blendImage);
    return 0;
}

}  // namespace

int DrawSurface2D(int x, int y, int handle, int transparent) {
    if (!IsDisplayStarted()) return -1;
    const Surface2DRecord* piece = LookupSurface2D(handle);
    EndSurface2DAccess();
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    if (data == nullptr) return -1;
    const MEMIMG* blendImage = GetBlendGraphMemImg();

    if (IsSoftwareRenderMode() && ColorBitsInForce() != 8) {
        return DrawOnSoftwareTarget(x, y, piece, data, transparent, blendImage);
    }

    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    G_D3D_FlushVertexBatch();
    RECT dest = SizedRect(x, y, piece->width, piece->height);
    ClipRectByRectCore(&dest, &g_DrawState.clipRect);
    if (dest.right <= dest.left || dest.bottom <= dest.top) return 0;
    const RECT source{dest.left - x, dest.top - y, dest.right - x, dest.bottom - y};
    if (BeginScreenSurfaceDraw(piece, 1, &source, &dest, transparent ? 0 : 1, nullptr, nullptr) < 0) return -1;

    ScreenDrawContext& c = g_ScreenDrawContext;
    if (c.bltFastChosen) {
        const HRESULT result =
            IDirectDrawSurface7_BltFast(c.bltDestSurface, DWORD(c.bltDestRect.left), DWORD(c.bltDestRect.top),
                                        c.bltSourceSurface, &c.bltSourceRect,
                                        transparent ? DDBLTFAST_SRCCOLORKEY : DDBLTFAST_NOCOLORKEY);
        if (result != DD_OK) {
            return WriteLogFormat("２Ｄサーフェスの転送に失敗しました ErrorCode %x in DrawSurface2D", unsigned(result));
        }
        return 0;
    }
    DrawImageOnMemImg(c.destImage, c.sourceImage, x, y, transparent, blendImage);
    EndScreenSurfaceDraw();
    return 0;
}
