// raster3d_reference.cpp - the slow model (see raster3d_reference.h).
#include "raster3d_reference.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "library/display/blend_tables.h"
#include "library/graph/draw_state.h"
#include "library/softrender/raster3d.h"

namespace {

// floor(x / 2^n) for any sign.
int64_t FloorShift(int64_t x, int n) { return x >= 0 ? x >> n : -((-x + (int64_t(1) << n) - 1) >> n); }

int32_t Fixed(float value, double scale) {
    const double v = double(value) * scale;
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT_MIN;
    return int32_t(v);
}

// Vertex order by one key: (first, middle, last) as 0-based indices.
void Order(float k1, float k2, float k3, int out[3]) {
    int a, b, c;
    if (k1 > k2 && k2 > k3) a = 3, b = 2, c = 1;
    else if (k1 > k2 && k3 > k1) a = 2, b = 1, c = 3;
    else if (k1 > k2) a = 2, b = 3, c = 1;
    else if (k1 > k3) a = 3, b = 1, c = 2;
    else if (k3 > k2) a = 1, b = 2, c = 3;
    else a = 1, b = 3, c = 2;
    out[0] = a - 1, out[1] = b - 1, out[2] = c - 1;
}

struct Plane {
    int32_t gx, gy, origin;
    // The value at the centre of pixel x of row y: origin + gy * (y + 1/2) + gx * (x + 1/2),
    // with each half step truncated toward zero, modulo 2^32.
    int32_t At(int x, int y) const {
        return int32_t(uint32_t(origin) + uint32_t(gy) * uint32_t(y) + uint32_t(gy / 2) + uint32_t(gx) * uint32_t(x) +
                       uint32_t(gx / 2));
    }
};

struct Texel {
    uint32_t raw, colour, alpha;
};

int Width(bool is16, int c) { return !is16 ? 8 : c == 1 ? 6 : 5; }
int Field(uint32_t colour, bool is16, int c) {
    if (is16) return c == 0 ? int(colour >> 11 & 31) : c == 1 ? int(colour >> 5 & 63) : int(colour & 31);
    return int(colour >> (16 - 8 * c) & 255);
}
uint32_t Pack(const int64_t v[3], bool is16) {
    if (is16) return uint32_t(v[0] & 31) << 11 | uint32_t(v[1] & 63) << 5 | uint32_t(v[2] & 31);
    return uint32_t(v[0] & 255) << 16 | uint32_t(v[1] & 255) << 8 | uint32_t(v[2] & 255);
}

// Saturating add and subtract of whole pixels, as the formats define them.
uint32_t PackedAdd(uint32_t t, uint32_t d, bool is16) {
    if (is16) {
        const uint32_t x = (t & 0xF7DEF7DF) + (d & 0xF7DEF7DF);
        const uint32_t k = x & 0x08210820;
        return ((k - (k >> 5)) | x | ((d | t) & 0x0820)) & 0xFFFF;
    }
    // Blue saturates exactly; green and red add without their low bits plus the carry
    // from below, and take the OR of the low bits unless they saturate.
    uint32_t out = std::min(255u, (d & 255) + (t & 255));
    int carry = (d & 255) + (t & 255) > 255;
    for (int shift = 8; shift <= 16; shift += 8) {
        const uint32_t dc = d >> shift & 255, tc = t >> shift & 255;
        const uint32_t v = (dc & 0xFE) + (tc & 0xFE) + uint32_t(carry);
        out |= (v > 255 ? 255 : v | ((dc | tc) & 1)) << shift;
        carry = v > 255;
    }
    return out | uint32_t(carry) << 24;
}
uint32_t PackedSub(uint32_t t, uint32_t d, bool is16) {
    if (is16) {
        const uint32_t x = (d | 0x08210820) - (t & 0xF7DEF7DF);
        const uint32_t k = x & 0x08210820;
        return (k - (k >> 5)) & x & 0xFFFF;
    }
    const int blue = int(d & 255) - int(t & 255);
    uint32_t out = uint32_t(std::max(0, blue));
    int borrow = blue < 0;
    for (int shift = 8; shift <= 16; shift += 8) {
        const int v = int((d >> shift & 255) | 1) - int(t >> shift & 0xFE) - borrow;
        out |= uint32_t(v < 0 ? 0 : v) << shift;
        borrow = v < 0;
    }
    return out;
}

// lerp(d, x, k, n) = floor((d * 2^n + (x - d) * k) / 2^n)
int64_t Lerp(int64_t d, int64_t x, int64_t k, int n) { return FloorShift(d * (int64_t(1) << n) + (x - d) * k, n); }

uint32_t UniformColour(const Texel& tx, uint32_t d, int w, bool blendImage, bool alphaTexture, int transparent,
                       int mode, const Ref3DSettings& s, bool is16) {
    const bool bright = (s.brightness & 0xFFFFFF) != 0xFFFFFF;
    const bool useA = alphaTexture && (!transparent || tx.alpha != 255);
    const bool useW = blendImage;
    const int64_t a = tx.alpha, p = s.p;
    int64_t t[3], sc[3], dc[3], out[3];
    for (int c = 0; c < 3; c++) {
        t[c] = Field(tx.colour, is16, c);
        const int br = int(s.brightness >> (16 - 8 * c) & 255);
        sc[c] = bright ? t[c] * br / 255 : t[c];
        dc[c] = Field(d, is16, c);
    }
    const uint32_t keep3 = is16 ? 0 : d & 0xFF000000;
    switch (mode) {
        case BlendNone:
            if (!useW && !useA) return bright ? Pack(sc, is16) | keep3 : tx.colour;
            for (int c = 0; c < 3; c++)
                out[c] = useW && useA ? Lerp(dc[c], sc[c], w * a, 16) : Lerp(dc[c], sc[c], useW ? w : a, 8);
            return Pack(out, is16) | keep3;
        case BlendAlpha:
            for (int c = 0; c < 3; c++) {
                if (useW && useA) out[c] = Lerp(dc[c], sc[c], w * a * p, 24);
                else if (useW || useA) out[c] = Lerp(dc[c], sc[c], (useW ? w : a) * p, 16);
                else if (is16) out[c] = dc[c] + (sc[c] - dc[c]) * p / 255;  // toward zero
                else out[c] = Lerp(dc[c], sc[c], p, 8);
            }
            return Pack(out, is16) | keep3;
        case BlendAdd:
        case BlendSubtract:
            for (int c = 0; c < 3; c++) {
                const int br = int(s.brightness >> (16 - 8 * c) & 255);
                if (is16) {
                    int64_t x = useW && useA ? sc[c] * w * a >> 16 : useW ? sc[c] * w >> 8 : sc[c];
                    if (useA && !useW) x = bright ? (t[c] * a >> 8) * br / 255 : t[c] * a >> 8;
                    out[c] = x * p / 255;
                } else {
                    out[c] = useW && useA ? sc[c] * w * p * a >> 24
                             : useW       ? sc[c] * w * p >> 16
                             : useA       ? sc[c] * p * a >> 16
                                          : sc[c] * p / 255;
                }
            }
            return mode == BlendAdd ? PackedAdd(Pack(out, is16), d, is16) : PackedSub(Pack(out, is16), d, is16);
        default:
            for (int c = 0; c < 3; c++) {
                const int n = Width(is16, c);
                out[c] = useW && useA ? sc[c] * dc[c] * w * a >> (n + 16)
                         : useW       ? sc[c] * dc[c] * w >> (n + 8)
                         : useA       ? sc[c] * dc[c] * a >> (n + 8)
                                      : sc[c] * dc[c] >> n;
            }
            return Pack(out, is16) | keep3;
    }
}

uint32_t GouraudColour(const Texel& tx, uint32_t d, int w, bool blendImage, bool alphaTexture, int transparent,
                       int mode, const int64_t k[3], int64_t va, bool is16) {
    const bool useA = alphaTexture && (!transparent || tx.alpha != 255);
    const bool useW = blendImage;
    const int64_t al = tx.alpha;
    int64_t out[3];
    for (int c = 0; c < 3; c++) {
        const int n = Width(is16, c);
        const int64_t t = Field(tx.colour, is16, c), dc = Field(d, is16, c);
        const int64_t m = FloorShift(t * k[c], 8);
        switch (mode) {
            case BlendNone:
                out[c] = useW && useA ? Lerp(dc, m, w * al, 16) : useW ? Lerp(dc, m, w, 8) : useA ? Lerp(dc, m, al, 8) : m;
                break;
            case BlendAlpha:
                out[c] = useW && useA ? Lerp(dc, m, va * w * al, 24)
                         : useW       ? Lerp(dc, m, va * w, 16)
                         : useA       ? Lerp(dc, m, va * al, 16)
                                      : Lerp(dc, m, va, 8);
                break;
            case BlendMultiply:
                out[c] = useW && useA ? FloorShift(m * w * al * dc, 16 + n)
                         : useW       ? FloorShift(t * k[c] * w * dc, 16 + n)
                         : useA       ? FloorShift(t * k[c] * al * dc, 16 + n)
                                      : FloorShift(t * k[c] * dc, 8 + n);
                break;
            default:
                out[c] = useW && useA ? FloorShift(m * w * al * va, 24)
                         : useW       ? FloorShift(t * k[c] * w * va, 24)
                         : useA       ? FloorShift(t * k[c] * al * va, 24)
                                      : FloorShift(t * k[c] * va, 16);
                break;
        }
    }
    const uint32_t packed = Pack(out, is16);
    if (mode == BlendAdd) return PackedAdd(packed, d, is16);
    if (mode == BlendSubtract) return PackedSub(packed, d, is16);
    return packed | (is16 ? 0 : d & 0xFF000000);
}

}  // namespace

