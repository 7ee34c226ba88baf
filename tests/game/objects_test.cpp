// Shots, enemies, formations and enemy bullets.
#include <cmath>

#include "game_test_support.h"
#include "library/core/random.h"

using ObjectsTest = GameTest;

// Each step: the keys held this frame, then readKeys and fireShot; the direction of the
// shot fired (0: none).
TEST_F(ObjectsTest, OnePressFiresOneShot) {
    struct Step {
        std::set<int> keys;
        int fired;
    };
    struct Case {
        const char* name;
        int lives;
        std::vector<Step> steps;
    };
    const std::set<int> none, z = {ScanZ}, x = {ScanX}, both = {ScanZ, ScanX};
    const Case cases[] = {
        {"Z fires down once per press", 0, {{z, 1}, {z, 0}, {z, 0}, {none, 0}, {z, 1}}},
        {"X fires up once per press", 0, {{x, -1}, {x, 0}, {none, 0}, {x, -1}}},
        {"both at once fire one shot, down", 0, {{both, 1}, {both, 0}, {x, 0}, {none, 0}, {x, -1}}},
        // X's latch is cleared while X is up, so X pressed during a held Z fires (down, as Z is down).
        {"X pressed while Z is held", 0, {{z, 1}, {z, 0}, {both, 1}, {both, 0}, {z, 0}, {both, 1}}},
        {"Z pressed while X is held", 0, {{x, -1}, {x, 0}, {both, 1}, {x, 0}, {none, 0}}},
        // Z's latch, set by the X shot, is cleared only by a frame with Z up.
        {"Z pressed the frame after X", 0, {{x, -1}, {both, 0}, {none, 0}}},
        {"no ship, no shot", -1, {{z, 0}, {x, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 40);
        lives = c.lives;
        ship.x = 50;
        int step = 0;
        for (const Step& s : c.steps) {
            SCOPED_TRACE(step++);
            library.keysDown = s.keys;
            readKeys();
            int freeBefore = 0;
            for (const Vector2D& shot : shots) freeBefore += shot.y > 200;
            fireShot();
            int freeAfter = 0;
            int direction = 0;
            for (int i = 0; i < MaxShots; i++) {
                freeAfter += shots[i].y > 200;
                if (shots[i].y == 36 && shots[i].x == 60) direction = shotDirections[i];
            }
            EXPECT_EQ(s.fired != 0, freeAfter == freeBefore - 1);
            if (s.fired) {
                EXPECT_EQ(s.fired, direction);
            }
            for (Vector2D& shot : shots) shot.y = 220;  // the next step looks at its own shot only
        }
    }
}

TEST_F(ObjectsTest, FiringTakesTheLowestFreeSlotAndNeedsOne) {
    clearPlayField(1, 40);
    keyBytes[KeyZ] = 1;
    shots[0].y = shots[1].y = shots[3].y = 100;
    fireShot();
    EXPECT_EQ(36, shots[2].y);
    EXPECT_EQ(1, keyBytes[KeyZLatch]);
    EXPECT_EQ(1, keyBytes[KeyXLatch]);

    keyBytes[KeyZLatch] = keyBytes[KeyXLatch] = 0;
    shots[4].y = 100;
    fireShot();  // all five in flight
    EXPECT_EQ(0, keyBytes[KeyZLatch]);
}

TEST_F(ObjectsTest, ShotsMoveOnePixelAndAMissEndsTheCombo) {
    struct Case {
        float y;
        int direction;
        float after;
        bool comboKept;
        int sprite;  // 0: not drawn
    };
    const Case cases[] = {
        {100, 1, 101, true, 4},  {100, -1, 99, true, 5},  {199, 1, 200, true, 4},  {-9, -1, -10, true, 5},
        {200, 1, 1200, false, 0}, {209, 1, 1200, false, 0}, {-10, -1, 1200, false, 0},
        {210, 1, 210, true, 0},   // spent by a hit
        {220, 1, 220, true, 0},   // parked by a stage start
        {1200, 1, 1200, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << " moving " << c.direction);
        resetAll();
        clearPlayField(1, 40);
        combo = 9;
        shots[2] = Vector2D(30, c.y);
        shotDirections[2] = c.direction;
        moveShots();
        EXPECT_EQ(c.after, shots[2].y);
        EXPECT_EQ(c.comboKept ? 9 : 0, combo);
        ASSERT_EQ(c.sprite ? 1u : 0u, library.draws.size());
        if (c.sprite) {
            std::vector<DrawCall> drawn = drawsOf(c.sprite);
            ASSERT_EQ(1u, drawn.size());
            EXPECT_EQ(30, drawn[0].x);
            EXPECT_EQ(static_cast<int>(c.after), drawn[0].y);
        }
    }
}

TEST_F(ObjectsTest, ShotFiredDownMissesAtTheBottomAfter164Frames) {
    clearPlayField(1, 40);
    combo = 5;
    keyBytes[KeyZ] = 1;
    fireShot();
    ASSERT_EQ(36, shots[0].y);
    for (int frame = 0; frame < 164; frame++) moveShots();
    EXPECT_EQ(200, shots[0].y);
    EXPECT_EQ(5, combo);
    moveShots();
    EXPECT_EQ(0, combo);
    EXPECT_EQ(1200, shots[0].y);
}

TEST_F(ObjectsTest, ShotsStopWithoutAShip) {
    clearPlayField(1, 40);
    lives = -1;
    shots[0] = Vector2D(30, 100);
    shotDirections[0] = 1;
    shots[1] = Vector2D(30, 200);
    combo = 4;
    moveShots();
    EXPECT_EQ(100, shots[0].y);
    EXPECT_EQ(200, shots[1].y);
    EXPECT_EQ(4, combo);
}

TEST_F(ObjectsTest, EnemiesAppearWhereTheStageSays) {
    struct Case {
        int stage;
        int waterline;
        int random;
        int bound;
        float x;
        float y;
    };
    const Case cases[] = {
        {1, 40, 0, 120, -26, 60},   {1, 40, 1, 120, 150, 61},  {1, 40, 120, 120, -26, 180},
        {4, 110, 7, 50, 150, 137},
        // A waterline left high by Backspace: the bound is negative and the rows run from 180 down.
        {1, 170, 0, -10, -26, 190},   {4, 170, -9, -10, 150, 181},
        {2, 170, 150, 150, -26, 150}, {5, 40, 7, 20, 150, 7},
        {3, 110, 95, 190, 150, 65},   {3, 110, 90, 190, -26, 90},  {3, 110, 120, 190, -26, 120},
        {6, 110, 119, 190, 150, 89},  {6, 110, 91, 190, 150, 61},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stage " << c.stage << ", random " << c.random);
        resetAll();
        clearPlayField(c.stage, c.waterline);
        enemies[0].y = 100;  // taken: the lowest free slot is 1
        library.randomValues = {c.random};
        spawnEnemy();
        EXPECT_EQ(std::vector<int>{c.bound}, library.randomBounds);
        EXPECT_EQ(c.x, enemies[1].x);
        EXPECT_EQ(c.y, enemies[1].y);
    }
}

// The sea stages put an enemy on a row from W + 20 to 180, either way round: a waterline
// above 160 (kept from a game left with Backspace) asks for a negative bound. Drawn
// through the library's own mapping over random words spread across the 32-bit range.
TEST_F(ObjectsTest, SeaEnemiesSpreadOverEveryRowBetweenTheSurfaceAnd180) {
    struct Case {
        int waterline, bound, lowestRow, highestRow;
    };
    const Case cases[] = {{40, 120, 60, 180}, {110, 50, 130, 180}, {160, 0, 180, 180},
                          {162, -2, 180, 182}, {170, -10, 180, 190}};
    // 4096 words evenly from 0, and the highest.
    std::vector<uint32_t> words;
    for (uint32_t k = 0; k < 4096; k++) words.push_back(k << 20);
    words.push_back(0xFFFFFFFFu);
    for (int stage : {1, 4}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "stage " << stage << ", waterline " << c.waterline);
            resetAll();
            clearPlayField(stage, c.waterline);
            std::set<int> rows;
            for (uint32_t word : words) {
                library.randomRule = [word](int n) { return MapRandomToRange(word, n); };
                library.randomBounds.clear();
                enemies[0].y = 1000;  // free again
                spawnEnemy();
                ASSERT_EQ(std::vector<int>{c.bound}, library.randomBounds);
                rows.insert(static_cast<int>(enemies[0].y));
            }
            EXPECT_EQ(c.lowestRow, *rows.begin());
            EXPECT_EQ(c.highestRow, *rows.rbegin());
            EXPECT_EQ(static_cast<size_t>(c.highestRow - c.lowestRow + 1), rows.size()) << "a row is never taken";
        }
    }
}

