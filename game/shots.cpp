// shots.cpp - the ship's shots: fired down into the sea with Z or up into the sky with X,
// 1 px per frame; a shot that leaves the field without a hit ends the combo.
#include "game.h"
#include "zqlib.h"

// One press fires one shot: a shot sets both latches, and each latch is cleared only
// while its own key is up (readKeys).
void fireShot() {
    bool zPressed = keyBytes[KeyZ] == 1 && keyBytes[KeyZLatch] == 0;
    bool xPressed = keyBytes[KeyX] == 1 && keyBytes[KeyXLatch] == 0;
    if (!(zPressed || xPressed) || lives < 0) return;
    for (int i = 0; i < MaxShots; i++) {
        if (shots[i].y > ScreenHeight) {
            shots[i] = Vector2D(ship.x + 10, ship.y + 5);
            shotDirections[i] = keyBytes[KeyZ] == 1 ? 1 : -1;
            keyBytes[KeyZLatch] = 1;
            keyBytes[KeyXLatch] = 1;
            return;
        }
    }
}

// Parked shots: y 210 after a hit, 220 after a stage start, 1200 after a miss.
void moveShots() {
    if (lives < 0) return;
    for (int i = 0; i < MaxShots; i++) {
        Vector2D& shot = shots[i];
        if (shot.y > -10 && shot.y < ScreenHeight) {
            shot.y += static_cast<float>(shotDirections[i]);
            int sprite = shotDirections[i] == 1 ? shotDownSprite : shotUpSprite;
            DrawGraphAt(static_cast<int>(shot.x), static_cast<int>(shot.y), sprite, 1);
        } else if ((shot.y >= ScreenHeight && shot.y < 210) || shot.y <= -10) {
            combo = 0;
            shot.y = 1200;
        }
    }
}
