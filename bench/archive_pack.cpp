// Packing an archive (what zqa_pack does after reading the files: LZ-encode each
// file, store it when packing does not pay, lay out and scramble the archive)
// against deflate at level 6, gzip's default, over the same files one by one.
//
// Two sets of files:
//   incompressible  one file of 10 MiB of random bytes
//   typical         the project's own tree (sources, images, seed files): a mixed
//                   tree of text and already-compressed media, read from disk once
// Counters: "ratio" is output bytes / input bytes (the archive's whole size for
// ours, the sum of the deflate streams for the peer); bytes/s counts input bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tools/archive/archive_writer.h"

namespace {

using Items = std::vector<ArchiveWriterItem>;

size_t TotalBytes(const Items& items) {
    size_t total = 0;
    for (const ArchiveWriterItem& item : items) total += item.data.size();
    return total;
}

const Items& IncompressibleItems() {
    static const Items items = [] {
        Items set(1);
        set[0].path = "noise.bin";
        set[0].data.resize(10u << 20);
        std::mt19937 random(12345);
        for (uint8_t& byte : set[0].data) byte = static_cast<uint8_t>(random() >> 24);
        return set;
    }();
    return items;
}

const Items& TypicalItems() {
    static const Items items = [] {
        namespace fs = std::filesystem;
        std::vector<fs::path> files;
        const fs::path root = ZQ_SOURCE_DIR;
        for (const char* folder : {"library", "platform", "game", "tests", "tools", "bench", "scripts"}) {
            for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        Items set;
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            ArchiveWriterItem item;
            item.path = fs::relative(file, root).string();
            item.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            set.push_back(std::move(item));
        }
        return set;
    }();
    return items;
}

void PackArchive(benchmark::State& state, const Items& items) {
    std::vector<uint8_t> image;
    std::string error;
    for (auto _ : state) {
        if (!BuildArchiveImage(items, ArchiveWriterOptions{}, &image, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(TotalBytes(items)));
    state.counters["ratio"] = double(image.size()) / double(TotalBytes(items));
}

void DeflateLevel6(benchmark::State& state, const Items& items) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);  // gzip's wrapper and settings
    std::vector<uint8_t> out;
    size_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const ArchiveWriterItem& item : items) {
            deflateReset(&stream);
            out.resize(deflateBound(&stream, item.data.size()));
            stream.next_in = const_cast<Bytef*>(item.data.data());
            stream.avail_in = uInt(item.data.size());
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            if (deflate(&stream, Z_FINISH) != Z_STREAM_END) state.SkipWithError("deflate failed");
            packed += stream.total_out;
            benchmark::DoNotOptimize(out.data());
        }
    }
    deflateEnd(&stream);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(TotalBytes(items)));
    state.counters["ratio"] = double(packed) / double(TotalBytes(items));
}

void BM_PackIncompressible(benchmark::State& state) { PackArchive(state, IncompressibleItems()); }
void BM_Gzip6Incompressible(benchmark::State& state) { DeflateLevel6(state, IncompressibleItems()); }
void BM_PackTypical(benchmark::State& state) { PackArchive(state, TypicalItems()); }
void BM_Gzip6Typical(benchmark::State& state) { DeflateLevel6(state, TypicalItems()); }

}  // namespace

BENCHMARK(BM_PackIncompressible)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gzip6Incompressible)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackTypical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gzip6Typical)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