TEST_F(ObjectsTest, NoEnemyAppearsInOtherStagesOrWithoutAFreeSlot) {
    const int stages[] = {0, 7};
    for (int s : stages) {
        SCOPED_TRACE(s);
        resetAll();
        clearPlayField(s, 40);
        spawnEnemy();
        EXPECT_EQ(1000, enemies[0].y);
        EXPECT_TRUE(library.randomBounds.empty());
    }
    resetAll();
    clearPlayField(1, 40);
    for (Vector2D& enemy : enemies) enemy = Vector2D(50, 100);
    spawnEnemy();
    EXPECT_TRUE(library.randomBounds.empty());
}

TEST_F(ObjectsTest, FormationsEnterInEightFromOneSideWithTheSideParity) {
    const float expectedX[2][FormationSize] = {{160, 160, 170, 170, 170, 170, 180, 180},
                                               {-10, -10, -20, -20, -20, -20, -30, -30}};
    const float rowY[FormationSize] = {4, 6, 2, 4, 6, 8, 4, 8};  // 2 * row
    for (int side = 0; side < 2; side++) {
        SCOPED_TRACE(side);
        resetAll();
        clearPlayField(7, 40);
        library.randomValues = {7};  // rounded down to 6: base 26
        spawnFormation(side);
        EXPECT_EQ(std::vector<int>{100}, library.randomBounds);
        for (int k = 0; k < FormationSize; k++) {
            EXPECT_EQ(expectedX[side][k], enemies[k].x) << k;
            EXPECT_EQ(rowY[k] + 40 + 26 + (side == 0 ? 1 : 0), enemies[k].y) << k;
            EXPECT_EQ(side == 0 ? 1 : 0, static_cast<int>(enemies[k].y) % 2) << k;
        }
        EXPECT_EQ(1000, enemies[FormationSize].y);
    }
}

