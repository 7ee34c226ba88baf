// The row blends against the per-pixel arithmetic: every RGB565 target value and many
// 32-bit ones under colours of every alpha, at both vector widths, with rows of every
// length up to a buffer (whole steps and the padded rest) and pixels left alone.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/d3d/d3d_blend_rows.h"
#include "platform/pixels.h"

namespace {

PixelView View(int bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    PixelView v{};
    v.layout.bytesPerPixel = bits / 8;
    v.layout.redMask = r;
    v.layout.greenMask = g;
    v.layout.blueMask = b;
    v.layout.alphaMask = a;
    return v;
}

// Each channel (c a + d (255 - a) + 127) / 255 with the codec's own decode and encode.
uint32_t Reference(const PixelCodec& codec, uint32_t colour, uint32_t raw) {
    const uint32_t d = codec.Decode(raw), a = colour >> 24;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((colour >> shift & 0xFF) * a + (d >> shift & 0xFF) * (255 - a) + 127) / 255) << shift;
    return codec.Encode(out);
}

// Blends rows of random lengths over `targets` and checks each pixel.
template <int Bytes, class Blend>
void CheckRows(const PixelCodec& codec, const std::vector<uint32_t>& targets, std::mt19937& random, Blend blend) {
    uint32_t colours[d3draster::kBlendRowMax];
    uint8_t skip[d3draster::kBlendRowMax];
    uint8_t row[Bytes * d3draster::kBlendRowMax + Bytes];
    size_t next = 0;
    while (next < targets.size()) {
        const int n = 1 + int(random() % d3draster::kBlendRowMax);
        for (int i = 0; i < n; ++i) {
            const uint32_t raw = targets[(next + size_t(i)) % targets.size()];
            std::memcpy(row + Bytes * i, &raw, Bytes);
            const uint32_t alpha = random() % 4 == 0 ? (random() % 2) * 255 : random() % 256;
            colours[i] = (random() & 0xFFFFFFu) | alpha << 24;
            skip[i] = random() % 8 == 0;
        }
        const uint32_t guard = 0xA5A5A5A5u;
        std::memcpy(row + Bytes * n, &guard, Bytes);
        blend(row, colours, skip, n);
        for (int i = 0; i < n; ++i) {
            const uint32_t raw = targets[(next + size_t(i)) % targets.size()];
            uint32_t got = 0;
            std::memcpy(&got, row + Bytes * i, Bytes);
            const uint32_t want = skip[i] ? raw : Reference(codec, colours[i], raw) & (Bytes == 2 ? 0xFFFFu : ~0u);
            ASSERT_EQ(want, got) << "target " << raw << " colour " << colours[i] << " pixel " << i << " of " << n;
        }
        uint32_t after = 0;
        std::memcpy(&after, row + Bytes * n, Bytes);
        ASSERT_EQ(guard & (Bytes == 2 ? 0xFFFFu : ~0u), after) << "wrote past the row of " << n;
        next += size_t(n);
    }
}

class BlendRowsTest : public ::testing::TestWithParam<SimdWidth> {
protected:
    SimdWidth before = SimdAvx2;
    void SetUp() override { before = LimitCpuSimdLevel(GetParam()); }
    void TearDown() override { LimitCpuSimdLevel(before); }
};

TEST_P(BlendRowsTest, Rgb565RowsBlendEveryTargetValueAsThePixelArithmetic) {
    const PixelCodec codec(View(16, 0xF800, 0x07E0, 0x001F, 0));
    std::vector<uint32_t> targets(65536 * 4);
    for (size_t i = 0; i < targets.size(); ++i) targets[i] = uint32_t(i & 0xFFFF);
    std::mt19937 random(565);
    CheckRows<2>(codec, targets, random, [](uint8_t* row, const uint32_t* c, const uint8_t* skip, int n) {
        d3draster::OverRow565(row, c, skip, n);
    });
}

TEST_P(BlendRowsTest, ThirtyTwoBitRowsBlendAsThePixelArithmeticWithAndWithoutAlpha) {
    std::mt19937 random(8888);
    std::vector<uint32_t> targets(200000);
    for (uint32_t& t : targets) t = random();
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "ARGB" : "XRGB");
        const PixelCodec codec(View(32, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0));
        const uint32_t alphaDefault = alpha ? 0 : 0xFF000000u, keep = alpha ? ~0u : 0xFFFFFFu;
        CheckRows<4>(codec, targets, random, [&](uint8_t* row, const uint32_t* c, const uint8_t* skip, int n) {
            d3draster::OverRow8888(row, c, skip, n, alphaDefault, keep);
        });
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, BlendRowsTest, ::testing::Values(SimdSse2, SimdAvx2),
                         [](const ::testing::TestParamInfo<SimdWidth>& info) {
                             return std::string(info.param == SimdSse2 ? "Sse2" : "Widest");
                         });

}  // namespace
