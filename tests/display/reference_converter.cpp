// reference_converter.cpp - the converter's behaviour written out one pixel at a time.
#include "reference_converter.h"

namespace {

const uint32_t kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

uint32_t ReadAt(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

void WriteAt(uint8_t* p, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; i++) p[i] = uint8_t(v >> (8 * i));
}

uint32_t WidthMask(int bytes) { return bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1; }

bool Is(const ColorFormat* f, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return f->bitsPerPixel == bits && f->redMask == r && f->greenMask == g && f->blueMask == b &&
           f->alphaMask == a;
}
bool IsRgb565(const ColorFormat* f) { return Is(f, 16, 0xF800, 0x7E0, 0x1F, 0); }
bool IsX555(const ColorFormat* f) { return Is(f, 16, 0x7C00, 0x3E0, 0x1F, 0); }
bool IsA555(const ColorFormat* f) { return Is(f, 16, 0x7C00, 0x3E0, 0x1F, 0x8000); }
bool IsX888(const ColorFormat* f) { return Is(f, 32, 0xFF0000, 0xFF00, 0xFF, 0); }
bool IsA888(const ColorFormat* f) { return Is(f, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u); }
bool Is32Any(const ColorFormat* f) {
    return f->bitsPerPixel == 32 && f->redMask == 0xFF0000 && f->greenMask == 0xFF00 &&
           f->blueMask == 0xFF;
}
bool IsRgb24(const ColorFormat* f) { return Is(f, 24, 0xFF0000, 0xFF00, 0xFF, 0); }
bool IsPal8(const ColorFormat* f) {
    return f->bitsPerPixel == 8 && f->redMask == 0xFF0000 && f->greenMask == 0xFF00 &&
           f->blueMask == 0xFF;
}

// The fast-path table: the formula of the first matching row, or false.
bool FastFormula(const ColorFormat* s, const ColorFormat* d, int keyToAlpha, uint32_t key,
                 uint32_t raw, uint32_t* out) {
    uint32_t key555 = ((key >> 16 & 0xFF) >> 3) << 10 | ((key >> 8 & 0xFF) >> 3) << 5 | (key & 0xFF) >> 3;
    if (IsPal8(s)) {
        uint32_t p = s->palette[raw];
        uint32_t q555 = (p >> 9 & 0x7C00) | (p >> 6 & 0x03E0) | (p >> 3 & 0x001F);
        if (!keyToAlpha && IsRgb565(d)) return *out = (p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x1F), true;
        if (!keyToAlpha && IsX555(d)) return *out = q555 | 0x8000, true;
        if (!keyToAlpha && IsX888(d)) return *out = p | 0xFF000000u, true;
        if (keyToAlpha && IsA555(d)) return *out = p != key ? q555 | 0x8000 : q555, true;
        if (keyToAlpha && IsA888(d)) return *out = p != key ? p | 0xFF000000u : p, true;
        return false;
    }
    if (IsRgb24(s)) {
        uint32_t b0 = raw & 0xFF, b1 = raw >> 8 & 0xFF, b2 = raw >> 16;
        uint32_t q555 = (b2 >> 3) << 10 | (b1 >> 3) << 5 | b0 >> 3;
        if (!keyToAlpha && IsRgb565(d)) return *out = (b2 >> 3) << 11 | (b1 >> 2) << 5 | b0 >> 3, true;
        if (!keyToAlpha && IsX555(d)) return *out = q555 | 0x8000, true;
        if (!keyToAlpha && Is32Any(d)) return *out = raw | 0xFF000000u, true;
        if (keyToAlpha && IsA555(d)) return *out = q555 != key555 ? q555 | 0x8000 : q555, true;
        if (keyToAlpha && IsA888(d)) return *out = raw != key ? raw | 0xFF000000u : raw, true;
        return false;
    }
    if (IsX888(s)) {
        if (!keyToAlpha && IsRgb565(d))
            return *out = (raw & 0xF80000) >> 8 | (raw & 0xFC00) >> 5 | (raw & 0xF8) >> 3, true;
        return false;
    }
    if (IsRgb565(s)) {
        uint32_t q = (raw & 0xFFC0) >> 1 | (raw & 0x1F);
        uint32_t v888 = (raw & 0xF800) << 8 | (raw & 0x07E0) << 5 | (raw & 0x1F) << 3;
        if (keyToAlpha && IsA555(d)) return *out = q != key555 ? q | 0x8000 : q, true;
        if (!keyToAlpha && IsRgb24(d)) return *out = v888, true;
        if (!keyToAlpha && IsX888(d)) return *out = v888, true;
        if (!keyToAlpha && IsX555(d)) return *out = q, true;
        return false;
    }
    if (IsX555(s)) {
        if (!keyToAlpha && IsRgb565(d)) return *out = (raw & 0x7FE0) << 1 | (raw & 0x3F), true;
        return false;
    }
    return false;
}

uint64_t Pow2(int n) { return uint64_t{1} << n; }

uint64_t RescaleValue(uint64_t v, int ws, int wd) {
    int d = ws - wd;
    if (d > 0) return v >> d;
    if (d < 0) {
        if (ws == 0) return 0;
        int k = -d;
        return (v << k) + v * (Pow2(k) - 1) / (Pow2(ws) - 1);
    }
    return v;
}

}  // namespace