TEST_F(ObjectsTest, FormationMembersWithoutASlotAreSkipped) {
    clearPlayField(7, 40);
    for (int i = 0; i < MaxEnemies - 3; i++) enemies[i] = Vector2D(50, 100);
    spawnFormation(1);
    for (int i = MaxEnemies - 3; i < MaxEnemies; i++) EXPECT_EQ(-10.0f * formationColumns[i - (MaxEnemies - 3)], enemies[i].x);
}

TEST_F(ObjectsTest, EnemiesFlyTheirWayAndFaceIt) {
    struct Case {
        const char* name;
        Vector2D at;
        float x;
        int sprite;
        bool mirrored;
    };
    const Case cases[] = {
        {"even y in the sea moves right", {50, 100}, 50.7f, 6, false},
        {"odd y in the sea moves left, mirrored", {50, 101}, 49.3f, 6, true},
        {"in the sky", {50, 20}, 50.7f, 7, false},
        {"odd y in the sky", {50, 21}, 49.3f, 7, true},
        {"on the surface counts as sky", {50, 40}, 50.7f, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 40);
        enemies[3] = c.at;
        EXPECT_EQ(0, moveEnemies());
        EXPECT_FLOAT_EQ(c.x, enemies[3].x);
        std::vector<DrawCall> drawn = drawsOf(c.sprite);
        ASSERT_EQ(1u, drawn.size());
        EXPECT_EQ(static_cast<int>(c.x), drawn[0].x);
        EXPECT_EQ(static_cast<int>(c.at.y), drawn[0].y);
        EXPECT_EQ(c.mirrored, drawn[0].mirrored);
        EXPECT_EQ(1, drawn[0].transparent);
    }
    resetAll();
    clearPlayField(1, 40);
    EXPECT_EQ(1, moveEnemies());
}

