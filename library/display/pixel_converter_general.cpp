// pixel_converter_general.cpp - the converter's general per-pixel path.
//
// Per pixel: read, skip the key, look an 8-bit value up in its palette, take the
// channels apart, rescale the ones whose width changes (narrowing drops low bits,
// widening replicates so the largest value stays the largest), apply alpha-from-red
// and colour-zero, pack, dither and limit each narrowed channel, key the alpha, and
// write with the destination's unused bits set. Everything that does not depend on
// the pixel is worked out once before the loop.
//
// The alpha comes from the alpha plane's red channel, else from the source, else it
// is the destination's full alpha; a full alpha is already in destination width and
// is not rescaled, and a source alpha is rescaled whenever its width differs.
#include "library/display/pixel_converter.h"
#include "library/display/pixel_converter_internal.h"

namespace {

enum AlphaOrigin { AlphaFromPlane, AlphaFromSource, AlphaFull, AlphaNone };

struct ChannelPlan {
    uint32_t srcMask;
    int srcShift;
    int srcWidth;
    uint32_t destMask;
    int destShift;
    int destWidth;
    bool fromPlane;           // the source value is the alpha plane's red channel
    uint64_t droppedMask;     // the low srcWidth - destWidth bits in place; 0 unless narrowed
    uint64_t thresholds[16];  // ordered dither, in place
};

ChannelPlan PlanChannel(uint32_t srcMask, int srcShift, int srcWidth, uint32_t destMask,
                        int destShift, int destWidth, bool fromPlane) {
    ChannelPlan plan{.srcMask = srcMask,
                     .srcShift = srcShift,
                     .srcWidth = srcWidth,
                     .destMask = destMask,
                     .destShift = destShift,
                     .destWidth = destWidth,
                     .fromPlane = fromPlane,
                     .droppedMask = 0,
                     .thresholds = {}};
    int dropped = srcWidth - destWidth;
    if (dropped > 0) {
        plan.droppedMask = ((uint64_t{1} << dropped) - 1) << srcShift;
        for (int i = 0; i < 16; i++)
            plan.thresholds[i] = ((uint64_t{OrderedDitherMatrix[i]} << dropped) >> 4) << srcShift;
    }
    return plan;
}

// A channel value brought from srcWidth to destWidth bits.
inline uint32_t Rescale(uint32_t v, int srcWidth, int destWidth) {
    if (srcWidth > destWidth) return static_cast<uint32_t>(uint64_t{v} >> (srcWidth - destWidth));
    if (srcWidth < destWidth) {
        if (srcWidth == 0) return 0;
        int k = destWidth - srcWidth;
        uint64_t widened = (uint64_t{v} << k) + uint64_t{v} * ((uint64_t{1} << k) - 1) /
                                                     ((uint64_t{1} << srcWidth) - 1);
        return static_cast<uint32_t>(widened);
    }
    return v;
}

inline uint32_t ChannelValue(uint32_t pixel, const ChannelPlan& plan) {
    return (pixel & plan.srcMask) >> plan.srcShift;
}

struct GeneralPlan {
    ChannelPlan channel[4];  // red, green, blue, alpha
    AlphaOrigin alphaOrigin;
    uint32_t fullAlpha;     // the destination's alpha mask shifted down
    bool widthsDiffer;      // rescale, then dither and limit
    uint32_t destChannelMask;
    uint32_t keyColor[3];   // key pixel's red, green, blue fields (key to alpha)
    uint32_t skipKey;       // raw source value that is not written
};

GeneralPlan MakePlan(const PixelBlock& b) {
    const ColorFormat* s = b.srcFormat;
    const ColorFormat* d = b.destFormat;
    const ColorFormat* a = b.alphaFormat;
    GeneralPlan plan{};
    plan.channel[0] = PlanChannel(s->redMask, s->redShift, s->redWidth, d->redMask, d->redShift,
                                  d->redWidth, false);
    plan.channel[1] = PlanChannel(s->greenMask, s->greenShift, s->greenWidth, d->greenMask,
                                  d->greenShift, d->greenWidth, false);
    plan.channel[2] = PlanChannel(s->blueMask, s->blueShift, s->blueWidth, d->blueMask,
                                  d->blueShift, d->blueWidth, false);

    if (b.alphaFromPlane) {
        plan.alphaOrigin = AlphaFromPlane;
        plan.channel[3] = PlanChannel(a->redMask, a->redShift, a->redWidth, d->alphaMask,
                                      d->alphaShift, d->alphaWidth, true);
    } else if (s->alphaWidth == 0) {
        plan.alphaOrigin = AlphaFull;
    } else if (d->alphaWidth == 0) {
        plan.alphaOrigin = AlphaNone;
    } else {
        plan.alphaOrigin = AlphaFromSource;
        plan.channel[3] = PlanChannel(s->alphaMask, s->alphaShift, s->alphaWidth, d->alphaMask,
                                      d->alphaShift, d->alphaWidth, false);
    }
    if (plan.alphaOrigin == AlphaFull || plan.alphaOrigin == AlphaNone) {
        // Not rescaled and never dithered: source and destination widths are the same.
        plan.channel[3] = PlanChannel(0, 0, d->alphaWidth, d->alphaMask, d->alphaShift,
                                      d->alphaWidth, false);
    }
    plan.fullAlpha = d->alphaMask >> d->alphaShift;

    plan.widthsDiffer = false;
    for (const ChannelPlan& c : plan.channel)
        plan.widthsDiffer = plan.widthsDiffer || c.srcWidth != c.destWidth;

    plan.destChannelMask = d->redMask | d->greenMask | d->blueMask | d->alphaMask;
    if (b.keyToAlpha) {
        uint32_t key = EncodePixelRgba(d, b.key >> 16 & 0xFF, b.key >> 8 & 0xFF, b.key & 0xFF, 255);
        plan.keyColor[0] = key & d->redMask;
        plan.keyColor[1] = key & d->greenMask;
        plan.keyColor[2] = key & d->blueMask;
    }
    plan.skipKey = b.keyToAlpha ? b.key : b.key & PixelSizeMask(s->bytesPerPixel);
    return plan;
}

// Dithering state that lives across the whole block.
struct DitherState {
    uint64_t carry[4];  // error-carry accumulators, never reset between rows
};

// Adds the dither increment of one narrowed channel to its field.
inline uint64_t DitherField(uint64_t field, const ChannelPlan& c, uint32_t sourcePixel,
                            int ditherMode, int matrixIndex, uint64_t& carry) {
    if (c.droppedMask == 0) return field;
    const uint64_t dropped = sourcePixel & c.droppedMask;
    const uint64_t increment = uint64_t{1} << c.destShift;
    if (ditherMode == DitherOrdered) {
        if (c.thresholds[matrixIndex] < dropped) field += increment;
    } else if (ditherMode == DitherErrorCarry) {
        carry += dropped;
        if (carry > c.droppedMask) field += increment;
        carry &= c.droppedMask;
    }
    return field;
}

template <int SrcBytes, int DestBytes>
void ConvertGeneralBlock(const PixelBlock& b, const GeneralPlan& plan) {
    const ColorFormat* s = b.srcFormat;
    const ColorFormat* d = b.destFormat;
    const ColorFormat* a = b.alphaFormat;
    const int alphaBytes = a->bytesPerPixel;
    const bool srcIndexed = s->bitsPerPixel == 8;
    const bool planeIndexed = a->bitsPerPixel == 8;
    const ptrdiff_t destStep = b.mirror ? -DestBytes : DestBytes;
    const ChannelPlan& cr = plan.channel[0];
    const ChannelPlan& cg = plan.channel[1];
    const ChannelPlan& cb = plan.channel[2];
    const ChannelPlan& ca = plan.channel[3];
    DitherState dither{};

    for (int row = 0; row < b.height; row++) {
        const uint8_t* sp = b.src + row * b.srcPitch;
        const uint8_t* ap = b.alpha ? b.alpha + row * b.alphaPitch : nullptr;
        uint8_t* dp = b.dest + row * b.destPitch;
        if (b.mirror) dp += ptrdiff_t(b.width - 1) * DestBytes;

        for (int column = 0; column < b.width;
             column++, sp += SrcBytes, dp += destStep, ap += ap ? alphaBytes : 0) {
            uint32_t pixel = LoadPixel<SrcBytes>(sp);
            if (b.skipKey && pixel == plan.skipKey) continue;
            if (srcIndexed) pixel = s->palette[pixel & 0xFF];

            uint32_t planePixel = 0;
            if (b.alphaFromPlane) {
                planePixel = LoadPixelOfSize(ap, alphaBytes);
                if (planeIndexed) planePixel = a->palette[planePixel & 0xFF];
            }

            uint32_t r = ChannelValue(pixel, cr);
            uint32_t g = ChannelValue(pixel, cg);
            uint32_t bl = ChannelValue(pixel, cb);
            uint32_t al = 0;
            switch (plan.alphaOrigin) {
                case AlphaFromPlane: al = ChannelValue(planePixel, ca); break;
                case AlphaFromSource: al = ChannelValue(pixel, ca); break;
                case AlphaFull: al = plan.fullAlpha; break;
                case AlphaNone: al = 0; break;
            }
            if (plan.widthsDiffer) {
                r = Rescale(r, cr.srcWidth, cr.destWidth);
                g = Rescale(g, cg.srcWidth, cg.destWidth);
                bl = Rescale(bl, cb.srcWidth, cb.destWidth);
                al = Rescale(al, ca.srcWidth, ca.destWidth);
            }
            if (b.alphaFromRed) al = r;
            if (b.colorZero) r = g = bl = 0;

            uint32_t out = r << d->redShift | g << d->greenShift | bl << d->blueShift |
                           al << d->alphaShift;

            if (plan.widthsDiffer) {
                const int matrixIndex = (row & 3) * 4 + (column & 3);
                uint64_t fields[4];
                const ChannelPlan* channels[4] = {&cr, &cg, &cb, &ca};
                uint32_t rebuilt = out & ~plan.destChannelMask;
                for (int c = 0; c < 4; c++) {
                    const ChannelPlan& plan_c = *channels[c];
                    fields[c] = out & plan_c.destMask;
                    fields[c] = DitherField(fields[c], plan_c, plan_c.fromPlane ? planePixel : pixel,
                                            b.ditherMode, matrixIndex, dither.carry[c]);
                    if (fields[c] > plan_c.destMask) fields[c] = plan_c.destMask;
                    rebuilt |= static_cast<uint32_t>(fields[c]);
                }
                out = rebuilt;
            }

            if (b.keyToAlpha) {
                bool isKey = (out & d->redMask) == plan.keyColor[0] &&
                             (out & d->greenMask) == plan.keyColor[1] &&
                             (out & d->blueMask) == plan.keyColor[2];
                out = isKey ? out & ~d->alphaMask : out | d->alphaMask;
            }

            if constexpr (DestBytes == 2 || DestBytes == 4) out |= d->unusedMask;
            StorePixel<DestBytes>(dp, out);
        }
    }
}

}  // namespace

void ConvertByGeneralPath(const PixelBlock& block) {
    const GeneralPlan plan = MakePlan(block);
    WithPixelSize(block.srcFormat->bytesPerPixel, [&](auto src) {
        WithPixelSize(block.destFormat->bytesPerPixel,
                      [&](auto dest) { ConvertGeneralBlock<src(), dest()>(block, plan); });
    });
}
