// Packing an archive, in two ways.
//
// In process (BM_Pack*, BM_Gzip6*): what zqa_pack does after reading the files (LZ-
// encode each file, store it when packing does not pay, lay out and scramble the
// archive) against deflate at level 6, gzip's default, over the same files one by
// one, all in memory. Two sets of files:
//   incompressible  one file of 10 MiB of random bytes
//   typical         the project's own tree (sources, images, seed files): a mixed
//                   tree of text and already-compressed media, read from disk once
// Counters: "ratio" is output bytes / input bytes (the archive's whole size for
// ours, the sum of the deflate streams for the peer); bytes/s counts input bytes.
//
// Whole tool (BM_Tool*, BM_TarGzip6*): the zqa_pack program run on a tree on disk
// against `tar cf - TREE | gzip -6 > FILE`, wall time from start to exit, peak
// resident memory from wait4's ru_maxrss of each program, which run_measured
// reports (for the pipeline, tar's and gzip's added, since they run side by side). Two trees, made once in a scratch directory
// under /tmp:
//   incompressible  32 files of 4 MiB of random bytes (128 MiB)
//   typical         a copy of /usr/share/doc (or of $ZQ_BENCH_TREE), leaving out
//                   names that an archive cannot hold twice (equal without regard
//                   to case) and anything that is not a file or a directory
// Every case runs 5 times; a table at the end gives the median and best times and
// the largest peak of each.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/scratch_directory.h"
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

// --- whole tool -------------------------------------------------------------

namespace fs = std::filesystem;

// A tree on disk: the directory `name` inside `parent`, of `bytes` file bytes.
struct DiskTree {
    std::string parent;
    std::string name;
    uint64_t bytes = 0;
    std::string error = {};  // set when the tree could not be made
};

// The scratch directory of the trees and outputs, removed at exit; empty when it
// cannot be made.
const std::string& ScratchRoot() {
    static const ScratchDirectory root("zqbench");
    return root.path();
}

const DiskTree& IncompressibleTree() {
    static const DiskTree tree = [] {
        DiskTree made{ScratchRoot(), "noise"};
        if (made.parent.empty()) made.error = "cannot make a scratch directory";
        if (!made.error.empty()) return made;
        fs::create_directories(fs::path(made.parent) / made.name);
        std::mt19937 random(12345);
        std::vector<uint32_t> words((4u << 20) / 4);
        for (int i = 0; i < 32; i++) {
            for (uint32_t& word : words) word = random();
            std::ofstream out(fs::path(made.parent) / made.name / ("noise" + std::to_string(i) + ".bin"), std::ios::binary);
            out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(words.size() * 4));
            if (!out) made.error = "cannot write the noise tree";
            made.bytes += words.size() * 4;
        }
        return made;
    }();
    return tree;
}

std::string UpperAscii(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
}

// Copies files and directories (following links to files, not to directories),
// keeping the first of names that differ only in case; returns the bytes copied.
uint64_t CopyTree(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::create_directories(to, error);
    std::vector<fs::path> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(from, error)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::set<std::string> taken;
    uint64_t bytes = 0;
    for (const fs::path& name : names) {
        const fs::path source = from / name;
        const bool link = fs::is_symlink(fs::symlink_status(source, error));
        const fs::file_status status = fs::status(source, error);
        const bool file = fs::is_regular_file(status), directory = fs::is_directory(status) && !link;
        if ((!file && !directory) || !taken.insert(UpperAscii(name.string())).second) continue;
        if (directory) {
            bytes += CopyTree(source, to / name);
        } else if (fs::copy_file(source, to / name, error)) {
            bytes += fs::file_size(to / name, error);
        }
    }
    return bytes;
}

const DiskTree& TypicalTree() {
    static const DiskTree tree = [] {
        const char* chosen = std::getenv("ZQ_BENCH_TREE");
        const fs::path source = chosen != nullptr ? chosen : "/usr/share/doc";
        DiskTree made{ScratchRoot(), "typical"};
        if (made.parent.empty()) made.error = "cannot make a scratch directory";
        if (!made.error.empty()) return made;
        made.bytes = CopyTree(source, fs::path(made.parent) / made.name);
        if (made.bytes == 0) made.error = "nothing to copy from " + source.string();
        return made;
    }();
    return tree;
}

// Starts a program with its standard input and output on the given descriptors.
pid_t Spawn(const std::vector<std::string>& args, int input, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, 0);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, 1);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a program started through run_measured; true when it exited with 0.
// Its peak resident memory (KiB), which run_measured wrote to peakFile, is added to
// peakKiB.
bool Reap(pid_t pid, const std::string& peakFile, long* peakKiB) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
    std::ifstream peak(peakFile);
    long kib = 0;
    if (!(peak >> kib)) return false;
    *peakKiB += kib;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

