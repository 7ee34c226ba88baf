// Decoding a 1024 x 1024 PNG (RGBA) and JPEG (colour) through the library's
// decoders, against the same decode done with libpng and libjpeg directly (same
// output order, memory in, one malloc'd buffer out). The difference is the cost of
// the stream layer, the tracked allocator and the decoders' checks.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "library/core/alloc.h"
#include "library/graph/loaders/image_decoders.h"
#include "tests/support/image_files.h"

using namespace testimg;

namespace {

constexpr int kSide = 1024;

const Bytes& PngFile() {
    static const Bytes file = [] {
        PngLayout s;
        s.width = kSide, s.height = kSide, s.colorType = PNG_COLOR_TYPE_RGBA, s.bitDepth = 8;
        s.rows = TestPicture(kSide, kSide, 4);
        return EncodePng(s);
    }();
    return file;
}

const Bytes& JpegFile() {
    static const Bytes file = [] {
        JpegLayout s;
        s.width = kSide, s.height = kSide, s.components = 3, s.quality = 90;
        s.pixels = TestPicture(kSide, kSide, 3);
        return EncodeJpeg(s);
    }();
    return file;
}

void DecodeThroughLoader(benchmark::State& state, Decoder decoder, const Bytes& file) {
    for (auto _ : state) {
        GraphImage image{};
        if (DecodeBytes(decoder, file, &image) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.pixels);
        ZqFree(image.pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

struct MemoryReader {
    const Bytes* file;
    size_t position;
};

void BM_PngThroughLoader(benchmark::State& state) { DecodeThroughLoader(state, DecodePngGraphImage, PngFile()); }

void BM_PngLibpngDirect(benchmark::State& state) {
    const Bytes& file = PngFile();
    for (auto _ : state) {
        MemoryReader reader{&file, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &reader, [](png_structp p, png_bytep out, size_t length) {
            MemoryReader* r = static_cast<MemoryReader*>(png_get_io_ptr(p));
            std::memcpy(out, r->file->data() + r->position, length);
            r->position += length;
        });
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        size_t rowBytes = png_get_rowbytes(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        uint8_t* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; y++) rows[y] = pixels + rowBytes * y;
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(pixels);
        std::free(pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_JpegThroughLoader(benchmark::State& state) { DecodeThroughLoader(state, DecodeJpegGraphImage, JpegFile()); }

void BM_JpegLibjpegDirect(benchmark::State& state) {
    const Bytes& file = JpegFile();
    for (auto _ : state) benchmark::DoNotOptimize(DecodeJpegDirect(file).pixels);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

}  // namespace

BENCHMARK(BM_PngThroughLoader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngLibpngDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegThroughLoader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegLibjpegDirect)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
