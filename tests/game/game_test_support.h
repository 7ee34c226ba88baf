// game_test_support.h - the fixture and helpers of the game's rule tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/game.h"
#include "library_double.h"
#include "tests/support/scratch_directory.h"

// Each test starts in a folder of its own (the game reads and writes "data.csp" and
// "font.txt" in the current folder), from the game's starting state and a fresh double.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override;

    ScratchDirectory scratch{"cinderwhirl"};
    std::filesystem::path folder = scratch.path();
};

// Back to the starting state for the next case of a table: game globals, double, sprites.
void resetAll();

// Distinct sprite handles, as if start-up had loaded them.
void giveSpritesHandles();

// A play field with nothing on it: play scene, the given stage and waterline, every
// shot, enemy and bullet parked, every explosion slot free.
void clearPlayField(int stageNumber, int waterlineY);

// Draw calls of one graph, and the texts drawn, since the last ClearCurrentScreen.
std::vector<DrawCall> drawsOf(int graph);
std::vector<DrawCall> textDraws();
const DrawCall* findText(const std::string& text);

// Reads a file whole (empty when it does not exist).
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);
