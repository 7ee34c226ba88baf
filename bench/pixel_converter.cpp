// The pixel-format converter at 640 x 480: the same-format copy, RGB565 <-> X1R5G5B5
// (both loop flavours) and X8R8G8B8 -> RGB565, each next to memcpy of the same
// bytes in the same run. Counter "pixels/s": pixels converted per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "library/core/system_state.h"
#include "library/display/color_format.h"
#include "library/display/pixel_converter.h"
#include "platform/wintypes.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

ColorFormat Format(int bits, uint32_t r, uint32_t g, uint32_t b) {
    ColorFormat f{};
    InitColorFormatFromMasks(&f, bits, r, g, b, 0);
    return f;
}

std::vector<uint8_t> RandomPixels(size_t bytes) {
    std::vector<uint8_t> v(bytes);
    std::mt19937 rng(1);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

void ReportPixels(benchmark::State& state, size_t bytesRead) {
    state.counters["pixels/s"] = benchmark::Counter(double(state.iterations()) * kWidth * kHeight,
                                                    benchmark::Counter::kIsRate);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytesRead));
}

void Convert(benchmark::State& state, const ColorFormat& dest, const ColorFormat& src, int mmx) {
    SystemStateRecord.head.mmxInUse = mmx;
    const int srcPitch = kWidth * src.bytesPerPixel, destPitch = kWidth * dest.bytesPerPixel;
    std::vector<uint8_t> in = RandomPixels(size_t(srcPitch) * kHeight);
    std::vector<uint8_t> out(size_t(destPitch) * kHeight);
    RECT rect{0, 0, kWidth, kHeight};
    for (auto _ : state) {
        ConvertPixelsBetweenFormats(out.data(), destPitch, &dest, in.data(), srcPitch, &src, nullptr, 0,
                                    nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, in.size());
}

void Memcpy(benchmark::State& state, int bytesPerPixel) {
    const size_t bytes = size_t(kWidth) * kHeight * bytesPerPixel;
    std::vector<uint8_t> in = RandomPixels(bytes), out(bytes);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), bytes);
        benchmark::ClobberMemory();
    }
    ReportPixels(state, bytes);
}

const ColorFormat kRgb565 = Format(16, 0xF800, 0x07E0, 0x001F);
const ColorFormat kXrgb1555 = Format(16, 0x7C00, 0x03E0, 0x001F);
const ColorFormat kXrgb8888 = Format(32, 0xFF0000, 0xFF00, 0xFF);

void BM_Memcpy16(benchmark::State& s) { Memcpy(s, 2); }
void BM_Memcpy32(benchmark::State& s) { Memcpy(s, 4); }
void BM_SameFormat565(benchmark::State& s) { Convert(s, kRgb565, kRgb565, 1); }
void BM_SameFormat8888(benchmark::State& s) { Convert(s, kXrgb8888, kXrgb8888, 1); }
void BM_Rgb565ToXrgb1555_MmxRule(benchmark::State& s) { Convert(s, kXrgb1555, kRgb565, 1); }
void BM_Rgb565ToXrgb1555_Plain(benchmark::State& s) { Convert(s, kXrgb1555, kRgb565, 0); }
void BM_Xrgb1555ToRgb565_MmxRule(benchmark::State& s) { Convert(s, kRgb565, kXrgb1555, 1); }
void BM_Xrgb1555ToRgb565_Plain(benchmark::State& s) { Convert(s, kRgb565, kXrgb1555, 0); }
void BM_Xrgb8888ToRgb565(benchmark::State& s) { Convert(s, kRgb565, kXrgb8888, 1); }

}  // namespace

BENCHMARK(BM_Memcpy16);
BENCHMARK(BM_SameFormat565);
BENCHMARK(BM_Memcpy32);
BENCHMARK(BM_SameFormat8888);
BENCHMARK(BM_Rgb565ToXrgb1555_MmxRule);
BENCHMARK(BM_Rgb565ToXrgb1555_Plain);
BENCHMARK(BM_Xrgb1555ToRgb565_MmxRule);
BENCHMARK(BM_Xrgb1555ToRgb565_Plain);
BENCHMARK(BM_Xrgb8888ToRgb565);

BENCHMARK_MAIN();
