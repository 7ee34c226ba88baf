// Strings: the drawing front end and the software draw side. See text_draw.h.
#include "library/graph/text_draw.h"

#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/d3d/d3d.h"
#include "library/display/front_image.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/font/font.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_seams.h"
#include "library/softrender/memimg.h"
#include "library/softrender/soft_target.h"

int DrawTextAtCore(int x, int y, const char* text, int color, int edgeColor) {
    ApplyDefaultFontSettings();
    return DrawTextWithFontHandle(x, y, text, uint32_t(color), FetchDefaultFontHandle(), uint32_t(edgeColor), 0);
}

int DrawTextWithFontHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                           int vertical) {
    const DrawState& s = g_DrawState;
    if (text == nullptr || text[0] == '\0' || s.suspended || s.emptyArea) return 0;
    if (!IsLiveFontHandle(font)) return WriteLogText("フォントハンドル値が異常です\n");
    WaitWhileInactive();
    if (s.useHardware3D && IsHardware3DDrawUsable()) {
        return G_D3D_DrawTextWithFontHandle(x, y, text, color, font, edgeColor, vertical);
    }

    // On the front screen of a software screen the window's pixels are read back first
    // when stale, and the string's line is shown at once.
    const bool frontImage = IsSoftwareScreen() && s.drawTarget == -4;
    if (frontImage && x >= s.clipRect.right) return 0;
    if (frontImage && g_Screen.frontImageStale == 1) CaptureScreenToFrontImage();
    const int result = DrawTextSoft(x, y, text, color, font, edgeColor, vertical);
    if (frontImage) {
        const RECT area = {x, y, s.clipRect.right, y + GetFontHandleSize(font) + 3};
        PresentFrontImageRect(&area);
    }
    return result;
}

// Blended route: the string goes into the font's draw screen (cleared to its
// transparent value over the string's size), which is then drawn like a graph, so the
// blend mode and the grey levels' alpha apply. Brightness is applied to the text
// colours, not again to the draw screen.
static int DrawTextThroughDrawScreen(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                                     int vertical, const int size[2]) {
    if (PrepareFontCacheGraphs(font) < 0) return -1;
    const FontRecord* record = GetFontRecord(font);
    const Surface2DRecord* piece = LookupSurface2D(record->drawScreen);
    SurfaceDataRecord* data = piece != nullptr ? GetSurfaceDataRecord(piece->surfaceData) : nullptr;
    if (data == nullptr) return -1;
    MEMIMG* image = &data->image;

    DrawState& s = g_DrawState;
    const RECT keptClip = s.clipRect;
    const uint32_t keptBrightness = s.brightness;
    int screenWidth = 0, screenHeight = 0;
    GetScreenPixelSize(&screenWidth, &screenHeight);
    RECT textArea = {0, 0, size[0], size[1]};
    const RECT screen = {0, 0, screenWidth, screenHeight};
    ClipRectByRectCore(&textArea, &screen);

    uint32_t clearValue = 0;
    if (!image->alphaFlag) {
        const uint32_t body = FontTextPixelValue(image, color), edge = FontTextPixelValue(image, edgeColor);
        clearValue = image->transparentValue;
        while (clearValue == body || clearValue == edge) clearValue++;
    }
    image->transparentValue = clearValue;
    FillMemImgRectRaw(image, &textArea, clearValue);

    int result = -1;
    if (DrawOrMeasureTextWithFont(1, 0, 0, 0, 1.0, 1.0, text, color, image, &textArea, 1, font, edgeColor, -1,
                                  vertical, nullptr) >= 0) {
        s.brightness = BrightnessNeutral;
        RECT target = {x, y, x + size[0], y + size[1]};
        ClipRectByRectCore(&target, &keptClip);
        s.clipRect = target;
        DrawSurface2D(x, y, record->drawScreen, 1);
        result = 0;
    }
    s.clipRect = keptClip;
    s.brightness = keptBrightness;
    return result;
}

int DrawTextSoft(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical) {
    if (!CanDrawSoft()) return -1;
    const FontRecord* record = GetFontRecord(font);
    if (record == nullptr) return -1;
    if (record->textureCache) return G_D3D_DrawTextWithFontHandle(x, y, text, color, font, edgeColor, vertical);

    int size[2] = {0, 0};
    if (DrawOrMeasureTextWithFont(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 1, font, 0, -1, vertical, size) < 0) {
        return -1;
    }
    const DrawState& s = g_DrawState;
    const bool grey = (record->typeFlags & FontTypeGreyLevels) != 0;
    if (GetScreenColorBitDepth() != 8 && (s.blendMode != BlendNone || grey) &&
        !(!grey && s.blendMode == BlendAlpha && s.blendParam == 255)) {
        return DrawTextThroughDrawScreen(x, y, text, color, font, edgeColor, vertical, size);
    }

    if (IsSoftwareScreen()) {
        return DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, text, color, CurrentSoftTarget(), &s.clipRect, 1, font,
                                         edgeColor, -1, vertical, nullptr) < 0
                   ? -1
                   : 0;
    }

    // DirectDraw: the string's rectangle of the target is locked (or copied into a work
    // image in the renderer's format); the font encodes the colours for that image.
    if (g_Screen.graphicsStarted) G_D3D_EndScene();
    G_D3D_FlushVertexBatch();
    const RECT area = {x, y, x + size[0], y + size[1]};
    if (BeginScreenSurfaceDraw(nullptr, 0, nullptr, &area, 1, nullptr, nullptr) < 0) return -1;
    DrawOrMeasureTextWithFont(1, x, y, 0, 1.0, 1.0, text, color, g_ScreenDrawContext.destImage, &s.clipRect, 1, font,
                              edgeColor, -1, vertical, nullptr);
    EndScreenSurfaceDraw();
    return 0;
}