TEST_F(ObjectsTest, EnemiesFireWithTheOddsOfTheirStage) {
    const int cases[][2] = {{0, 250}, {1, 250}, {3, 250}, {4, 70}, {6, 70}, {7, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        resetAll();
        clearPlayField(c[0], 40);
        enemies[0] = Vector2D(50, 20);
        library.randomValues = {2};
        moveEnemies();
        EXPECT_EQ(std::vector<int>{c[1]}, library.randomBounds);
        EXPECT_FLOAT_EQ(50.7f + 13, enemyBullets[0].x);
    }
}

// Stage 7 parks an enemy only once it has left on the side it flies toward, so that
// formations, which start outside, still enter; other stages park any enemy outside.
TEST_F(ObjectsTest, EnemiesLeavingTheScreenAreParked) {
    struct Case {
        const char* name;
        int stage;
        Vector2D at;
        bool parked;
    };
    const Case cases[] = {
        {"right-mover still on screen", 1, {149, 100}, false},
        {"right-mover past the right edge", 1, {150, 100}, true},
        {"left-mover past the left edge", 1, {-26, 101}, true},
        {"right-mover outside left", 1, {-30, 100}, true},
        {"left-mover outside right", 1, {160, 101}, true},
        {"stage 7: right-mover entering from the left", 7, {-30, 100}, false},
        {"stage 7: left-mover entering from the right", 7, {180, 101}, false},
        {"stage 7: right-mover past the right edge", 7, {150, 100}, true},
        {"stage 7: left-mover past the left edge", 7, {-26, 101}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(c.stage, 40);
        enemies[0] = c.at;
        moveEnemies();
        EXPECT_EQ(c.parked, enemies[0].y == 1000);
    }
}

// Without parking, stage 7 fills all 300 slots after about 300 formation members and
// never spawns again.
TEST_F(ObjectsTest, FormationStageKeepsSpawning) {
    clearPlayField(7, 40);
    bool formationDue = false;
    library.randomRule = [&formationDue](int n) {
        if (n != 80 || !formationDue) return 0;
        formationDue = false;
        return 3;  // a formation from the right
    };
    int formations = 0;
    for (int frame = 0; frame < 6000; frame++) {
        formationDue = frame % 40 == 0;
        formations += formationDue;
        stepStageScript();
        library.draws.clear();
        library.randomBounds.clear();
    }
    auto freeSlots = [] {
        int count = 0;
        for (const Vector2D& enemy : enemies) count += enemy.y > 200;
        return count;
    };
    ASSERT_GT(formations * FormationSize, 2 * MaxEnemies);
    int freeBefore = freeSlots();
    spawnFormation(1);
    EXPECT_EQ(freeBefore - FormationSize, freeSlots());
}

TEST_F(ObjectsTest, SkyEnemiesDropBulletsAndSeaEnemiesAimAtTheShip) {
    struct Case {
        const char* name;
        Vector2D from;
        int spread;       // the random value, 0..50
        Vector2D toward;  // the direction before normalising; (0, 1) falls
    };
    const Case cases[] = {
        {"sky", {20, 30}, -1, {0, 1}},
        {"on the surface", {20, 40}, -1, {0, 1}},
        {"sea, no spread", {20, 100}, 25, {43, -68}},
        {"sea, spread left", {20, 100}, 0, {18, -68}},
        {"sea, spread right", {20, 100}, 50, {68, -68}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 40);
        ship.x = 50;  // ship y 31
        enemyBullets[0].x = 100;  // taken: the lowest free slot is 1
        if (c.spread >= 0) library.randomValues = {c.spread};
        enemyFire(c.from);
        EXPECT_EQ(c.spread >= 0 ? std::vector<int>{50} : std::vector<int>{}, library.randomBounds);
        EXPECT_EQ(c.from.x + 13, enemyBullets[1].x);
        EXPECT_EQ(c.from.y + 1, enemyBullets[1].y);
        double length = std::hypot(c.toward.x, c.toward.y);
        EXPECT_NEAR(c.toward.x / length, bulletVelocities[1].x, 1e-6);
        EXPECT_NEAR(c.toward.y / length, bulletVelocities[1].y, 1e-6);
        EXPECT_NEAR(1.0, std::hypot(bulletVelocities[1].x, bulletVelocities[1].y), 1e-6);
    }
}

TEST_F(ObjectsTest, EnemiesCannotFireWithoutAFreeBullet) {
    clearPlayField(1, 40);
    for (Vector2D& bullet : enemyBullets) bullet.x = 150;
    enemyFire(Vector2D(20, 30));
    for (const Vector2D& bullet : enemyBullets) EXPECT_EQ(150, bullet.x);
}

TEST_F(ObjectsTest, SkyBulletsSpeedUpToThree) {
    struct Case {
        float y;
        float speedBefore;
        float speedAfter;
    };
    const Case cases[] = {{20, 1.0f, 1.05f}, {20, 2.99f, 3.04f}, {20, 3.0f, 3.0f}, {120, 1.0f, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << " at " << c.speedBefore);
        resetAll();
        clearPlayField(1, 100);
        enemyBullets[0] = Vector2D(50, c.y);
        bulletVelocities[0] = Vector2D(0.5f, c.speedBefore);
        moveEnemyBullets();
        EXPECT_FLOAT_EQ(c.speedAfter, bulletVelocities[0].y);
        EXPECT_FLOAT_EQ(50 + 0.5f * 0.7f, enemyBullets[0].x);
        EXPECT_FLOAT_EQ(c.y + c.speedAfter * 0.7f, enemyBullets[0].y);
    }

    // A bullet falling from the top reaches top speed and keeps it.
    resetAll();
    clearPlayField(1, 190);
    enemyBullets[0] = Vector2D(50, 0);
    bulletVelocities[0] = Vector2D(0, 1);
    float top = 0;
    for (int frame = 0; frame < 80 && enemyBullets[0].x == 50; frame++) {
        moveEnemyBullets();
        top = std::max(top, bulletVelocities[0].y);
    }
    EXPECT_GE(top, 3.0f);
    EXPECT_LT(top, 3.05f);
}

// Each bullet moves at top speed (2.1 px down per frame) to the position in the table,
// on waterline 100.
TEST_F(ObjectsTest, BulletsAreParkedOffScreenAndNeverCrossTheSurface) {
    struct Case {
        const char* name;
        Vector2D after;
        bool parked;
    };
    const Case cases[] = {
        {"above the surface, clear of it", {50, 97.9f}, false},
        {"2 px above the surface", {50, 98}, true},
        {"2 px below the surface", {50, 102}, true},
        {"below the surface, clear of it", {50, 102.1f}, false},
        {"at the bottom", {50, 200}, false},
        {"past the bottom", {50, 200.1f}, true},
        {"at the left edge", {-5, 150}, false},
        {"past the left edge", {-5.1f, 150}, true},
        {"at the right edge", {150, 150}, false},
        {"past the right edge", {150.1f, 150}, true},
    };
    const float step = 3.0f * 0.7f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 100);
        Vector2D before(c.after.x, c.after.y - step);
        ASSERT_EQ(c.after.y, before.y + step) << "the table needs a position reached exactly";
        enemyBullets[5] = before;
        bulletVelocities[5] = Vector2D(0, 3);
        moveEnemyBullets();
        if (c.parked) {
            EXPECT_EQ(1000, enemyBullets[5].x);
            EXPECT_EQ(1000, enemyBullets[5].y);
        } else {
            EXPECT_EQ(c.after.x, enemyBullets[5].x);
            EXPECT_EQ(c.after.y, enemyBullets[5].y);
        }
        EXPECT_EQ(static_cast<size_t>(MaxBullets), drawsOf(bulletSprite).size());  // parked ones too
    }
}
