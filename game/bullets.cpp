// bullets.cpp - enemy bullets: they fall straight down from the sky, accelerating, and
// are aimed at the ship from the sea; none ever crosses the water surface. A bullet is
// free once x > 150.
#include <cmath>

#include "game.h"
#include "zqlib.h"

namespace {

constexpr float BulletStep = 0.7f;
constexpr float SkyBulletAcceleration = 0.05f;
constexpr float SkyBulletTopSpeed = 3.0f;

void parkBullet(int i) { enemyBullets[i] = Vector2D(1000, 1000); }

}  // namespace

void enemyFire(const Vector2D& position) {
    for (int i = 0; i < MaxBullets; i++) {
        if (enemyBullets[i].x <= ScreenWidth) continue;
        enemyBullets[i] = Vector2D(position.x + 13, position.y + 1);
        if (waterline >= position.y) {
            bulletVelocities[i] = Vector2D(0, 1);
            return;
        }
        // From the sea: towards the ship, spread by up to 25 px sideways, at speed 1.
        Vector2D aim(ship.x + 13 - position.x, ship.y + 1 - position.y);
        aim.x += static_cast<float>(GetRandomInt(50) - 25);
        double length = std::sqrt(static_cast<double>(aim.x) * aim.x + static_cast<double>(aim.y) * aim.y);
        if (length > 0) aim = Vector2D(static_cast<float>(aim.x / length), static_cast<float>(aim.y / length));
        bulletVelocities[i] = aim;
        return;
    }
}

void moveEnemyBullets() {
    for (int i = 0; i < MaxBullets; i++) {
        Vector2D& bullet = enemyBullets[i];
        Vector2D& velocity = bulletVelocities[i];
        if (bullet.x <= 200) {
            if (waterline > bullet.y && velocity.y < SkyBulletTopSpeed) velocity.y += SkyBulletAcceleration;
            bullet = bullet + velocity * BulletStep;
        }
        DrawGraphAt(static_cast<int>(bullet.x), static_cast<int>(bullet.y), bulletSprite, 1);
        bool nearSurface = waterline - 2 <= bullet.y && bullet.y <= waterline + 2;
        if (bullet.x < -5 || bullet.x > ScreenWidth || bullet.y > ScreenHeight || nearSurface) parkBullet(i);
    }
}
