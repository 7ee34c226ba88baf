// triangle_fill_reference.cpp - the slow model of the triangle filler (see
// triangle_fill_reference.h).
#include "triangle_fill_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"

namespace {

constexpr int64_t kOne = 1 << 18;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }  // b > 0
int64_t Power256(int k) { return int64_t(1) << (8 * k); }

struct Channel {
    int shift, width;
};
const Channel kChannels16[3] = {{11, 5}, {5, 6}, {0, 5}};  // red, green, blue
const Channel kChannels32[3] = {{16, 8}, {8, 8}, {0, 8}};
int64_t Get(uint32_t v, Channel c) { return v >> c.shift & ((1u << c.width) - 1); }

// ---- Per-pixel rules ----

struct Draw {
    bool is16;
    int family;  // 0 direct colour, 1 with alpha, 2 palette
    int mode;    // alpha with 255 already taken as none
    int p;
    uint32_t brightness;
    bool transparent;
    uint32_t key;
    const MEMIMG* texture;
    const MEMIMG* blend;
};

bool White(const Draw& d) { return (d.brightness & 0xFFFFFF) == 0xFFFFFF; }
int BrightByte(const Draw& d, int c) { return int(d.brightness >> (16 - 8 * c) & 0xFF); }  // c: 0 red .. 2 blue

uint32_t Pack(const int64_t n[3], const Channel* ch) {
    uint32_t out = 0;
    for (int c = 0; c < 3; c++) out |= uint32_t(n[c]) << ch[c].shift;
    return out;
}

// The texel's colour word (RGB565, or the whole 32-bit word), its alpha and its raw
// value for the transparency test, at texel (tu, tv).
struct Texel {
    uint32_t colour, raw;
    int64_t alpha;
};
Texel ReadTexel(const Draw& d, int tu, int tv) {
    const uint8_t* at = d.texture->pixels + int64_t(tv) * d.texture->pitch;
    Texel t{};
    if (d.family == 2) {
        t.raw = at[tu];
        t.colour = d.is16 ? static_cast<const uint16_t*>(d.texture->paletteA)[t.raw]
                          : static_cast<const uint32_t*>(d.texture->paletteA)[t.raw];
    } else if (d.is16 && d.family == 0) {
        uint16_t v;
        std::memcpy(&v, at + 2 * tu, 2);
        t.raw = t.colour = v;
    } else {
        uint32_t v;
        std::memcpy(&v, at + 4 * tu, 4);
        t.raw = v;
        t.colour = d.is16 ? v & 0xFFFF : v;
        t.alpha = d.is16 ? (v >> 16 & 0xFF) : v >> 24;
    }
    return t;
}

