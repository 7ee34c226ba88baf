// scenes.cpp - the four scenes (title, play, game over, score table) and the switches
// between them.
//
// Title -> play (ship pushed right) -> game over (no life left and the blinking over)
// -> title (Z after 40 frames); title -> score table (ship pushed left) -> title (ship
// pushed right). Backspace returns to the title from anywhere (readKeys).
#include <cstdio>
#include <cstring>

#include "game.h"
#include "zqlib.h"

namespace {

// The ship is the menu cursor: past these x positions it selects.
constexpr float CursorRightEdge = 126.0f;
constexpr float CursorLeftEdge = -1.0f;

int white() { return ComposeColorValue(255, 255, 255); }

int textWidth(const char* text) { return MeasureTextWidth(text, static_cast<int>(std::strlen(text)), 0); }

void drawCentredText(int y, const char* text, int color) {
    DrawTextAt((ScreenWidth - textWidth(text)) / 2, y, text, color, 0);
}

void drawRightAlignedText(int right, int y, const char* text, int color) {
    DrawTextAt(right - textWidth(text), y, text, color, 0);
}

// The arrows of the title and the score table pulse on a 13-frame count.
void countPulse() {
    sceneCounter -= 1;
    if (sceneCounter <= 0) sceneCounter = 13;
}

}  // namespace

void runScene() {
    switch (scene) {
    case SceneTitle: stepTitle(); break;
    case ScenePlay: stepPlay(); break;
    case SceneGameOver: stepGameOver(); break;
    case SceneScoreTable: stepScoreTable(); break;
    default: break;
    }
}

void stepTitle() {
    drawCentredText(50, "Cinderwhirl", white());
    countPulse();
    DrawTextAt(15 - sceneCounter / 3, 100, "<-", white(), 0);
    DrawTextAt(135 - textWidth("->") + sceneCounter / 3, 100, "->", white(), 0);
    DrawTextAt(5, 120, "HiScore", white(), 0);
    drawRightAlignedText(145, 120, "Start", white());

    if (ship.x > CursorRightEdge) startGame();
    if (ship.x < CursorLeftEdge) showHiScoreTable();
    // The cursor moves twice as fast as the ship in play.
    if (keyBytes[KeyRight]) ship.x += 2.0f;
    if (keyBytes[KeyLeft]) ship.x -= 2.0f;
}

void stepPlay() {
    for (int i = 0; i < lives; i++) DrawGraphAt(5 * i, 0, shotDownSprite, 1);
    if (combo > 2) {
        std::snprintf(textBuffer, sizeof textBuffer, "%d HIT!!", combo);
        drawRightAlignedText(147, 180, textBuffer, white());
    }
    if (ship.x > CursorRightEdge) ship.x = CursorRightEdge;
    if (ship.x < CursorLeftEdge) ship.x = CursorLeftEdge;

    moveShots();
    moveEnemyBullets();
    animateExplosions();
    hitShip();
    hitEnemiesWithShots();
    chainExplosions();

    drawStageBanner(stage);
    stepStageScript();
    drawScore();
}

void stepGameOver() {
    sceneCounter += 1;
    if (sceneCounter >= 254) sceneCounter = 40;  // after the first pass it never returns below 40
    if (sceneCounter == 2) rankResult = recordHiScore("data.csp", score);

    int rankX = 250 - 2 * sceneCounter;
    if (rankResult == 1)
        DrawTextAt(rankX, 10, "HISCORE lecorad!!!", white(), 0);
    else if (rankResult >= 2 && rankResult <= 5)
        DrawFormattedTextAt(rankX, 10, white(), "No.%d lecorad!", rankResult);

    drawCentredText(55, "GAME OVER", ComposeColorValue(sceneCounter, 0, 0));
    std::snprintf(textBuffer, sizeof textBuffer, "SCORE:%d", score);
    drawCentredText(100, textBuffer, white());

    if (sceneCounter > 40) {
        int grey = (5 * sceneCounter) % 100 + 100;
        drawCentredText(160, "PUSH Z KEY", ComposeColorValue(grey, grey, grey));
        if (keyBytes[KeyZ] == 1) {
            rankResult = -1;
            showTitle();
        }
    }
}

void stepScoreTable() {
    countPulse();
    DrawTextAt(140 - textWidth("->") + sceneCounter / 3, 45, "->", white(), 0);
    DrawTextAt(40, 10, "HiScore", white(), 0);
    for (int i = 0; i < HiScoreCount; i++) {
        int y = 70 + 22 * i;
        std::snprintf(textBuffer, sizeof textBuffer, "%d", hiScores[i]);
        drawRightAlignedText(140, y, textBuffer, white());
        DrawFormattedTextAt(10, y, white(), "%d.", i + 1);
        if (hiScores[i] == score) DrawGraphAt(8, y + 5, scoreMarkSprite, 1);  // the last game's score
    }
    if (ship.x > CursorRightEdge) showTitle();
    if (ship.x < CursorLeftEdge) ship.x = CursorLeftEdge;
}

void startStage(int n) {
    ship.y = static_cast<float>(waterline);
    enemyCount = 0;
    bannerX = -100;
    for (Vector2D& shot : shots) shot = Vector2D(ship.x, 220.0f);
    for (Vector2D& enemy : enemies) enemy = Vector2D(1000, 1000);
    for (Vector2D& bullet : enemyBullets) bullet = Vector2D(1000, 1000);
    stage = n;
}

// Lives, waterline and the displayed score carry over from wherever the last game left them.
void startGame() {
    startStage(1);
    ship.x = 0;
    scene = ScenePlay;
    score = 0;
    combo = 0;
}

void showHiScoreTable() {
    sceneCounter = 13;
    scene = SceneScoreTable;
    ship.x = 124.0f;
    loadHiScores("data.csp");
}

void showTitle() {
    sceneCounter = 13;
    scene = SceneTitle;
    ship.x = 20.0f;
    loadHiScores("data.csp");
    displayedScore = 0;
}

void enterGameOver() {
    sceneCounter = 0;
    waterline = 40;
    scene = SceneGameOver;
    lives = 2;
    deathTimer = 0;
}
