// golden_files.h - the golden results of the scripted runs (tests/e2e/golden/).
//
// For each script: "<script>.crc", the CRC-32 of every frame reduced to 5-6-5, one
// hexadecimal number a line (made in the reference display, GDI output on a 16-bit
// desktop, where the reduction loses nothing), and "<script>-<frame>.png" for the
// frames the script names.
//
// To regenerate them after an intended change of what the game shows, run the tests
// with ZQ_E2E_UPDATE_GOLDEN=1; they then write the files instead of comparing:
//     cmake --build build && ZQ_E2E_UPDATE_GOLDEN=1 build/tests/e2e/test_e2e
// and look at the new pictures before committing them.
//
// The folder holds nothing else: every golden name a test compares against is listed
// in GoldenSets (golden_files.cpp) with its script, the comparisons refuse a file not
// listed there, and GoldenFolder.HoldsOnlyTheFilesTheTestsRead fails on any other file.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "game_replay.h"

bool UpdatingGoldens();

// The file names (not paths) of every golden file the tests read.
std::set<std::string> GoldenFilesInUse();

// `folder` (the golden folder, ZQ_GOLDEN_DIR, unless a test gives another) holds exactly
// the files in use: a failure names each stray file and each missing one.
::testing::AssertionResult HoldsOnlyGoldenFilesInUse(const std::string& folder);

// Every frame's reduced checksum against "<name>.crc"; the first differing frame is
// reported with the game's state in it.
::testing::AssertionResult MatchesGoldenFrames(const std::string& name, const ReplayRun& run);

// The run's pictures against "<name>-<frame>.png", pixel by pixel after reduction to
// 5-6-5. A differing picture is written to the build tree as "<name>-<frame>.new.png".
::testing::AssertionResult MatchesGoldenPictures(const std::string& name, const ReplayRun& run);

// A pixel (0xRRGGBB) reduced to 5-6-5.
inline uint32_t Reduce565(uint32_t rgb) { return (rgb >> 8 & 0xF800) | (rgb >> 5 & 0x07E0) | (rgb >> 3 & 0x001F); }