// The new destination pixel D for texel (tu, tv); D itself when the texel is not drawn.
uint32_t TexelRule(const Draw& d, int tu, int tv, uint32_t D) {
    const Texel t = ReadTexel(d, tu, tv);
    // Admission.
    bool alphaRule = false;
    if (d.family != 1) {
        if (d.transparent && t.raw == d.key) return D;
    } else if (d.transparent) {
        if (t.alpha == 0 && d.mode != BlendMultiply) return D;
        alphaRule = t.alpha != 255;
    } else {
        alphaRule = true;
    }
    const bool hasW = d.blend != nullptr;
    const int64_t W = hasW ? BlendGraphWeightTable[d.blend->pixels[int64_t(tv) * d.blend->pitch + tu]] : 1;
    const int64_t A = alphaRule ? t.alpha : 1;
    const Channel* ch = d.is16 ? kChannels16 : kChannels32;
    const uint32_t keep = d.is16 ? 0 : D & 0xFF000000;
    int64_t e[3], dc[3], tc[3], n[3];
    for (int c = 0; c < 3; c++) {
        tc[c] = Get(t.colour, ch[c]);
        dc[c] = Get(D, ch[c]);
        e[c] = White(d) ? tc[c] : BlendMulTable[BrightByte(d, c)][tc[c]];
    }
    const int64_t P = d.p;
    const int weights = int(hasW) + int(alphaRule);  // W and A
    const int64_t F = W * A;

    if (!d.is16) {
        // 32-bit families: P counts as a factor in alpha, add and subtract.
        const bool pFactor = d.mode == BlendAlpha || d.mode == BlendAdd || d.mode == BlendSubtract;
        const int k = weights + int(pFactor);
        const int64_t FP = pFactor ? F * P : F;
        switch (d.mode) {
            case BlendNone:
            case BlendAlpha:
                if (k == 0) return White(d) ? t.colour : keep | Pack(e, ch);
                for (int c = 0; c < 3; c++) n[c] = FloorDiv(dc[c] * Power256(k) + (e[c] - dc[c]) * FP, Power256(k));
                return keep | Pack(n, ch);
            case BlendAdd:
            case BlendSubtract: {
                for (int c = 0; c < 3; c++)
                    n[c] = k == 1 ? BlendMulTable[P][e[c]] : FloorDiv(e[c] * FP, Power256(k));
                const uint32_t S = Pack(n, ch);
                return d.mode == BlendAdd ? RefAddPixels8888(D, S) : RefSubtractPixels8888(D, S);
            }
            default:
                for (int c = 0; c < 3; c++) n[c] = e[c] * F * dc[c] / Power256(k + 1);
                return keep | Pack(n, ch);
        }
    }
    // 16-bit families: the weights W and A only.
    const int k = weights;
    switch (d.mode) {
        case BlendNone:
            if (k == 0) return White(d) ? t.colour : Pack(e, ch);
            for (int c = 0; c < 3; c++) n[c] = FloorDiv(dc[c] * Power256(k) + (e[c] - dc[c]) * F, Power256(k));
            return Pack(n, ch);
        case BlendAlpha:
            for (int c = 0; c < 3; c++)
                n[c] = k == 0 ? dc[c] + BlendSignedMulTable[P][255 + e[c] - dc[c]]
                              : FloorDiv(dc[c] * Power256(k + 1) + (e[c] - dc[c]) * F * P, Power256(k + 1));
            return Pack(n, ch);
        case BlendAdd:
        case BlendSubtract: {
            for (int c = 0; c < 3; c++) {
                if (k == 0) n[c] = BlendMulTable[P][e[c]];
                else if (!White(d) && alphaRule && !hasW)
                    n[c] = BlendMulTable[P][BlendMulTable[BrightByte(d, c)][tc[c] * A / 256]];
                else n[c] = BlendMulTable[P][e[c] * F / Power256(k)];
            }
            const uint32_t S = Pack(n, ch);
            return d.mode == BlendAdd ? RefAddPixels565(D, S) : RefSubtractPixels565(D, S);
        }
        default:
            for (int c = 0; c < 3; c++) n[c] = e[c] * F * dc[c] / ((int64_t(1) << ch[c].width) * Power256(k));
            return Pack(n, ch);
    }
}

// The flat fill's prepared colour and its rule.
uint32_t FlatRule(const Draw& d, uint32_t K, uint32_t D) {
    const Channel* ch = d.is16 ? kChannels16 : kChannels32;
    const uint32_t keep = d.is16 ? 0 : D & 0xFF000000;
    int64_t n[3];
    switch (d.mode) {
        case BlendNone:
            return K;
        case BlendAlpha:
            for (int c = 0; c < 3; c++) {
                const int64_t dc = Get(D, ch[c]), kc = Get(K, ch[c]);
                n[c] = d.is16 ? dc + BlendSignedMulTable[d.p][255 + kc - dc]
                              : FloorDiv(dc * 256 + (kc - dc) * d.p, 256);
            }
            return keep | Pack(n, ch);
        case BlendAdd:
        case BlendSubtract: {
            for (int c = 0; c < 3; c++) n[c] = BlendMulTable[d.p][Get(K, ch[c])];
            const uint32_t S = Pack(n, ch);
            if (d.is16) return d.mode == BlendAdd ? RefAddPixels565(D, S) : RefSubtractPixels565(D, S);
            return d.mode == BlendAdd ? RefAddPixels8888(D, S) : RefSubtractPixels8888(D, S);
        }
        default:
            for (int c = 0; c < 3; c++) n[c] = Get(K, ch[c]) * Get(D, ch[c]) >> ch[c].width;
            return keep | Pack(n, ch);
    }
}

// ---- Set-up and walk ----

struct Segment {
    int64_t x, y, step, rows;
};
Segment MakeSegment(int64_t startX, int64_t startY, int64_t endX, int64_t endY) {
    Segment s{startX, startY, 0, (endY - startY) / kOne};
    s.step = (endX - startX) / s.rows;
    return s;
}
struct Side {
    Segment segments[2];  // upper, lower
    int current;
};

}  // namespace

