// The blitters against the reference model, pixel for pixel: every format, source kind,
// blend mode, parameter special value, blend image, brightness, transparency and MMX
// setting, for the plain rows, the run stream and the scaled walk; then random images,
// positions, rectangles and clip rectangles.
#include <gtest/gtest.h>

#include <sstream>

#include "blit_reference.h"
#include "library/softrender/blit.h"
#include "platform/kernel/cpu.h"
#include "softrender_test_support.h"

namespace {

using namespace softrender_test;

struct Case {
    int kind, source;  // source 0 direct, 1 alpha, 2 palette
    int mode, p;
    uint32_t brightness;
    bool blend, transparent, mmx;
};

std::string Describe(const Case& c) {
    std::ostringstream out;
    out << "kind " << c.kind << " source " << c.source << " mode " << c.mode << " p " << c.p << " bright " << std::hex
        << c.brightness << std::dec << " blend " << c.blend << " transparent " << c.transparent << " mmx " << c.mmx;
    return out.str();
}

// First differing pixel, for the failure message.
std::string FirstDifference(const MEMIMG* dest, const std::vector<uint8_t>& expected) {
    const int bpp = MemImgBytesPerPixel(dest);
    for (int y = 0; y < dest->height; y++) {
        for (int i = 0; i < dest->pitch; i++) {
            const size_t at = size_t(y) * dest->pitch + i;
            if (dest->pixels[at] != expected[at]) {
                std::ostringstream out;
                uint32_t got = 0, want = 0;
                const size_t base = at - at % size_t(bpp);
                std::memcpy(&got, dest->pixels + base, size_t(bpp));
                std::memcpy(&want, expected.data() + base, size_t(bpp));
                out << "pixel (" << i / bpp << ", " << y << ") got " << std::hex << got << " want " << want;
                return out.str();
            }
        }
    }
    return "none";
}

class BlitDiffTest : public SoftRenderTest {
protected:
    std::mt19937 rng{20240601};

    Image MakeSource(const Case& c, int width, int height, bool runStream) {
        Image source = MakeImage(c.kind, width, height, c.source == 1, c.source == 2, runStream ? 1 : 0,
                                 uint32_t(rng()) & (c.source == 2 ? 0xFF : c.kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFFFF));
        FillRandom(source.get(), rng);
        if (runStream) BuildMemImgRunStream(source.get());
        return source;
    }
    Image MakeBlend(int width, int height) {
        Image blend = MakeImage(MemImgFormat8, width, height);
        FillRandom(blend.get(), rng);
        return blend;
    }

    // One draw through the library and the model; true when every byte agrees.
    void Check(const Case& c, MEMIMG* dest, const MEMIMG* source, const MEMIMG* blend, const RECT* stretch, int x,
               int y, const char* walk) {
        const RefSettings settings = CurrentRefSettings();
        std::vector<uint8_t> expected =
            stretch ? ReferenceDrawStretched(dest, source, stretch->left, stretch->top, stretch->right,
                                             stretch->bottom, c.transparent, blend, settings)
                    : ReferenceDrawImage(dest, source, x, y, c.transparent, blend, settings);
        if (stretch) DrawStretchedImageOnMemImg(dest, source, stretch, c.transparent, blend);
        else DrawImageOnMemImg(dest, source, x, y, c.transparent, blend);
        if (ImageBytes(dest) != expected) {
            ADD_FAILURE() << walk << ": " << Describe(c) << " source " << source->width << "x" << source->height
                          << " at " << x << "," << y << ": " << FirstDifference(dest, expected);
            failures++;
        }
    }

    // Each walk once for the case, on fresh random images.
    void CheckWalks(const Case& c) {
        SetDrawSettings(c.mode, c.p, c.brightness, RECT{2, 1, 37, 9}, c.mmx);
        Image dest = MakeImage(c.kind, 40, 10);
        FillRandom(dest.get(), rng);
        // Plain rows: 21 pixels per row exercise the SIMD steps and their tails; the
        // source pokes out of the clip on the left.
        Image source = MakeSource(c, 21, 3, false);
        Image blend = c.blend ? MakeBlend(23, 4) : nullptr;
        Check(c, dest.get(), source.get(), blend.get(), nullptr, -1, 2, "plain");
        // Run stream: the whole source visible.
        Image runs = MakeSource(c, 30, 4, true);
        Image runsBlend = c.blend ? MakeBlend(30, 4) : nullptr;
        Check(c, dest.get(), runs.get(), runsBlend.get(), nullptr, 4, 3, "runs");
        // Scaled and mirrored, clipped on both sides.
        const RECT stretch{39, 0, 1, 12};
        Check(c, dest.get(), source.get(), blend.get(), &stretch, 0, 0, "scaled");
        const RECT shrink{3, 8, 14, 2};
        Check(c, dest.get(), runs.get(), runsBlend.get(), &shrink, 0, 0, "scaled");
        // Mirrored at 1:1, clipped on the left.
        const RECT mirrored{19, 2, -2, 5};
        Check(c, dest.get(), source.get(), blend.get(), &mirrored, 0, 0, "mirrored");
    }

