// collisions.cpp - explosions, the hit tests and scoring: shots against enemies, enemy
// bullets against the ship, and the chain reaction of explosions against enemies.
//
// Every hit raises the combo (at most 99) and scores combo * combo + 100, a chain hit
// combo * combo + 200. An explosion slot is free once its frame is 10 or more.
#include "game.h"
#include "zqlib.h"

namespace {

constexpr int MaxCombo = 99;
constexpr int DeathBlinkFrames = 70;
constexpr int ChainFromFrame = 4;  // an explosion sets off others once shown four frames

void addHit(int points) {
    if (combo < MaxCombo) combo += 1;
    score += combo * combo + points;
}

// An explosion centred on the enemy; false when no explosion slot is free.
bool explodeEnemy(const Vector2D& enemy) {
    return startExplosion(static_cast<int>(enemy.x + 12) - 16, static_cast<int>(enemy.y + 5) - 16) >= 0;
}

}  // namespace

int startExplosion(int x, int y) {
    for (int i = 0; i < MaxExplosions; i++) {
        if (explosions[i].frame < ExplosionFrames) continue;
        explosions[i].x = static_cast<float>(x);
        explosions[i].y = static_cast<float>(y);
        explosions[i].frame = 0;
        return i;
    }
    return -1;
}

void animateExplosions() {
    for (bakuhatu& explosion : explosions) {
        if (explosion.frame >= 0 && explosion.frame < ExplosionFrames) {
            const int* cells = waterline < explosion.y ? seaExplosionCells : skyExplosionCells;
            DrawGraphAt(static_cast<int>(explosion.x), static_cast<int>(explosion.y), cells[explosion.frame], 1);
            explosion.frame += 1;
        }
        if (explosion.frame >= ExplosionFrames) {
            explosion.x = explosion.y = 1000;
            explosion.frame = ExplosionFrames;
        }
    }
}

// The ship cannot be hit while it blinks; after the last life the game is over once
// the blinking has run out.
void hitShip() {
    if (lives < 0 && deathTimer < 1) {
        enterGameOver();
        return;
    }
    if (deathTimer > 0) {
        deathTimer -= 1;
        return;
    }
    for (const Vector2D& bullet : enemyBullets) {
        bool hit = bullet.x <= ScreenWidth && ship.x + 23 > bullet.x && ship.x + 3 < bullet.x + 4 &&
                   ship.y + 12 > bullet.y && bullet.y + 4 > ship.y;
        if (hit) {  // the bullet flies on
            startExplosion(static_cast<int>(ship.x + 10) - 16, static_cast<int>(ship.y + 8) - 16);
            lives -= 1;
            deathTimer = DeathBlinkFrames;
            return;
        }
    }
}

void hitEnemiesWithShots() {
    for (Vector2D& shot : shots) {
        if (shot.y > ScreenHeight) continue;
        for (Vector2D& enemy : enemies) {
            if (enemy.y >= ScreenHeight) continue;
            // A spent shot (y 210) fails the last test, so it hits nothing more.
            bool hit = shot.x + 4 > enemy.x && enemy.x + 26 > shot.x && shot.y + 6 > enemy.y + 2 && enemy.y + 8 > shot.y;
            if (!hit) continue;
            shot.y = 210;
            addHit(100);
            if (explodeEnemy(enemy)) enemy.y = 1000;  // without a free slot it flies on, but it scored
        }
    }
}

// Parked explosions (1000, 1000) and never-used ones (1000, 0) are tested too; they lie
// too far right to touch an enemy.
void chainExplosions() {
    for (int q = 0; q < MaxExplosions; q++) {
        if (explosions[q].frame < ChainFromFrame) continue;
        for (Vector2D& enemy : enemies) {
            if (enemy.y >= ScreenHeight) continue;
            const bakuhatu& blast = explosions[q];
            bool hit = blast.x + 27 > enemy.x && blast.x + 2 < enemy.x + 27 && blast.y + 24 > enemy.y + 2 &&
                       blast.y + 2 < enemy.y + 10;
            if (hit && explodeEnemy(enemy)) {
                enemy.y = 1000;
                addHit(200);
            }
        }
    }
}
