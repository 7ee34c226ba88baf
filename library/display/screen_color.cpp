// screen_color.cpp - turning an RGB colour into a pixel value of the screen and back.
//
// On an 8-bit screen a colour is the index of the nearest screen palette entry.
// Otherwise the value is laid out by the screen's format, or, under the software
// renderer, by the software screen images' format (16-bit when 16 bits were asked
// for, else 32-bit).
#include "library/display/color_format.h"
#include "library/display/screen_state.h"
#include "library/softrender/memimg_formats.h"

namespace {

int ColorBitsInForce() {
    return g_Screen.colorBits != 0 ? g_Screen.colorBits : ScreenDefaultColorBits;
}

const ColorFormat* SoftwareScreenFormat() {
    int kind = GetScreenColorBitDepth() == 16 ? MemImgFormat16 : MemImgFormat32;
    return LookupMemImgColorFormat(kind, 0, 0);
}

int NearestPaletteIndex(int r, int g, int b) {
    int best = 0;
    int bestDistance = 0xFFFFFF;
    for (int i = 0; i < 256; i++) {
        const ScreenPaletteEntry& entry = g_Screen.paletteEntries[i];
        int dr = entry.red - r, dg = entry.green - g, db = entry.blue - b;
        int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {  // strictly nearer: the lowest index wins a tie
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

}  // namespace

int RgbToScreenPixel(int r, int g, int b) {
    if (ColorBitsInForce() == 8) return NearestPaletteIndex(r, g, b);
    const ColorFormat* format = IsSoftwareRenderMode() ? SoftwareScreenFormat() : &g_Screen.colorFormat;
    return static_cast<int>(EncodePixelRgb(format, r, g, b));
}

int ScreenPixelToRgb(uint32_t value, int* r, int* g, int* b) {
    if (ColorBitsInForce() == 8) {
        if (value > 255) return -1;
        const ScreenPaletteEntry& entry = g_Screen.paletteEntries[value];
        if (r) *r = entry.red;
        if (g) *g = entry.green;
        if (b) *b = entry.blue;
        return 0;
    }
    const ColorFormat* format = IsSoftwareRenderMode() && ColorBitsInForce() != GetScreenColorBitDepth()
                                    ? SoftwareScreenFormat()
                                    : &g_Screen.colorFormat;
    return DecodePixelRgba(format, value, r, g, b, nullptr);
}
