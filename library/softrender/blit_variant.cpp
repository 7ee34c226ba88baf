// blit_variant.cpp - the variant order of a draw and its per-draw constants.
#include "library/softrender/blit_variant.h"

#include <algorithm>

#include "library/display/screen_state.h"
#include "library/softrender/memimg.h"

namespace {

int BlendParameter() { return std::clamp(g_DrawState.blendParam, 0, 255); }

}  // namespace

bool ChooseBlitVariant(const MEMIMG* source, int transparent, bool blendImage, BlitWalk walk,
                       BlitVariant* variant) {
    BlitVariant v;
    // 1. Format of the pair and the source kind.
    if (source->formatKind == MemImgFormat16) v.format = BlitFormat16;
    else if (source->formatKind == MemImgFormat32) v.format = BlitFormat32;
    else return false;
    v.source = source->paletteFlag ? BlitSourcePalette : source->alphaFlag ? BlitSourceAlpha : BlitSourceDirect;

    // 2-3. Blend mode and its parameter checks.
    const int mode = g_DrawState.blendMode, p = BlendParameter();
    if (mode < BlendNone || mode > BlendMultiply) return false;
    v.mode = uint8_t(mode);
    if (mode == BlendAlpha && p == 255) v.mode = BlendNone;
    if ((mode == BlendAlpha || mode == BlendAdd || mode == BlendSubtract) && p == 0) return false;

    // 4-7. Blend image, brightness, source alpha (above), transparent flag.
    v.blend = blendImage;
    v.bright = (g_DrawState.brightness & 0xFFFFFF) != BrightnessNeutral;
    v.transparent = transparent != 0;

    // 8. Parameter specials of the walk, then the MMX flag.
    if (!v.blend && !v.bright && v.source != BlitSourceAlpha) {
        const bool mmx = v.format == BlitFormat32 && g_Screen.SoftRenderUseMMX;
        const BlitSpecial packed = mmx ? BlitSpecialPackedMMX : BlitSpecialPacked;
        if (walk == BlitWalkPlain) {
            if (v.mode == BlendAlpha)
                v.special = p == 128 ? BlitSpecialAverage : v.format == BlitFormat16 ? BlitSpecialLerp6 : BlitSpecialNone;
            else if ((v.mode == BlendAdd || v.mode == BlendSubtract) && p == 255)
                v.special = packed;
        } else if (walk == BlitWalkScaled && v.mode == BlendSubtract && p == 255) {
            v.special = packed;
        }
    }
    *variant = v;
    return true;
}

void SetupBlendConstants(const MEMIMG* source, const BlitVariant& variant, BlendConstants* k) {
    const int p = BlendParameter();
    k->p = p;
    k->mulP = BlendMulTable[p];
    k->signedMulP = &BlendSignedMulTable[p][255];
    k->lerp6 = &BlendLerp6Table[p >> 2][0][0];
    if (variant.bright) {
        const uint32_t brightness = g_DrawState.brightness;
        for (int c = 0; c < 3; c++) {
            k->brightness[c] = int(brightness >> (16 - 8 * c) & 0xFF);
            k->brightRow[c] = BlendMulTable[k->brightness[c]];
        }
    }
    k->weights = BlendGraphWeightTable;
    // The key at the width the transparency test compares.
    k->key = source->paletteFlag ? source->transparentValue & 0xFF
             : source->formatKind == MemImgFormat16 ? source->transparentValue & 0xFFFF
                                                    : source->transparentValue;
    k->palette = source->paletteA;
}

bool CanBlitBetween(const MEMIMG* dest, const MEMIMG* source) {
    auto setUp = [](const MEMIMG* image) {
        return image->validMark == MemImgValidMark && image->pixels != nullptr && image->colorFormat != nullptr;
    };
    return setUp(dest) && setUp(source) && dest->formatKind == source->formatKind && !dest->paletteFlag &&
           !dest->alphaFlag;
}

bool BlendImageCovers(const MEMIMG* blendImage, int right, int bottom) {
    if (blendImage == nullptr) return true;
    return blendImage->validMark == MemImgValidMark && blendImage->pixels != nullptr &&
           blendImage->formatKind == MemImgFormat8 && blendImage->width >= right && blendImage->height >= bottom;
}

void ClipToDrawArea(const MEMIMG* dest, RECT* rect) {
    const RECT& clip = g_DrawState.clipRect;
    rect->left = std::max({rect->left, clip.left, LONG(0)});
    rect->top = std::max({rect->top, clip.top, LONG(0)});
    rect->right = std::min({rect->right, clip.right, LONG(dest->width)});
    rect->bottom = std::min({rect->bottom, clip.bottom, LONG(dest->height)});
    // An empty intersection keeps its left and top edge.
    rect->right = std::max(rect->right, rect->left);
    rect->bottom = std::max(rect->bottom, rect->top);
}
