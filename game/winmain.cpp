// winmain.cpp - the game's entry routine: start-up, the 30 ms frame loop and shutdown.
//
// Game motion is per frame, never per millisecond; a frame lasts at least 30 ms from
// its first clock reading, spun out after the present.
#include "game.h"
#include "zqlib.h"

namespace {

constexpr unsigned FramePeriodMs = 30;

// A sprite cut out of the sprite sheet.
struct SpriteRegion {
    int* handle;
    int sourceX;
    int sourceY;
    int width;
    int height;
};

// In the order they are derived.
const SpriteRegion sprites[] = {
    {&shipSprite, 0, 0, 25, 10},      {&scoreMarkSprite, 48, 11, 16, 9}, {&shotDownSprite, 0, 19, 4, 6},
    {&shotUpSprite, 11, 19, 3, 6},    {&seaEnemySprite, 26, 0, 27, 10},  {&skyEnemySprite, 54, 0, 27, 10},
    {&bulletSprite, 5, 19, 5, 5},
};

void loadSprites() {
    spriteSheet = LoadImageToGraph("image01.png", 0);
    for (const SpriteRegion& sprite : sprites)
        *sprite.handle = DeriveSubGraph(sprite.sourceX, sprite.sourceY, sprite.width, sprite.height, spriteSheet);
    LoadImageToDivGraphs("bakuhatu5.png", ExplosionFrames, ExplosionFrames, 1, 32, 32, seaExplosionCells, 0);
    LoadImageToDivGraphs("bakuhatu6.bmp", ExplosionFrames, ExplosionFrames, 1, 32, 32, skyExplosionCells, 0);
}

// Everything after a successful library start-up and before the first frame. No load
// result is looked at: a missing image only leaves its sprite undrawn.
void prepareGame() {
    SelectDrawTarget(BackBufferTarget);
    SetTransparentColorKey(0, 128, 128);

    loadFontName();
    SetDefaultFontFace(fontFaceName, -1);
    SetDefaultFontType(2);
    SetDefaultFontSize(18);

    loadSprites();

    frameTime.previousStamp = 0;
    frameTime.currentStamp = GetTimeMilliseconds(0);
    frameTime.rate = 0;

    for (int i = 0; i < MaxBullets; i++) {
        enemyBullets[i] = Vector2D(1000, 1000);
        bulletVelocities[i] = Vector2D(0, 0);
    }
    loadHiScores("data.csp");
}

// Reads the key into its byte; when it is up, its latch (if any) is cleared too.
void readKey(int scanCode, KeyByte byte, int latch) {
    keyBytes[byte] = static_cast<unsigned char>(CheckKeyDown(scanCode));
    if (keyBytes[byte] == 0 && latch >= 0) keyBytes[latch] = 0;
}

void drawBackground() {
    DrawBoxShape(0, 0, ScreenWidth, ScreenHeight, ComposeColorValue(1, 1, 1), 1);
    DrawBoxShape(0, 0, ScreenWidth, waterline, ComposeColorValue(0, 158, 158), 1);
    DrawBoxShape(0, waterline, ScreenWidth, ScreenHeight, ComposeColorValue(0, 0, 200), 1);
}

// The ship follows the arrows 2 px per frame and always rides the waterline; it is
// shown while a life is left, blinking 3 frames on, 3 off after a hit.
void moveAndDrawShip() {
    if (keyBytes[KeyRight]) ship.x += 2.0f;
    if (keyBytes[KeyLeft]) ship.x -= 2.0f;
    ship.y = static_cast<float>(waterline - 9);
    if (lives >= 0 && deathTimer % 6 <= 2)
        DrawGraphAt(static_cast<int>(ship.x), static_cast<int>(ship.y), shipSprite, 1);
}

}  // namespace

void readKeys() {
    readKey(ScanLeft, KeyLeft, -1);
    readKey(ScanRight, KeyRight, -1);
    readKey(ScanUp, KeyUp, -1);
    readKey(ScanDown, KeyDown, -1);
    readKey(ScanZ, KeyZ, KeyZLatch);
    readKey(ScanX, KeyX, KeyXLatch);
    readKey(ScanLeftShift, KeyLeftShift, -1);
    if (CheckKeyDown(ScanBackspace)) showTitle();
}

void updateFrameRate() {
    frameTime.previousStamp = frameTime.currentStamp;
    frameTime.currentStamp = GetTimeMilliseconds(0);
    unsigned elapsed = static_cast<unsigned>(frameTime.currentStamp) - static_cast<unsigned>(frameTime.previousStamp);
    frameTime.rate = elapsed != 0 ? 1000.0 / elapsed : 0.0;
}

void runFrame() {
    unsigned start = static_cast<unsigned>(GetTimeMilliseconds(0));
    ClearCurrentScreen();
    drawBackground();
    readKeys();
    moveAndDrawShip();
    runScene();
    updateFrameRate();
    WaitWithMessages(1);
    PresentScreen();
    // Compared as an unsigned difference, so the wrap of the clock does not end the wait early.
    while (static_cast<unsigned>(GetTimeMilliseconds(0)) - start < FramePeriodMs) {
    }
}

bool frameLoopEnds() { return ProcessMessage() == -1 || CheckKeyDown(ScanEscape) == 1; }

int WinMain(PlatformModule*, PlatformModule*, char*, int) {
    SetScreenMode(ScreenWidth, ScreenHeight, 16, 60);
    ChangeWindowMode(1);
    SetWindowTitleText("Cinderwhirl");
    SetWindowIconResource(101);
    if (InitializeLibrary() == -1) return -1;

    prepareGame();
    do {
        runFrame();
    } while (!frameLoopEnds());

    ShutdownLibrary();
    return 0;
}
