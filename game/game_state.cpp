// game_state.cpp - the game's global state, its starting values and their reset.
#include <cstring>

#include "game.h"

// Counters and their starting values, listed once for the definitions and the reset.
#define GAME_COUNTERS(X)   \
    X(scene, SceneTitle)   \
    X(stage, 1)            \
    X(waterline, 40)       \
    X(lives, 2)            \
    X(deathTimer, 0)       \
    X(sceneCounter, 0)     \
    X(enemyCount, 0)       \
    X(combo, 0)            \
    X(score, 0)            \
    X(displayedScore, 0)   \
    X(rankResult, -1)      \
    X(bannerX, 0)

#define DEFINE_COUNTER(name, start) int name = start;
GAME_COUNTERS(DEFINE_COUNTER)
#undef DEFINE_COUNTER

#define BUILT_IN_HI_SCORES {1000000, 100000, 10000, 1000, 100}
int hiScores[HiScoreCount] = BUILT_IN_HI_SCORES;
char textBuffer[20];
char fontFaceName[30];

namespace {
const Vector2D shipStart(75, 40);
}

Vector2D ship = shipStart;
Vector2D shots[MaxShots];
int shotDirections[MaxShots];
Vector2D enemies[MaxEnemies];
Vector2D enemyBullets[MaxBullets];
Vector2D bulletVelocities[MaxBullets];
bakuhatu explosions[MaxExplosions];
unsigned char keyBytes[KeyByteCount];
FrameTimeRecord frameTime;

int spriteSheet;
int shipSprite;
int scoreMarkSprite;
int shotDownSprite;
int shotUpSprite;
int seaEnemySprite;
int skyEnemySprite;
int bulletSprite;
int seaExplosionCells[ExplosionFrames];
int skyExplosionCells[ExplosionFrames];

const short formationColumns[FormationSize] = {1, 1, 2, 2, 2, 2, 3, 3};
const short formationRows[FormationSize] = {2, 3, 1, 2, 3, 4, 2, 4};

void resetGameState() {
#define RESET_COUNTER(name, start) name = start;
    GAME_COUNTERS(RESET_COUNTER)
#undef RESET_COUNTER
    const int builtInHiScores[HiScoreCount] = BUILT_IN_HI_SCORES;
    std::memcpy(hiScores, builtInHiScores, sizeof hiScores);
    std::memset(textBuffer, 0, sizeof textBuffer);
    std::memset(fontFaceName, 0, sizeof fontFaceName);
    ship = shipStart;
    for (int i = 0; i < MaxShots; i++) {
        shots[i] = Vector2D();
        shotDirections[i] = 0;
    }
    for (Vector2D& enemy : enemies) enemy = Vector2D();
    for (int i = 0; i < MaxBullets; i++) {
        enemyBullets[i] = Vector2D();
        bulletVelocities[i] = Vector2D();
    }
    for (bakuhatu& explosion : explosions) explosion = bakuhatu();
    std::memset(keyBytes, 0, sizeof keyBytes);
    frameTime = FrameTimeRecord();
    spriteSheet = shipSprite = scoreMarkSprite = shotDownSprite = shotUpSprite = 0;
    seaEnemySprite = skyEnemySprite = bulletSprite = 0;
    for (int i = 0; i < ExplosionFrames; i++) seaExplosionCells[i] = skyExplosionCells[i] = 0;
}
