// blit_reference.cpp - the slow model of the blitters (see blit_reference.h).
#include "blit_reference.h"

#include <algorithm>
#include <cstring>

#include "library/display/blend_tables.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"

namespace {

enum Walk { PlainWalk, RunWalk, ScaledWalk };

// Per-pixel channel access: (shift, width) of red, green, blue.
struct Channel {
    int shift, width;
};
const Channel kChannels16[3] = {{11, 5}, {5, 6}, {0, 5}};
const Channel kChannels32[3] = {{16, 8}, {8, 8}, {0, 8}};

uint32_t Get(uint32_t v, Channel c) { return v >> c.shift & ((1u << c.width) - 1); }

struct Draw {
    bool is16;
    int source;  // 0 direct, 1 alpha, 2 palette
    int mode;    // after "alpha with 255 is none"
    bool blend, bright, transparent;
    int p;
    uint32_t brightness;
    bool mmx;
    Walk walk;
};

// The 1:1 rows' and the scaled blitter's parameter specials, step 8 of the order.
bool PlainSpecials(const Draw& d) { return !d.blend && !d.bright && d.source != 1; }

uint32_t Lerp(uint32_t d, uint32_t x, int64_t k, int n, const Channel* ch, bool is16) {
    uint32_t out = is16 ? 0 : (d & 0xFF000000);
    for (int c = 0; c < 3; c++) {
        const int64_t dc = Get(d, ch[c]), xc = Get(x, ch[c]);
        const int64_t v = (dc * (int64_t(1) << n) + (xc - dc) * k);
        // floor division by 2^n
        const int64_t q = v >= 0 ? v >> n : -((-v + (int64_t(1) << n) - 1) >> n);
        out |= uint32_t(q) << ch[c].shift;
    }
    return out;
}

// Channels computed per channel: a 32-bit destination keeps its byte 3.
uint32_t Channels(uint32_t d, uint32_t x, bool is16) { return is16 ? x : (d & 0xFF000000) | x; }

// Packed formulas as the kernel table writes them.
uint32_t Add565(uint32_t s, uint32_t d) {
    uint32_t x = (s & 0xF7DEF7DF) + (d & 0xF7DEF7DF), c = x & 0x08210820;
    return ((c - (c >> 5)) | x) & 0xFFFF;
}
uint32_t Add565Pair(uint32_t s, uint32_t d) {
    uint64_t sum = uint64_t(s & 0xF7DEF7DF) + uint64_t(d & 0xF7DEF7DF);
    uint32_t x = uint32_t(sum), k = uint32_t(sum >> 32), c = x & 0x08210820;
    return (c - ((c >> 5) | (k << 27))) | x;
}
uint32_t Sub565(uint32_t d, uint32_t s) {
    uint32_t x = (d | 0x08210820) - (s & 0xF7DEF7DF), b = x & 0x08210820;
    return (x & (b - (b >> 5))) & 0xFFFF;
}
uint32_t Sub565Pair(uint32_t d, uint32_t s) {
    uint64_t a = d | 0x08210820, b64 = s & 0xF7DEF7DF;
    uint32_t x = uint32_t(a - b64), b = x & 0x08210820;
    uint32_t mask = b - (b >> 5);
    if (a >= b64) mask |= 0xF8000000;
    return x & mask;
}
uint32_t Add8888(uint32_t s, uint32_t d) {
    uint32_t x = (s & 0xFEFEFF) + (d & 0xFEFEFF), c = x & 0x1010100;
    return (c - (c >> 8)) | x;
}
uint32_t Sub8888(uint32_t d, uint32_t s) {
    uint32_t x = (d | 0x1010100) - (s & 0xFEFEFF), b = x & 0x1010100;
    return x & (b - (b >> 8));
}
uint32_t SaturateBytes(uint32_t d, uint32_t s, bool add) {
    uint32_t out = 0;
    for (int i = 0; i < 4; i++) {
        int v = int(d >> (8 * i) & 255) + (add ? 1 : -1) * int(s >> (8 * i) & 255);
        out |= uint32_t(std::clamp(v, 0, 255)) << (8 * i);
    }
    return out;
}

// s' per channel.
uint32_t Brighten(const Draw& d, uint32_t s) {
    if (!d.bright) return s;
    const Channel* ch = d.is16 ? kChannels16 : kChannels32;
    uint32_t out = 0;
    for (int c = 0; c < 3; c++) {
        const uint32_t b = d.brightness >> (16 - 8 * c) & 255;
        out |= uint32_t(BlendMulTable[b][Get(s, ch[c])]) << ch[c].shift;
    }
    return out;
}

// The kernel table, row by row; returns false when the pixel is left alone.
bool Kernel(const Draw& dr, uint32_t s, uint32_t a, uint32_t W, uint32_t d, uint32_t raw, uint32_t key,
            uint32_t* out) {
    const Channel* ch = dr.is16 ? kChannels16 : kChannels32;
    const bool alphaSrc = dr.source == 1;
    // Transparency tests.
    if (dr.transparent) {
        if (alphaSrc) {
            if (dr.mode != BlendMultiply && a == 0) return false;
        } else if (raw == key) {
            return false;
        }
    }
    const uint32_t sp = Brighten(dr, s);
    const uint32_t whole = dr.is16 ? (s & 0xFFFF) : s;
    const bool specials = dr.walk != RunWalk && PlainSpecials(dr);
    const int p = dr.p;

    switch (dr.mode) {
        case BlendNone:
            if (!dr.blend) {
                if (!alphaSrc) *out = dr.bright ? Channels(d, sp, dr.is16) : whole;
                else if (dr.transparent)
                    *out = a == 255 ? (dr.bright ? Channels(d, sp, dr.is16) : whole) : Lerp(d, sp, a, 8, ch, dr.is16);
                else
                    *out = dr.bright ? Lerp(d, sp, a, 8, ch, dr.is16) : whole;
            } else {
                if (!alphaSrc) *out = Lerp(d, sp, W, 8, ch, dr.is16);
                else if (dr.transparent && a == 255) *out = Lerp(d, sp, W, 8, ch, dr.is16);
                else *out = Lerp(d, sp, int64_t(W) * a, 16, ch, dr.is16);
            }
            return true;
        case BlendAlpha: {
            auto byParameter = [&](uint32_t x) {
                if (!dr.is16) return Lerp(d, x, p, 8, ch, false);
                uint32_t r = 0;
                for (int c = 0; c < 3; c++) {
                    const int dc = int(Get(d, ch[c])), xc = int(Get(x, ch[c]));
                    r |= uint32_t(dc + BlendSignedMulTable[p][xc - dc + 255]) << ch[c].shift;
                }
                return r;
            };
            if (dr.blend) {
                *out = alphaSrc && a != 255 ? Lerp(d, sp, int64_t(W) * a * p, 24, ch, dr.is16)
                                            : Lerp(d, sp, int64_t(W) * p, 16, ch, dr.is16);
            } else if (alphaSrc) {
                *out = dr.transparent && a == 255 ? byParameter(sp) : Lerp(d, sp, int64_t(a) * p, 16, ch, dr.is16);
            } else if (dr.walk == PlainWalk && specials && p == 128) {
                *out = dr.is16 ? (((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF))
                               : (((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F));
            } else if (dr.walk == PlainWalk && specials && dr.is16) {
                uint32_t r = 0;
                for (int c = 0; c < 3; c++)
                    r |= uint32_t(BlendLerp6Table[p >> 2][Get(s, ch[c])][Get(d, ch[c])]) << ch[c].shift;
                *out = r;
            } else {
                *out = byParameter(sp);
            }
            return true;
        }
        case BlendAdd:
        case BlendSubtract: {
            const bool add = dr.mode == BlendAdd;
            const bool packedSpecial = specials && p == 255 && (add ? dr.walk == PlainWalk : dr.walk != RunWalk);
            if (packedSpecial) {
                if (dr.is16) *out = add ? Add565(s, d) : Sub565(d, s);
                else if (dr.mmx) *out = SaturateBytes(d, s, add);
                else *out = add ? Add8888(s, d) : Sub8888(d, s);
                return true;
            }
            uint32_t t = 0;
            for (int c = 0; c < 3; c++) {
                uint32_t x = Get(sp, ch[c]);
                if (dr.blend && alphaSrc && a != 255) x = x * W * a >> 16;
                else if (dr.blend) x = x * W >> 8;
                else if (alphaSrc) x = x * a >> 8;
                t |= uint32_t(BlendMulTable[p][x]) << ch[c].shift;
            }
            if (dr.is16) *out = add ? (Add565(t, d) | ((d | t) & 0x0820)) : Sub565(d, t);
            else *out = add ? Add8888(t, d) : Sub8888(d, t);
            return true;
        }
        case BlendMultiply: {
            uint64_t factor = 1;
            int extra = 0;
            if (dr.blend) {
                factor = W;
                extra = 8;
                if (alphaSrc && a != 255) factor *= a, extra = 16;
            } else if (alphaSrc && !(dr.transparent && a == 255)) {
                factor = a;
                extra = 8;
            }
            uint32_t r = dr.is16 ? 0 : (d & 0xFF000000);
            for (int c = 0; c < 3; c++)
                r |= uint32_t(uint64_t(Get(sp, ch[c])) * factor * Get(d, ch[c]) >> (ch[c].width + extra)) << ch[c].shift;
            *out = r;
            return true;
        }
    }
    return false;
}

struct Pixel {
    uint32_t raw, colour, alpha;
};

Pixel SourcePixel(const MEMIMG* src, int x, int y) {
    const uint8_t* row = src->pixels + size_t(y) * src->pitch;
    Pixel p{};
    if (src->paletteFlag) {
        p.raw = row[x];
        p.colour = src->formatKind == MemImgFormat16 ? static_cast<const uint16_t*>(src->paletteA)[p.raw]
                                                     : static_cast<const uint32_t*>(src->paletteA)[p.raw];
    } else if (src->formatKind == MemImgFormat16 && !src->alphaFlag) {
        p.raw = p.colour = uint32_t(row[2 * x] | row[2 * x + 1] << 8);
    } else {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        p.raw = v;
        p.colour = src->formatKind == MemImgFormat16 ? (v & 0xFFFF) : v;
        p.alpha = src->formatKind == MemImgFormat16 ? (v >> 16 & 255) : v >> 24;
    }
    return p;
}

struct Target {
    std::vector<uint8_t> bytes;
    int pitch, bpp;
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, &bytes[size_t(y) * pitch + size_t(x) * bpp], bpp);
        return v;
    }
    void Set(int x, int y, uint32_t v) { std::memcpy(&bytes[size_t(y) * pitch + size_t(x) * bpp], &v, bpp); }
};

// Steps 1-7 of the variant order; false when nothing is drawn.
bool Decide(const MEMIMG* dest, const MEMIMG* src, int transparent, const MEMIMG* blend, const RefSettings& s,
            Walk walk, Draw* d) {
    if (dest->formatKind != src->formatKind || dest->paletteFlag || dest->alphaFlag) return false;
    if (src->formatKind != MemImgFormat16 && src->formatKind != MemImgFormat32) return false;
    if (s.mode < 0 || s.mode > 4) return false;
    if ((s.mode == 1 || s.mode == 2 || s.mode == 3) && s.p == 0) return false;
    d->is16 = src->formatKind == MemImgFormat16;
    d->source = src->paletteFlag ? 2 : src->alphaFlag ? 1 : 0;
    d->mode = s.mode == 1 && s.p == 255 ? 0 : s.mode;
    d->blend = blend != nullptr;
    d->bright = (s.brightness & 0xFFFFFF) != 0xFFFFFF;
    d->transparent = transparent != 0;
    d->p = s.p;
    d->brightness = s.brightness;
    d->mmx = s.mmx;
    d->walk = walk;
    return true;
}

uint32_t Key(const MEMIMG* src) {
    if (src->paletteFlag) return src->transparentValue & 0xFF;
    return src->formatKind == MemImgFormat16 ? (src->transparentValue & 0xFFFF) : src->transparentValue;
}

// Draws source pixel (sx, sy) onto destination (x, y).
void DrawOne(Target& t, const Draw& dr, const MEMIMG* src, const MEMIMG* blend, int sx, int sy, int x, int y) {
    const Pixel p = SourcePixel(src, sx, sy);
    const uint32_t W = blend ? BlendGraphWeightTable[blend->pixels[size_t(sy) * blend->pitch + sx]] : 0;
    uint32_t out;
    if (Kernel(dr, p.colour, p.alpha, W, t.Get(x, y), p.raw, Key(src), &out)) t.Set(x, y, out);
}

void Intersect(int& l, int& tp, int& r, int& b, int cl, int ct, int cr, int cb) {
    l = std::max(l, cl), tp = std::max(tp, ct), r = std::min(r, cr), b = std::min(b, cb);
}

}  // namespace

