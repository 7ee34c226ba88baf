// enemies.cpp - enemies: where they appear in each stage, the eight-enemy formations of
// stage 7, and their flight across the screen. An enemy is active while y < 200 and
// free for spawning once y > 200; the parity of its y is its direction for its life
// (even moves right, odd moves left).
#include "game.h"
#include "zqlib.h"

namespace {

constexpr float EnemySpeed = 0.7f;
constexpr float LeftExit = -26.0f;  // an enemy with x below this is off the left side
constexpr float RightExit = 150.0f;

int firstFreeEnemy() {
    for (int i = 0; i < MaxEnemies; i++)
        if (enemies[i].y > ScreenHeight) return i;
    return -1;
}

bool movesRight(const Vector2D& enemy) { return static_cast<int>(enemy.y) % 2 == 0; }

// 1 in 251 per frame up to stage 3, 1 in 71 in stages 4-6, 1 in 101 in stage 7.
bool enemyFires() {
    if (stage <= 3) return GetRandomInt(250) == 2;
    if (stage == 7) return GetRandomInt(100) == 2;
    return GetRandomInt(70) == 2;
}

// Formation members start outside the screen, so stage 7 parks an enemy only once it has
// left on the side it moves toward; the other stages park any enemy outside.
bool hasLeftScreen(const Vector2D& enemy) {
    if (stage != 7) return enemy.x < LeftExit || enemy.x > RightExit;
    return movesRight(enemy) ? enemy.x > RightExit : enemy.x < LeftExit;
}

}  // namespace

void spawnEnemy() {
    int slot = firstFreeEnemy();
    if (slot < 0) return;
    int w = waterline;
    int y;
    switch (stage) {
    case 1:
    case 4:  // in the sea
        y = GetRandomInt(160 - w) + w + 20;
        break;
    case 2:
    case 5:  // in the sky
        y = GetRandomInt(w - 20);
        break;
    case 3:
    case 6:  // both, kept clear of the surface
        y = GetRandomInt(190);
        if (w - 20 < y && y < w + 10) y -= 30;
        break;
    default:
        return;
    }
    // An even y enters from the left, an odd y from the right.
    enemies[slot] = Vector2D(static_cast<float>(176 * (y & 1) - 26), static_cast<float>(y));
}

void spawnFormation(int side) {
    int w = waterline;
    int r = GetRandomInt(140 - w);
    int base = 2 * (r / 2) + 20;
    for (int k = 0; k < FormationSize; k++) {
        int slot = firstFreeEnemy();
        if (slot < 0) continue;
        if (side == 1)
            enemies[slot] = Vector2D(-10.0f * formationColumns[k], static_cast<float>(2 * formationRows[k] + w + base));
        else
            enemies[slot] = Vector2D(10.0f * formationColumns[k] + 150, static_cast<float>(2 * formationRows[k] + w + base + 1));
    }
}

int moveEnemies() {
    bool noneActive = true;
    for (Vector2D& enemy : enemies) {
        if (enemy.y < ScreenHeight) {
            noneActive = false;
            enemy.x += movesRight(enemy) ? EnemySpeed : -EnemySpeed;
            if (enemyFires()) enemyFire(enemy);
            int sprite = enemy.y > waterline ? seaEnemySprite : skyEnemySprite;
            int x = static_cast<int>(enemy.x);
            int y = static_cast<int>(enemy.y);
            if (movesRight(enemy))
                DrawGraphAt(x, y, sprite, 1);
            else
                DrawGraphMirroredAt(x, y, sprite, 1);
        }
        if (hasLeftScreen(enemy)) enemy.y = 1000;
    }
    return noneActive ? 1 : 0;
}
