// golden_files.cpp - reading, comparing and rewriting the golden results.
#include "golden_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "game_scripts.h"

namespace {

// Each golden name the tests compare against, the script whose run it holds, and
// whether the run's pictures ("<name>-<frame>.png" for the script's frames) are
// compared as well as the frame checksums ("<name>.crc").
struct GoldenSet {
    const char* name;
    ReplayScript (*script)();
    bool pictures;
};
const GoldenSet GoldenSets[] = {
    {"title", TitleIdleScript, true},
    {"full_game", FullGameScript, true},
    {"score_table", ScoreTableScript, true},
    {"backspace", BackspaceScript, false},
    {"hardware_full_game", FullGameScript, true},      // the device on a 16-bit desktop
    {"hardware_full_game_8888", FullGameScript, false},  // ... and on a 32-bit one
};

std::string GoldenPath(const std::string& file) { return std::string(ZQ_GOLDEN_DIR) + "/" + file; }

// A comparison against a file the folder check does not know would let that file be
// taken for a stray, so it fails at once.
::testing::AssertionResult Listed(const std::string& file) {
    if (GoldenFilesInUse().count(file) != 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << file << " is not a listed golden file: add its set to GoldenSets in "
                                         << "tests/e2e/golden_files.cpp";
}

std::string Describe(const ReplayGameState& g) {
    char text[160];
    std::snprintf(text, sizeof text, "scene %d stage %d waterline %d lives %d deathTimer %d combo %d score %d ship x %.1f",
                  g.scene, g.stage, g.waterline, g.lives, g.deathTimer, g.combo, g.score, static_cast<double>(g.shipX));
    return text;
}

}  // namespace

bool UpdatingGoldens() { return std::getenv("ZQ_E2E_UPDATE_GOLDEN") != nullptr; }

std::set<std::string> GoldenFilesInUse() {
    std::set<std::string> files;
    for (const GoldenSet& set : GoldenSets) {
        files.insert(std::string(set.name) + ".crc");
        if (!set.pictures) continue;
        for (int frame : set.script().pngFrames) files.insert(std::string(set.name) + "-" + std::to_string(frame) + ".png");
    }
    return files;
}

::testing::AssertionResult HoldsOnlyGoldenFilesInUse(const std::string& folder) {
    std::error_code error;
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) present.insert(entry.path().filename().string());
    if (error) return ::testing::AssertionFailure() << "cannot list " << folder << ": " << error.message();
    const std::set<std::string> inUse = GoldenFilesInUse();
    std::string strays, missing;
    for (const std::string& file : present)
        if (inUse.count(file) == 0) strays += " " + file;
    for (const std::string& file : inUse)
        if (present.count(file) == 0) missing += " " + file;
    if (strays.empty() && missing.empty()) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    if (!strays.empty())
        failure << folder << " holds files that no test reads (remove them, or list their set in GoldenSets):" << strays
                << "\n";
    if (!missing.empty()) failure << folder << " lacks golden files the tests read:" << missing << "\n";
    return failure;
}

::testing::AssertionResult MatchesGoldenFrames(const std::string& name, const ReplayRun& run) {
    const std::string path = GoldenPath(name + ".crc");
    if (::testing::AssertionResult listed = Listed(name + ".crc"); !listed) return listed;
    if (UpdatingGoldens()) {
        std::ofstream out(path, std::ios::trunc);
        for (const ReplayFrame& frame : run.frames) {
            char line[16];
            std::snprintf(line, sizeof line, "%08x\n", frame.crc565);
            out << line;
        }
        return out ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "cannot write " << path;
    }
    std::ifstream in(path);
    if (!in) return ::testing::AssertionFailure() << "no golden file " << path;
    std::vector<uint32_t> golden;
    for (std::string line; std::getline(in, line);) golden.push_back(static_cast<uint32_t>(std::stoul(line, nullptr, 16)));
    for (size_t i = 0; i < golden.size() && i < run.frames.size(); i++) {
        if (golden[i] != run.frames[i].crc565) {
            return ::testing::AssertionFailure() << "frame " << i << " differs from " << path << " ("
                                                 << Describe(run.frames[i].game) << ")";
        }
    }
    if (golden.size() != run.frames.size())
        return ::testing::AssertionFailure() << run.frames.size() << " frames, " << path << " has " << golden.size();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatchesGoldenPictures(const std::string& name, const ReplayRun& run) {
    for (const auto& [frame, image] : run.pictures) {
        const std::string path = GoldenPath(name + "-" + std::to_string(frame) + ".png");
        if (::testing::AssertionResult listed = Listed(name + "-" + std::to_string(frame) + ".png"); !listed)
            return listed;
        if (UpdatingGoldens()) {
            if (!WriteReplayPng(path, image)) return ::testing::AssertionFailure() << "cannot write " << path;
            continue;
        }
        std::optional<ReplayImage> golden = ReadReplayPng(path);
        if (!golden) return ::testing::AssertionFailure() << "no golden picture " << path;
        if (golden->width != image.width || golden->height != image.height)
            return ::testing::AssertionFailure() << path << " is " << golden->width << "x" << golden->height;
        for (int y = 0; y < image.height; y++) {
            for (int x = 0; x < image.width; x++) {
                if (Reduce565(golden->at(x, y)) == Reduce565(image.at(x, y))) continue;
                const std::string fresh = std::string(ZQ_MISMATCH_DIR) + "/" + name + "-" + std::to_string(frame) + ".new.png";
                WriteReplayPng(fresh, image);
                char pixel[96];
                std::snprintf(pixel, sizeof pixel, " at (%d, %d): %06x, golden %06x", x, y, image.at(x, y), golden->at(x, y));
                return ::testing::AssertionFailure() << "frame " << frame << " differs from " << path << pixel
                                                     << "; the new picture is " << fresh;
            }
        }
    }
    return ::testing::AssertionSuccess();
}