RefSettings CurrentRefSettings() {
    RefSettings s;
    s.clipLeft = g_DrawState.clipRect.left;
    s.clipTop = g_DrawState.clipRect.top;
    s.clipRight = g_DrawState.clipRect.right;
    s.clipBottom = g_DrawState.clipRect.bottom;
    s.mode = g_DrawState.blendMode;
    s.p = g_DrawState.blendParam;
    s.brightness = g_DrawState.brightness;
    s.mmx = g_Screen.SoftRenderUseMMX != 0;
    return s;
}

std::vector<uint8_t> ReferenceDrawImage(const MEMIMG* dest, const MEMIMG* src, int x, int y, int transparent,
                                        const MEMIMG* blend, const RefSettings& s) {
    Target t{ImageBytes(dest), dest->pitch, dest->colorFormat->bytesPerPixel};
    int l = x, tp = y, r = x + src->width, b = y + src->height;
    Intersect(l, tp, r, b, s.clipLeft, s.clipTop, s.clipRight, s.clipBottom);
    Intersect(l, tp, r, b, 0, 0, dest->width, dest->height);
    if (r <= l || b <= tp) return t.bytes;
    if (blend && (blend->width < r - x || blend->height < b - y)) return t.bytes;
    const bool whole = r - l == src->width && b - tp == src->height;
    // Multiply draws the alpha-0 pixels the run stream would skip: always plain rows.
    const bool multiplyAlpha = s.mode == BlendMultiply && src->alphaFlag;
    const Walk walk = transparent && src->runStreamValid && whole && !multiplyAlpha ? RunWalk : PlainWalk;
    Draw dr;
    if (!Decide(dest, src, transparent, blend, s, walk, &dr)) return t.bytes;
    // The packed RGB565 add and subtract of the plain rows take pixels in pairs.
    const bool pairs = walk == PlainWalk && dr.is16 && !dr.transparent && PlainSpecials(dr) && s.p == 255 &&
                       (dr.mode == BlendAdd || dr.mode == BlendSubtract);
    for (int yy = tp; yy < b; yy++) {
        for (int xx = l; xx < r; xx++) {
            if (pairs && xx + 1 < r && (xx - l) % 2 == 0) {
                const uint32_t sPair = SourcePixel(src, xx - x, yy - y).colour | SourcePixel(src, xx + 1 - x, yy - y).colour << 16;
                const uint32_t dPair = t.Get(xx, yy) | t.Get(xx + 1, yy) << 16;
                const uint32_t v = dr.mode == BlendAdd ? Add565Pair(sPair, dPair) : Sub565Pair(dPair, sPair);
                t.Set(xx, yy, v & 0xFFFF);
                t.Set(xx + 1, yy, v >> 16);
                xx++;
                continue;
            }
            DrawOne(t, dr, src, blend, xx - x, yy - y, xx, yy);
        }
    }
    return t.bytes;
}

