// golden_files.cpp - reading, comparing and rewriting the golden results.
#include "golden_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string GoldenPath(const std::string& file) { return std::string(ZQ_GOLDEN_DIR) + "/" + file; }

std::string Describe(const ReplayGameState& g) {
    char text[160];
    std::snprintf(text, sizeof text, "scene %d stage %d waterline %d lives %d deathTimer %d combo %d score %d ship x %.1f",
                  g.scene, g.stage, g.waterline, g.lives, g.deathTimer, g.combo, g.score, static_cast<double>(g.shipX));
    return text;
}

}  // namespace

bool UpdatingGoldens() { return std::getenv("ZQ_E2E_UPDATE_GOLDEN") != nullptr; }

::testing::AssertionResult MatchesGoldenFrames(const std::string& name, const ReplayRun& run) {
    const std::string path = GoldenPath(name + ".crc");
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