uint32_t RefAddPixels565(uint32_t D, uint32_t S) {
    const uint32_t sum = (S & 0xF7DF) + (D & 0xF7DF);
    const uint32_t carries = sum & 0x10820;
    const uint32_t m = ((carries & 0xFFFF) - (carries >> 5)) % 65536;
    return (m | (sum & 0xFFFF) | ((D | S) & 0x0820)) & 0xFFFF;
}
uint32_t RefSubtractPixels565(uint32_t D, uint32_t S) {
    const uint32_t x = (D | 0x08210820) - (S & 0xF7DEF7DF);
    const uint32_t guards = x & 0x08210820;
    const uint32_t m = ((guards & 0xFFFF) - ((guards >> 5) & 0xFFFF)) % 65536;
    return m & x & 0xFFFF;
}
uint32_t RefAddPixels8888(uint32_t D, uint32_t S) {
    const uint32_t sum = (S & 0x00FEFEFF) + (D & 0x00FEFEFF);
    const uint32_t carries = sum & 0x01010100;
    const uint32_t m = carries - (carries >> 8);
    return m | sum | ((D | S) & 0x00010100);
}
uint32_t RefSubtractPixels8888(uint32_t D, uint32_t S) {
    const uint32_t x = (D | 0x01010100) - (S & 0xFEFEFEFF);
    const uint32_t guards = x & 0x01010100;
    const uint32_t m = guards - (guards >> 8);
    return m & x;
}