    int failures = 0;
};

TEST_F(BlitDiffTest, EveryVariantAgreesWithTheModel) {
    const int parameters[] = {0, 1, 127, 128, 129, 254, 255};
    const uint32_t brightnesses[] = {0xFFFFFF, 0x80C0FF};
    for (int kind : {MemImgFormat16, MemImgFormat32})
        for (int source = 0; source < 3; source++)
            for (int mode = 0; mode <= 5; mode++)
                for (int p : parameters)
                    for (uint32_t bright : brightnesses)
                        for (int flags = 0; flags < 8; flags++) {
                            const Case c{kind, source, mode, p, bright, (flags & 1) != 0, (flags & 2) != 0,
                                         (flags & 4) != 0};
                            CheckWalks(c);
                            ASSERT_LT(failures, 20) << "stopping after 20 mismatches";
                        }
}

// Sources made of long stretches (up to 100 pixels) of key or alpha-0 pixels, opaque
// pixels and partial alpha, at every vector level: the wide copies of opaque runs and
// the eight-pixel alpha rows, with their all-opaque and all-transparent steps.
TEST_F(BlitDiffTest, LongRunsAtEverySimdLevel) {
    for (SimdWidth level : {SimdSse2, SimdAvx2}) {
        const SimdWidth before = LimitCpuSimdLevel(level);
        for (int n = 0; n < 200 && failures < 20; n++) {
            Case c{};
            c.kind = n % 2 ? MemImgFormat32 : MemImgFormat16;
            c.source = (n / 2) % 2;  // direct, keyed, or with alpha
            c.mode = BlendNone;
            c.brightness = 0xFFFFFF;
            c.transparent = true;
            SetDrawSettings(c.mode, 0, c.brightness, RECT{0, 0, 160, 8}, 0);
            Image dest = MakeImage(c.kind, 160, 8);
            FillRandom(dest.get(), rng);
            const bool runStream = (n / 4) % 2;
            Image source = MakeImage(c.kind, 150, 5, c.source == 1, 0, runStream ? 1 : 0, 0x1234);
            FillRandom(source.get(), rng);
            for (int y = 0; y < 5; y++) {
                for (int x = 0; x < 150;) {
                    const int length = 1 + int(rng() % 100), look = int(rng() % 3);  // key / opaque / partial
                    for (int end = std::min(150, x + length); x < end; x++) {
                        uint32_t v = uint32_t(rng()) & (c.kind == MemImgFormat16 ? 0xFFFF : 0xFFFFFF);
                        if (c.source == 0 && look == 0) v = 0x1234;
                        if (c.source == 0 && v == 0x1234) v = 0x4321;
                        if (c.source == 1) {
                            const uint32_t alpha = look == 0 ? 0 : look == 1 ? 255 : 1 + uint32_t(rng() % 254);
                            v |= c.kind == MemImgFormat16 ? alpha << 16 : alpha << 24;
                        }
                        WritePixel(source.get(), x, y, v);
                    }
                }
            }
            if (runStream) BuildMemImgRunStream(source.get());
            Check(c, dest.get(), source.get(), nullptr, nullptr, int(rng() % 10), int(rng() % 4), "long runs");
        }
        LimitCpuSimdLevel(before);
    }
    EXPECT_EQ(failures, 0);
}

TEST_F(BlitDiffTest, RandomImagesPositionsAndClips) {
    for (int n = 0; n < 3000 && failures < 20; n++) {
        Case c{};
        c.kind = int(rng() % 2);
        c.source = int(rng() % 3);
        c.mode = int(rng() % 6);
        static const int specials[] = {0, 1, 128, 255, 64};
        c.p = rng() % 3 == 0 ? int(rng() % 256) : specials[rng() % 5];
        c.brightness = rng() % 2 ? 0xFFFFFF : uint32_t(rng()) & 0xFFFFFF;
        c.blend = rng() % 3 == 0;
        c.transparent = rng() % 2;
        c.mmx = rng() % 2;
        const int dw = 1 + int(rng() % 48), dh = 1 + int(rng() % 12);
        const RECT clip{int(rng() % (dw + 1)), int(rng() % (dh + 1)), int(rng() % (dw + 1)), int(rng() % (dh + 1))};
        SetDrawSettings(c.mode, c.p, c.brightness, RECT{std::min(clip.left, clip.right), std::min(clip.top, clip.bottom),
                                                         std::max(clip.left, clip.right), std::max(clip.top, clip.bottom)},
                        c.mmx);
        Image dest = MakeImage(c.kind, dw, dh);
        FillRandom(dest.get(), rng);
        const int sw = 1 + int(rng() % 40), sh = 1 + int(rng() % 6);
        Image source = MakeSource(c, sw, sh, rng() % 2);
        Image blend = c.blend ? MakeBlend(sw + int(rng() % 3), sh + int(rng() % 2)) : nullptr;
        if (rng() % 2) {
            Check(c, dest.get(), source.get(), blend.get(), nullptr, int(rng() % (dw + 8)) - 6,
                  int(rng() % (dh + 4)) - 3, "random 1:1");
        } else {
            const RECT stretch{int(rng() % (dw + 20)) - 10, int(rng() % (dh + 10)) - 5, int(rng() % (dw + 20)) - 10,
                               int(rng() % (dh + 10)) - 5};
            Check(c, dest.get(), source.get(), blend.get(), &stretch, 0, 0, "random scaled");
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