int ReferenceConvertPixels(void* destPixels, int destPitch, const ColorFormat* D,
                           const void* srcPixels, int srcPitch, const ColorFormat* S,
                           const void* alphaPixels, int alphaPitch, const ColorFormat* P,
                           int destX, int destY, const RECT* rect, int mirror, int keyToAlpha,
                           uint32_t key, int ditherMode, int colorZero, int alphaFromRed,
                           int skipKey) {
    ColorFormat zero{};
    if (P == nullptr) P = &zero;
    auto* dst = static_cast<uint8_t*>(destPixels);
    auto* src = static_cast<const uint8_t*>(srcPixels);
    auto* pln = static_cast<const uint8_t*>(alphaPixels);

    bool dA = D->alphaWidth != 0, sA = S->alphaWidth != 0, plane = alphaPixels != nullptr;
    bool transfer = dA && (plane || sA);
    bool fromPlane = dA && plane && !sA;
    if (transfer || !dA || alphaFromRed) keyToAlpha = 0;
    if (transfer || mirror) skipKey = 0;
    int w = rect->right - rect->left, h = rect->bottom - rect->top;
    if (w <= 0 || h <= 0) return -1;

    int sb = S->bytesPerPixel, db = D->bytesPerPixel, pb = P->bytesPerPixel;
    auto srcAt = [&](int x, int y) { return src + (rect->top + y) * srcPitch + (rect->left + x) * sb; };
    auto planeAt = [&](int x, int y) { return pln + (rect->top + y) * alphaPitch + (rect->left + x) * pb; };
    auto destAt = [&](int x, int y) {
        int column = mirror ? w - 1 - x : x;
        return dst + (destY + y) * destPitch + (destX + column) * db;
    };

    // 8-bit copy.
    if (D->bitsPerPixel == 8 && !colorZero && !skipKey) {
        if (S->bitsPerPixel != 8) return -1;
        int highest = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint8_t v = *srcAt(x, y);
                *destAt(x, y) = v;
                if (v > highest) highest = v;
            }
        return highest;
    }
    // Same-format copy.
    if (!keyToAlpha && !fromPlane && !colorZero && !alphaFromRed &&
        Is(D, S->bitsPerPixel, S->redMask, S->greenMask, S->blueMask, S->alphaMask)) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t v = ReadAt(srcAt(x, y), sb);
                if (skipKey && v == (key & WidthMask(sb))) continue;
                WriteAt(destAt(x, y), db, v);
            }
        return 0;
    }
    // Key-to-alpha copy.
    if (!skipKey && dA && keyToAlpha && !colorZero && !alphaFromRed &&
        Is(D, S->bitsPerPixel, S->redMask, S->greenMask, S->blueMask, D->alphaMask)) {
        uint32_t colour = D->redMask | D->greenMask | D->blueMask;
        uint32_t keyPixel = EncodePixelRgba(D, key >> 16 & 0xFF, key >> 8 & 0xFF, key & 0xFF, 255);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                uint32_t v = ReadAt(srcAt(x, y), sb) | (WidthMask(sb) & ~colour);
                if ((v & colour) == (keyPixel & colour)) v &= ~D->alphaMask;
                else v |= D->alphaMask;
                WriteAt(destAt(x, y), db, v);
            }
        return 0;
    }
    // Fast paths.
    if (!skipKey && ditherMode == 0 && !colorZero && !alphaFromRed && !mirror && !plane) {
        uint32_t probe;
        if (FastFormula(S, D, keyToAlpha, key, 0, &probe)) {
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    uint32_t out = 0;
                    FastFormula(S, D, keyToAlpha, key, ReadAt(srcAt(x, y), sb), &out);
                    WriteAt(destAt(x, y), db, out);
                }
            return 0;
        }
    }

    // General path. Channel order: red, green, blue, alpha.
    const uint32_t sMask[3] = {S->redMask, S->greenMask, S->blueMask};
    const int sShift[3] = {S->redShift, S->greenShift, S->blueShift};
    const int sWidth[3] = {S->redWidth, S->greenWidth, S->blueWidth};
    const uint32_t dMask[4] = {D->redMask, D->greenMask, D->blueMask, D->alphaMask};
    const int dShift[4] = {D->redShift, D->greenShift, D->blueShift, D->alphaShift};
    const int dWidth[4] = {D->redWidth, D->greenWidth, D->blueWidth, D->alphaWidth};
    // Where the alpha comes from: 0 plane, 1 source, 2 destination's full value, 3 zero.
    int alphaFrom = fromPlane ? 0 : !sA ? 2 : !dA ? 3 : 1;
    int alphaSrcWidth = alphaFrom == 0 ? P->redWidth : alphaFrom == 1 ? S->alphaWidth : dWidth[3];
    int alphaSrcShift = alphaFrom == 0 ? P->redShift : alphaFrom == 1 ? S->alphaShift : 0;
    bool differ = sWidth[0] != dWidth[0] || sWidth[1] != dWidth[1] || sWidth[2] != dWidth[2] ||
                  ((alphaFrom == 0 || alphaFrom == 1) && alphaSrcWidth != dWidth[3]);
    uint64_t carry[4] = {0, 0, 0, 0};

    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            uint32_t raw = ReadAt(srcAt(x, y), sb);
            if (skipKey) {
                uint32_t k = keyToAlpha ? key : key & WidthMask(sb);
                if (raw == k) continue;
            }
            uint32_t p = S->bitsPerPixel == 8 ? S->palette[raw] : raw;
            uint32_t ap = 0;
            if (fromPlane) {
                ap = ReadAt(planeAt(x, y), pb);
                if (P->bitsPerPixel == 8) ap = P->palette[ap];
            }
            uint64_t v[4];
            for (int c = 0; c < 3; c++) v[c] = (p & sMask[c]) >> sShift[c];
            if (alphaFrom == 0) v[3] = (ap & P->redMask) >> P->redShift;
            else if (alphaFrom == 2) v[3] = D->alphaMask >> D->alphaShift;
            else if (alphaFrom == 3) v[3] = 0;
            else v[3] = (p & S->alphaMask) >> S->alphaShift;

            int ws[4] = {sWidth[0], sWidth[1], sWidth[2], alphaSrcWidth};
            if (alphaFrom >= 2) ws[3] = dWidth[3];
            if (differ)
                for (int c = 0; c < 4; c++) v[c] = RescaleValue(v[c], ws[c], dWidth[c]);
            if (alphaFromRed) v[3] = v[0];
            if (colorZero) v[0] = v[1] = v[2] = 0;

            uint32_t packed = 0;
            for (int c = 0; c < 4; c++) packed |= uint32_t(v[c]) << dShift[c];

            if (differ) {
                uint32_t all = dMask[0] | dMask[1] | dMask[2] | dMask[3];
                uint32_t rebuilt = packed & ~all;
                for (int c = 0; c < 4; c++) {
                    uint64_t field = packed & dMask[c];
                    int d = ws[c] - dWidth[c];
                    if (d > 0) {
                        uint32_t pixelForChannel = (c == 3 && alphaFrom == 0) ? ap : p;
                        int shift = c < 3 ? sShift[c] : alphaSrcShift;
                        uint64_t low = (Pow2(d) - 1) << shift;
                        uint64_t dropped = pixelForChannel & low;
                        if (ditherMode == 1) {
                            uint64_t threshold = ((kMatrix[y & 3][x & 3] * Pow2(d)) >> 4) << shift;
                            if (threshold < dropped) field += Pow2(dShift[c]);
                        } else if (ditherMode == 2) {
                            carry[c] += dropped;
                            if (carry[c] > low) field += Pow2(dShift[c]);
                            carry[c] &= low;
                        }
                    }
                    if (field > dMask[c]) field = dMask[c];
                    rebuilt |= uint32_t(field);
                }
                packed = rebuilt;
            }
            if (keyToAlpha) {
                uint32_t keyPixel = EncodePixelRgba(D, key >> 16 & 0xFF, key >> 8 & 0xFF, key & 0xFF, 255);
                bool same = true;
                for (int c = 0; c < 3; c++) same = same && (packed & dMask[c]) == (keyPixel & dMask[c]);
                packed = same ? packed & ~D->alphaMask : packed | D->alphaMask;
            }
            if (db == 2 || db == 4) packed |= D->unusedMask;
            WriteAt(destAt(x, y), db, packed);
        }
    }
    return 0;
}