std::vector<uint8_t> ReferenceDrawTriangle(const MEMIMG* dest, const MEMIMG* texture, const TexTriVertex vertices[3],
                                           int transparent, const MEMIMG* blendImage, uint32_t fillColour,
                                           const RefSettings& s) {
    std::vector<uint8_t> out = ImageBytes(dest);
    // Refusals.
    if (texture != nullptr && texture->formatKind != dest->formatKind) return out;
    if (dest->paletteFlag || dest->alphaFlag) return out;
    if (dest->formatKind != MemImgFormat16 && dest->formatKind != MemImgFormat32) return out;
    int mode = s.mode;
    const int p = std::clamp(s.p, 0, 255);
    if (mode < 0 || mode > BlendMultiply) return out;
    if ((mode == BlendAlpha || mode == BlendAdd || mode == BlendSubtract) && p == 0) return out;
    if (mode == BlendAlpha && p == 255) mode = BlendNone;
    if (texture != nullptr && blendImage != nullptr &&
        (blendImage->formatKind != MemImgFormat8 || blendImage->width < texture->width ||
         blendImage->height < texture->height))
        return out;

    Draw d{};
    d.is16 = dest->formatKind == MemImgFormat16;
    d.mode = mode;
    d.p = p;
    d.brightness = s.brightness;
    d.transparent = transparent != 0;
    d.texture = texture;
    d.blend = blendImage;
    if (texture != nullptr) {
        d.family = texture->paletteFlag == 1 ? 2 : texture->alphaFlag == 1 ? 1 : 0;
        d.key = texture->transparentValue;
    }
    // The flat fill's colour after brightness.
    uint32_t K = 0;
    if (texture == nullptr) {
        const Channel* ch = d.is16 ? kChannels16 : kChannels32;
        const uint32_t fill = d.is16 ? fillColour & 0xFFFF : fillColour;
        int64_t n[3];
        for (int c = 0; c < 3; c++) n[c] = BlendMulTable[BrightByte(d, c)][Get(fill, ch[c])];
        K = (d.is16 ? 0 : fill & 0xFF000000) | Pack(n, ch);
    }

    // Fixed point, and the two orders.
    int64_t X[3], Y[3], U[3], V[3];
    for (int i = 0; i < 3; i++) {
        X[i] = int64_t(vertices[i].x) * kOne + kOne / 2;
        Y[i] = int64_t(vertices[i].y) * kOne + kOne / 2;
        U[i] = int64_t(vertices[i].u) * kOne;
        V[i] = int64_t(vertices[i].v) * kOne;
    }
    auto order = [](const int64_t* key) {
        std::vector<int> list{0, 1, 2};
        for (int i = 0; i < 2; i++)
            for (int j = i + 1; j < 3; j++)
                if (key[list[i]] > key[list[j]]) std::swap(list[i], list[j]);
        return list;
    };
    const std::vector<int> byX = order(X), byY = order(Y);
    const int P0 = byX[0], Q = byX[1], R = byX[2];
    const int64_t dx1 = (X[Q] - X[P0]) / kOne, dy1 = (Y[Q] - Y[P0]) / kOne, dx2 = (X[R] - X[P0]) / kOne,
                  dy2 = (Y[R] - Y[P0]) / kOne;
    const int64_t du1 = (U[Q] - U[P0]) / kOne, du2 = (U[R] - U[P0]) / kOne, dv1 = (V[Q] - V[P0]) / kOne,
                  dv2 = (V[R] - V[P0]) / kOne;
    const int64_t den = dx2 * dy1 - dx1 * dy2;
    if (den == 0) return out;
    auto gradient = [den](int64_t numerator) {
        return int64_t(std::trunc(double(numerator) * 262144.0 / double(den)));
    };
    const int64_t dudx = gradient(du2 * dy1 - du1 * dy2), dudy = gradient(du1 * dx2 - du2 * dx1);
    const int64_t dvdx = gradient(dv2 * dy1 - dv1 * dy2), dvdy = gradient(dv1 * dx2 - dv2 * dx1);
    const int64_t x0 = X[P0] / kOne, y0 = Y[P0] / kOne, U0 = U[P0], V0 = V[P0];

    // Edges.
    const int top = byY[0], mid = byY[1], bottom = byY[2];
    Side left{}, right{};
    if (Y[top] == Y[mid]) {
        const int l = X[top] <= X[mid] ? top : mid, r = l == top ? mid : top;
        left = Side{{{}, MakeSegment(X[l], Y[l], X[bottom], Y[bottom])}, 1};
        right = Side{{{}, MakeSegment(X[r], Y[r], X[bottom], Y[bottom])}, 1};
    } else if (Y[mid] == Y[bottom]) {
        const int l = X[mid] <= X[bottom] ? mid : bottom, r = l == mid ? bottom : mid;
        left = Side{{{}, MakeSegment(X[top], Y[top], X[l], Y[l])}, 1};
        right = Side{{{}, MakeSegment(X[top], Y[top], X[r], Y[r])}, 1};
    } else {
        const double slopeMid = double(X[mid] - X[top]) / double((Y[mid] - Y[top]) / kOne);
        const double slopeBottom = double(X[bottom] - X[top]) / double((Y[bottom] - Y[top]) / kOne);
        const Segment whole = MakeSegment(X[top], Y[top], X[bottom], Y[bottom]);
        const Segment upper = MakeSegment(X[top], Y[top], X[mid], Y[mid]);
        if (slopeMid < slopeBottom) {
            left = Side{{upper, MakeSegment(X[mid], Y[mid], X[bottom], Y[bottom])}, 0};
            right = Side{{{}, whole}, 1};
        } else {
            left = Side{{{}, whole}, 1};
            right = Side{{upper, MakeSegment(X[mid] + 1, Y[mid], X[bottom], Y[bottom])}, 0};
        }
    }

    // The draw area within the destination.
    const int64_t clipLeft = std::max(s.clipLeft, 0), clipTop = std::max(s.clipTop, 0);
    const int64_t clipRight = std::min(s.clipRight, dest->width), clipBottom = std::min(s.clipBottom, dest->height);
    const int bpp = d.is16 ? 2 : 4;

    int64_t leftX = left.segments[left.current].x, rightX = right.segments[right.current].x;
    int64_t leftRows = left.segments[left.current].rows, rightRows = right.segments[right.current].rows;
    int64_t y = left.segments[left.current].y / kOne;
    for (;;) {
        int64_t xs = leftX / kOne;
        const int64_t xe = rightX / kOne;
        int64_t count = xe - xs + 1;
        if (xs < clipLeft) {
            count -= clipLeft - xs;
            xs = clipLeft;
        }
        int64_t u = (xs - x0) * dudx + (y - y0) * dudy + U0, v = (xs - x0) * dvdx + (y - y0) * dvdy + V0;
        if (clipTop <= y && y < clipBottom && xs < clipRight && count > 0) {
            for (int64_t x = xs; count > 0 && x < clipRight; x++, count--, u += dudx, v += dvdx) {
                uint8_t* at = out.data() + y * dest->pitch + x * bpp;
                uint32_t D = 0;
                std::memcpy(&D, at, size_t(bpp));
                uint32_t result;
                if (texture == nullptr) {
                    result = FlatRule(d, K, D);
                } else {
                    if (u < 0 || u >= int64_t(texture->width) * kOne || v < 0 || v >= int64_t(texture->height) * kOne)
                        continue;
                    result = TexelRule(d, int(u >> 18), int(v >> 18), D);
                }
                std::memcpy(at, &result, size_t(bpp));
            }
        }
        leftX += left.segments[left.current].step;
        rightX += right.segments[right.current].step;
        y += 1;
        leftRows -= 1;
        rightRows -= 1;
        if (leftRows == 0) {
            if (left.current == 1) break;
            // The row number carries on at the change of segment.
            left.current = 1;
            leftX = left.segments[1].x;
            leftRows = left.segments[1].rows;
        }
        if (rightRows == 0) {
            if (right.current == 1) break;
            right.current = 1;
            rightX = right.segments[1].x;
            rightRows = right.segments[1].rows;
        }
    }
    return out;
}
