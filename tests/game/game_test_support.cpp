// game_test_support.cpp - the fixture and helpers of the game's rule tests.
#include "game_test_support.h"

#include <fstream>
#include <iterator>

void GameTest::SetUp() {
    ASSERT_TRUE(scratch.enter());
    resetAll();
}

void resetAll() {
    resetGameState();
    resetLibraryDouble();
    giveSpritesHandles();
}

void giveSpritesHandles() {
    spriteSheet = 1;
    shipSprite = 2;
    scoreMarkSprite = 3;
    shotDownSprite = 4;
    shotUpSprite = 5;
    seaEnemySprite = 6;
    skyEnemySprite = 7;
    bulletSprite = 8;
    for (int i = 0; i < ExplosionFrames; i++) {
        seaExplosionCells[i] = 100 + i;
        skyExplosionCells[i] = 200 + i;
    }
}

void clearPlayField(int stageNumber, int waterlineY) {
    scene = ScenePlay;
    waterline = waterlineY;
    ship.y = static_cast<float>(waterlineY - 9);
    startStage(stageNumber);
    ship.y = static_cast<float>(waterlineY - 9);
    for (Vector2D& velocity : bulletVelocities) velocity = Vector2D(0, 0);
}

std::vector<DrawCall> drawsOf(int graph) {
    std::vector<DrawCall> found;
    for (const DrawCall& call : library.draws)
        if ((call.kind == DrawCall::Graph || call.kind == DrawCall::GraphPart) && call.graph == graph) found.push_back(call);
    return found;
}

std::vector<DrawCall> textDraws() {
    std::vector<DrawCall> found;
    for (const DrawCall& call : library.draws)
        if (call.kind == DrawCall::Text) found.push_back(call);
    return found;
}

const DrawCall* findText(const std::string& text) {
    for (const DrawCall& call : library.draws)
        if (call.kind == DrawCall::Text && call.text == text) return &call;
    return nullptr;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
