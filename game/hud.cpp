// hud.cpp - what the play scene shows on top of the field: the sliding stage banner and
// the score counter drawn with the digit sprites of the sprite sheet.
#include "game.h"
#include "zqlib.h"

int drawStageBanner(int stageNumber) {
    if (bannerX > ScreenWidth) return 0;
    // Races in, crawls across the middle, races out.
    bannerX += (bannerX < 42 || bannerX > 65) ? 5 : 1;
    DrawFormattedTextAt(bannerX, 100, ComposeColorValue(255, 255, 255), "stage:%d", stageNumber);
    return 1;
}

namespace {

// Each step is tested against the value the steps before it already raised.
struct CatchUpStep {
    int margin;
    int step;
};

const CatchUpStep catchUpSteps[] = {{100000, 20000}, {10000, 2000}, {1000, 200}, {100, 20}, {50, 2}, {0, 1}};

constexpr int DigitWidth = 6;
constexpr int DigitHeight = 7;
constexpr int DigitStripY = 26;  // digit d sits at (6 * d, 26) on the sprite sheet
constexpr int ScoreDigits = 9;

}  // namespace

void drawScore() {
    for (const CatchUpStep& catchUp : catchUpSteps)
        if (score - catchUp.margin > displayedScore) displayedScore += catchUp.step;

    DrawGraphPartAt(60, 5, 0, 11, 33, 7, spriteSheet, 1, 0);  // the score label
    // All nine digits, ones at the right, with leading zeros.
    int power = 1;
    for (int i = 0; i < ScoreDigits; i++) {
        int digit = (displayedScore % (power * 10) - displayedScore % power) / power;
        DrawGraphPartAt(140 - DigitWidth * i, 5, DigitWidth * digit, DigitStripY, DigitWidth, DigitHeight, spriteSheet, 1, 0);
        power *= 10;
    }
}