std::vector<int> ReferenceScaledIndices(int destSize, int sourceSize) {
    const int64_t step = (int64_t(destSize) << 16) / sourceSize;
    std::vector<int> indices(static_cast<size_t>(destSize));
    int64_t acc = step;
    int index = 0;
    for (int i = 0; i < destSize; i++) {
        indices[size_t(i)] = index;
        acc -= 0x10000;
        while (acc <= 0) {
            index++;
            acc += step;
        }
    }
    return indices;
}

std::vector<uint8_t> ReferenceDrawStretched(const MEMIMG* dest, const MEMIMG* src, int x1, int y1, int x2, int y2,
                                            int transparent, const MEMIMG* blend, const RefSettings& s) {
    const int left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
    if (right - left == src->width && bottom - top == src->height && x2 >= x1 && y2 >= y1)
        return ReferenceDrawImage(dest, src, left, top, transparent, blend, s);
    Target t{ImageBytes(dest), dest->pitch, dest->colorFormat->bytesPerPixel};
    if (right == left || bottom == top) return t.bytes;
    if (blend && (blend->width < src->width || blend->height < src->height)) return t.bytes;
    Draw dr;
    if (!Decide(dest, src, transparent, blend, s, ScaledWalk, &dr)) return t.bytes;
    int l = left, tp = top, r = right, b = bottom;
    Intersect(l, tp, r, b, s.clipLeft, s.clipTop, s.clipRight, s.clipBottom);
    Intersect(l, tp, r, b, 0, 0, dest->width, dest->height);
    const std::vector<int> columns = ReferenceScaledIndices(right - left, src->width);
    const std::vector<int> rows = ReferenceScaledIndices(bottom - top, src->height);
    for (int yy = tp; yy < b; yy++) {
        int sy = rows[size_t(yy - top)];
        if (y2 < y1) sy = src->height - 1 - sy;
        for (int xx = l; xx < r; xx++) {
            int sx = columns[size_t(xx - left)];
            if (x2 < x1) sx = src->width - 1 - sx;
            DrawOne(t, dr, src, blend, sx, sy, xx, yy);
        }
    }
    return t.bytes;
}