Ref3DSettings CurrentRef3DSettings() {
    Ref3DSettings s;
    s.mode = g_DrawState.blendMode;
    s.p = std::clamp(g_DrawState.blendParam, 0, 255);
    s.brightness = g_DrawState.brightness;
    s.clip = g_DrawState.clipRect;
    return s;
}

Ref3DImages ReferenceDrawTriangle3D(const MEMIMG* dest, const MEMIMG* depthImage, const MEMIMG* texture,
                                    const ScreenVertex v[3], int transparent, const MEMIMG* blendImage,
                                    int depthWrite, int gouraud, const Ref3DSettings& s) {
    Ref3DImages out;
    out.dest.assign(dest->pixels, dest->pixels + size_t(dest->pitch) * dest->height);
    if (depthImage != nullptr)
        out.depth.assign(depthImage->pixels, depthImage->pixels + size_t(depthImage->pitch) * depthImage->height);
    if (depthImage != nullptr && (depthImage->width != dest->width || depthImage->height != dest->height)) return out;
    if (dest->paletteFlag || dest->alphaFlag) return out;
    const bool is16 = dest->formatKind == MemImgFormat16;

    // The texture as its texels; no texture: 8 x 8 white.
    const bool palette = texture != nullptr && texture->paletteFlag == 1;
    const bool alphaTexture = texture != nullptr && !palette && texture->alphaFlag == 1;
    const int texW = texture ? texture->width : 8, texH = texture ? texture->height : 8;
    if (texture != nullptr && texture->formatKind != dest->formatKind) return out;
    auto fetch = [&](uint32_t u, uint32_t vv) {
        Texel t{};
        if (texture == nullptr) {
            t.raw = t.colour = is16 ? 0xFFFF : 0xFFFFFFFF;
            return t;
        }
        const uint8_t* row = texture->pixels + size_t(vv) * texture->pitch;
        if (palette) {
            t.raw = row[u];
            t.colour = is16 ? static_cast<const uint16_t*>(texture->paletteA)[t.raw]
                            : static_cast<const uint32_t*>(texture->paletteA)[t.raw];
        } else if (alphaTexture || !is16) {
            std::memcpy(&t.raw, row + 4 * u, 4);
            t.colour = is16 ? t.raw & 0xFFFF : t.raw;
            t.alpha = is16 ? t.raw >> 16 & 255 : t.raw >> 24;
        } else {
            uint16_t x;
            std::memcpy(&x, row + 2 * u, 2);
            t.raw = t.colour = x;
        }
        return t;
    };
    const uint32_t key = texture ? texture->transparentValue : 0;

    // Which triangles draw at all.
    int mode = s.mode;
    if (mode < 0 || mode > 4) return out;
    if (!gouraud) {
        if (mode == BlendAlpha && s.p == 255) mode = BlendNone;
        if ((mode == BlendAlpha || mode == BlendAdd) && s.p == 0) return out;
        if (mode == BlendSubtract && s.p == 0 && !palette) return out;
    }

    // Planes from the vertices in x order.
    int ox[3];
    Order(v[0].x, v[1].x, v[2].x, ox);
    const ScreenVertex &p0 = v[ox[0]], &p1 = v[ox[1]], &p2 = v[ox[2]];
    const float d1x = p1.x - p0.x, d1y = p1.y - p0.y, d2x = p2.x - p0.x, d2y = p2.y - p0.y;
    const float det = d1x * d2y - d2x * d1y;
    const float inv = 1.0f / det;
    auto plane = [&](float a0, float a1, float a2, double scale) {
        const float da1 = a1 - a0, da2 = a2 - a0;
        const float gx = (da1 * d2y - da2 * d1y) * inv, gy = (da2 * d1x - da1 * d2x) * inv;
        const float origin = a0 - gx * p0.x - gy * p0.y;
        return Plane{Fixed(gx, scale), Fixed(gy, scale), Fixed(origin, scale)};
    };
    auto channel = [](const ScreenVertex& x, int shift) { return float(int(x.colour >> shift & 255)); };
    const Plane W = plane(p0.rhw, p1.rhw, p2.rhw, 67108864.0);
    const Plane U = plane(p0.u * p0.rhw, p1.u * p1.rhw, p2.u * p2.rhw, 67108864.0);
    const Plane V = plane(p0.v * p0.rhw, p1.v * p1.rhw, p2.v * p2.rhw, 67108864.0);
    const Plane Z = plane(p0.z, p1.z, p2.z, 16777216.0);
    Plane C[4];
    for (int c = 0; c < 4; c++) {  // red, green, blue, alpha
        const int shift = c == 3 ? 24 : 16 - 8 * c;
        C[c] = plane(channel(p0, shift), channel(p1, shift), channel(p2, shift), 16384.0);
    }

    // The covered pixels.
    RECT clip{std::max<LONG>(s.clip.left, 0), std::max<LONG>(s.clip.top, 0), std::min<LONG>(s.clip.right, dest->width),
              std::min<LONG>(s.clip.bottom, dest->height)};
    Raster3DSetup setup;
    if (clip.right <= clip.left || clip.bottom <= clip.top || !SetupRaster3DTriangle(v, clip, &setup)) return out;
    int first = 0, count = 0;
    const int bpp = is16 ? 2 : 4;
    for (int y = setup.firstRow; NextRaster3DSpan(&setup, &first, &count); y++) {
        if (count == 0 || W.At(first, y) == 0) continue;
        for (int x = first; x < first + count; x++) {
            const int32_t w = W.At(x, y);
            if (w <= 0) continue;
            if (depthImage != nullptr) {
                uint16_t stored;
                uint8_t* zp = out.depth.data() + size_t(y) * depthImage->pitch + 2 * size_t(x);
                std::memcpy(&stored, zp, 2);
                const uint16_t depth = uint16_t(int64_t(Z.At(x, y)) >> 8);
                if (depth > stored) continue;
                if (depthWrite) std::memcpy(zp, &depth, 2);
            }
            const uint32_t invW = uint32_t((int64_t(1) << 29) / w);
            const uint32_t tu = uint32_t(uint32_t(U.At(x, y) >> 10) * uint32_t(texW) * invW) >> 19;
            const uint32_t tv = uint32_t(uint32_t(V.At(x, y) >> 10) * uint32_t(texH) * invW) >> 19;
            if (tu >= uint32_t(texW) || tv >= uint32_t(texH)) continue;
            const Texel tx = fetch(tu, tv);
            if (alphaTexture) {
                if (transparent && tx.alpha == 0 && mode != BlendMultiply) continue;
            } else if (transparent && tx.raw == key) {
                continue;
            }
            const int weight = blendImage ? BlendGraphWeightTable[blendImage->pixels[tu + size_t(tv) * blendImage->pitch]] : 0;
            uint8_t* dp = out.dest.data() + size_t(y) * dest->pitch + size_t(x) * bpp;
            uint32_t d = 0;
            std::memcpy(&d, dp, size_t(bpp));
            uint32_t result;
            if (gouraud) {
                const int64_t k[3] = {C[0].At(x, y) / 16384, C[1].At(x, y) / 16384, C[2].At(x, y) / 16384};
                result = GouraudColour(tx, d, weight, blendImage != nullptr, alphaTexture, transparent, mode, k,
                                       C[3].At(x, y) / 16384, is16);
            } else {
                result = UniformColour(tx, d, weight, blendImage != nullptr, alphaTexture, transparent, mode, s, is16);
            }
            std::memcpy(dp, &result, size_t(bpp));
        }
    }
    return out;
}