uint64_t SizeOf(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

double NowSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Runs the tool (or the tar and gzip pipeline) once per iteration on the tree.
void RunWholeTool(benchmark::State& state, const DiskTree& tree, bool peer) {
    if (!tree.error.empty()) {
        state.SkipWithError(tree.error.c_str());
        return;
    }
    const std::string output = ScratchRoot() + (peer ? "/out.tar.gz" : "/out.zqa");
    const std::string peak = ScratchRoot() + "/peak", gzipPeak = ScratchRoot() + "/gzip-peak";
    long peakKiB = 0;
    for (auto _ : state) {
        const double start = NowSeconds();
        const int sink = open(peer ? output.c_str() : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        long runPeak = 0;
        bool ok = false;
        int pipeEnds[2];
        if (!peer) {
            ok = Reap(Spawn({ZQ_RUN_MEASURED, peak, ZQ_PACK_TOOL, tree.parent + "/" + tree.name, output}, -1, sink),
                      peak, &runPeak);
        } else if (pipe2(pipeEnds, O_CLOEXEC) == 0) {
            const pid_t tar = Spawn({ZQ_RUN_MEASURED, peak, "tar", "cf", "-", "-C", tree.parent, tree.name}, -1, pipeEnds[1]);
            const pid_t gzip = Spawn({ZQ_RUN_MEASURED, gzipPeak, "gzip", "-6"}, pipeEnds[0], sink);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            const bool tarOk = Reap(tar, peak, &runPeak);
            ok = Reap(gzip, gzipPeak, &runPeak) && tarOk;
        }
        close(sink);
        state.SetIterationTime(NowSeconds() - start);
        if (!ok) state.SkipWithError(peer ? "tar | gzip -6 failed" : "zqa_pack failed");
        peakKiB = std::max(peakKiB, runPeak);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(tree.bytes));
    state.counters["peak_MiB"] = double(peakKiB) / 1024;
    state.counters["tree_MiB"] = double(tree.bytes) / (1 << 20);
    state.counters["ratio"] = double(SizeOf(output)) / double(tree.bytes);
}

void BM_ToolIncompressible(benchmark::State& state) { RunWholeTool(state, IncompressibleTree(), false); }
void BM_TarGzip6Incompressible(benchmark::State& state) { RunWholeTool(state, IncompressibleTree(), true); }
void BM_ToolTypical(benchmark::State& state) { RunWholeTool(state, TypicalTree(), false); }
void BM_TarGzip6Typical(benchmark::State& state) { RunWholeTool(state, TypicalTree(), true); }

// Keeps each whole-tool run's time and counters for the closing table.
struct WholeToolRuns {
    std::vector<double> seconds;
    double peakMiB = 0, treeMiB = 0, ratio = 0;
};

class WholeToolReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, WholeToolRuns> runs;

    void ReportRuns(const std::vector<Run>& reported) override {
        for (const Run& run : reported) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
            if (run.counters.find("peak_MiB") == run.counters.end()) continue;
            WholeToolRuns& kept = runs[run.run_name.function_name];
            kept.seconds.push_back(run.real_accumulated_time / double(run.iterations));
            kept.peakMiB = std::max(kept.peakMiB, double(run.counters.at("peak_MiB")));
            kept.treeMiB = run.counters.at("tree_MiB");
            kept.ratio = run.counters.at("ratio");
        }
        ConsoleReporter::ReportRuns(reported);
    }

    void PrintTable() {
        std::printf("\n%-15s %8s | %-26s | %-26s | %8s\n", "", "", "zqa_pack", "tar | gzip -6", "time");
        std::printf("%-15s %8s | %7s %7s %5s %5s | %7s %7s %5s %5s | %8s\n", "tree", "MiB", "median", "best",
                    "MiB", "ratio", "median", "best", "MiB", "ratio", "ours/gz");
        for (const char* set : {"Incompressible", "Typical"}) {
            const auto ours = runs.find(std::string("BM_Tool") + set), peer = runs.find(std::string("BM_TarGzip6") + set);
            if (ours == runs.end() || peer == runs.end()) continue;
            const double oursMedian = Median(ours->second.seconds), peerMedian = Median(peer->second.seconds);
            std::printf("%-15s %8.1f | %6.2fs %6.2fs %5.0f %5.2f | %6.2fs %6.2fs %5.0f %5.2f | %8.2f\n", set,
                        ours->second.treeMiB, oursMedian, Best(ours->second.seconds), ours->second.peakMiB,
                        ours->second.ratio, peerMedian, Best(peer->second.seconds), peer->second.peakMiB,
                        peer->second.ratio, oursMedian / peerMedian);
        }
    }

private:
    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    static double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }
};

}  // namespace

BENCHMARK(BM_PackIncompressible)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gzip6Incompressible)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackTypical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gzip6Typical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolIncompressible)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarGzip6Incompressible)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToolTypical)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TarGzip6Typical)->Iterations(1)->Repetitions(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    WholeToolReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
