// Hits, explosions and their chain reaction, the combo and the score, and the ship's death.
#include "game_test_support.h"

using CollisionsTest = GameTest;

// An enemy at (50, 100); a shot, bullet or explosion just inside or just outside its box.
TEST_F(CollisionsTest, ShotsHitEnemiesInsideTheirBox) {
    struct Case {
        float x;
        float y;
        bool hit;
    };
    const Case cases[] = {{47, 100, true}, {46, 100, false}, {75, 100, true}, {76, 100, false},
                          {60, 97, true},  {60, 96, false},  {60, 107, true}, {60, 108, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        resetAll();
        clearPlayField(1, 40);
        enemies[4] = Vector2D(50, 100);
        shots[1] = Vector2D(c.x, c.y);
        hitEnemiesWithShots();
        EXPECT_EQ(c.hit, enemies[4].y == 1000);
        EXPECT_EQ(c.hit ? 210 : c.y, shots[1].y);
        EXPECT_EQ(c.hit ? 101 : 0, score);
        if (c.hit) {  // the explosion is centred on the enemy
            EXPECT_EQ(62 - 16, explosions[0].x);
            EXPECT_EQ(105 - 16, explosions[0].y);
            EXPECT_EQ(0, explosions[0].frame);
        }
    }
}

TEST_F(CollisionsTest, ASpentShotHitsNothingMore) {
    clearPlayField(1, 40);
    enemies[0] = Vector2D(50, 100);
    enemies[1] = Vector2D(52, 100);
    shots[0] = Vector2D(60, 100);
    hitEnemiesWithShots();
    EXPECT_EQ(1000, enemies[0].y);
    EXPECT_EQ(100, enemies[1].y);
    EXPECT_EQ(1, combo);
}

TEST_F(CollisionsTest, BulletsHitTheShipInsideItsBox) {
    struct Case {
        float shipX;
        float x;
        float y;
        bool hit;
    };
    const Case cases[] = {{50, 72, 35, true},   {50, 73, 35, false}, {50, 50, 35, true},  {50, 49, 35, false},
                          {50, 60, 42, true},   {50, 60, 43, false}, {50, 60, 28, true},  {50, 60, 27, false},
                          {130, 150, 35, true}, {130, 150.5f, 35, false}};  // a free bullet hits nothing
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        resetAll();
        clearPlayField(1, 40);  // ship y 31
        ship.x = c.shipX;
        enemyBullets[9] = Vector2D(c.x, c.y);
        hitShip();
        EXPECT_EQ(c.hit ? 1 : 2, lives);
        EXPECT_EQ(c.hit ? 70 : 0, deathTimer);
        EXPECT_EQ(c.x, enemyBullets[9].x) << "the bullet flies on";
        if (c.hit) {
            EXPECT_EQ(static_cast<int>(c.shipX + 10) - 16, explosions[0].x);
            EXPECT_EQ(39 - 16, explosions[0].y);
        }
    }
}

TEST_F(CollisionsTest, ExplosionsFromTheirFifthFrameSetOffEnemiesInsideTheirArea) {
    struct Case {
        float x;
        float y;
        int frame;
        bool hit;
    };
    const Case cases[] = {{24, 90, 4, true},  {23, 90, 4, false}, {74, 90, 4, true},  {75, 90, 4, false},
                          {40, 79, 4, true},  {40, 78, 4, false}, {40, 107, 4, true}, {40, 108, 4, false},
                          {40, 90, 3, false}, {40, 90, 9, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " frame " << c.frame);
        resetAll();
        clearPlayField(1, 40);
        enemies[2] = Vector2D(50, 100);
        explosions[0].x = c.x;
        explosions[0].y = c.y;
        explosions[0].frame = c.frame;
        chainExplosions();
        EXPECT_EQ(c.hit, enemies[2].y == 1000);
        EXPECT_EQ(c.hit ? 201 : 0, score);
        EXPECT_EQ(c.hit ? 0 : 10, explosions[1].frame);
    }
}

TEST_F(CollisionsTest, ComboRisesToNinetyNineAndScoresItsSquare) {
    struct Case {
        bool chain;  // else a shot
        int comboBefore;
        int comboAfter;
        int points;
    };
    const Case cases[] = {{false, 0, 1, 101},    {false, 2, 3, 109},     {false, 98, 99, 9901},
                          {false, 99, 99, 9901}, {true, 0, 1, 201},      {true, 99, 99, 10001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.chain ? "chain" : "shot") << " at " << c.comboBefore);
        resetAll();
        clearPlayField(1, 40);
        combo = c.comboBefore;
        score = 1000;
        enemies[0] = Vector2D(50, 100);
        if (c.chain) {
            explosions[0].x = 40;
            explosions[0].y = 90;
            explosions[0].frame = 5;
            chainExplosions();
        } else {
            shots[0] = Vector2D(60, 100);
            hitEnemiesWithShots();
        }
        EXPECT_EQ(c.comboAfter, combo);
        EXPECT_EQ(1000 + c.points, score);
    }
}

TEST_F(CollisionsTest, WithoutAFreeExplosionSlot) {
    // A shot's hit still counts, but the enemy flies on.
    clearPlayField(1, 40);
    for (bakuhatu& explosion : explosions) explosion.frame = 0;
    enemies[0] = Vector2D(50, 100);
    shots[0] = Vector2D(60, 100);
    hitEnemiesWithShots();
    EXPECT_EQ(100, enemies[0].y);
    EXPECT_EQ(210, shots[0].y);
    EXPECT_EQ(101, score);

    // A chain does nothing at all.
    explosions[0] = bakuhatu();
    explosions[0].x = 40;
    explosions[0].y = 90;
    explosions[0].frame = 5;
    for (int i = 1; i < MaxExplosions; i++) explosions[i].frame = 0;
    chainExplosions();
    EXPECT_EQ(100, enemies[0].y);
    EXPECT_EQ(101, score);
    EXPECT_EQ(1, combo);
}

TEST_F(CollisionsTest, EveryArrayFillsItsLowestFreeSlot) {
    struct Case {
        const char* name;
        void (*take)(int slot);
        void (*add)();
        bool (*filled)(int slot);
    };
    const Case cases[] = {
        {"shots", [](int i) { shots[i].y = 100; }, [] { keyBytes[KeyZ] = 1; fireShot(); },
         [](int i) { return shots[i].y == 36; }},
        {"enemies", [](int i) { enemies[i].y = 100; }, [] { spawnEnemy(); },
         [](int i) { return enemies[i].y == 60; }},
        {"bullets", [](int i) { enemyBullets[i].x = 100; }, [] { enemyFire(Vector2D(20, 30)); },
         [](int i) { return enemyBullets[i].x == 33; }},
        {"explosions", [](int i) { explosions[i].frame = 9; }, [] { startExplosion(5, 6); },
         [](int i) { return explosions[i].x == 5 && explosions[i].frame == 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 40);
        c.take(0);
        c.take(1);
        c.take(3);
        c.add();
        EXPECT_TRUE(c.filled(2));
        EXPECT_FALSE(c.filled(4));
    }
}

TEST_F(CollisionsTest, ExplosionsShowTenFramesFromTheirSideOfTheWater) {
    struct Case {
        float y;
        int firstCell;
    };
    const Case cases[] = {{60, 100}, {40, 200}, {-10, 200}};  // below the waterline the sea strip
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        resetAll();
        clearPlayField(1, 40);
        startExplosion(30, static_cast<int>(c.y));
        for (int frame = 0; frame < ExplosionFrames; frame++) {
            library.draws.clear();
            animateExplosions();
            ASSERT_EQ(1u, library.draws.size());
            EXPECT_EQ(c.firstCell + frame, library.draws[0].graph);
            EXPECT_EQ(30, library.draws[0].x);
            EXPECT_EQ(static_cast<int>(c.y), library.draws[0].y);
        }
        EXPECT_EQ(1000, explosions[0].x);  // parked right after its last frame
        EXPECT_EQ(1000, explosions[0].y);
        EXPECT_EQ(10, explosions[0].frame);
        library.draws.clear();
        animateExplosions();
        EXPECT_TRUE(library.draws.empty());
    }
}

TEST_F(CollisionsTest, LosingTheLastLifeEndsTheGameAfterSeventyFrames) {
    struct Case {
        int lives;
        bool gameOver;
    };
    const Case cases[] = {{0, true}, {2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lives);
        resetAll();
        clearPlayField(3, 110);
        lives = c.lives;
        enemyBullets[0] = Vector2D(85, 105);  // on the ship at (75, 101)
        hitShip();
        ASSERT_EQ(c.lives - 1, lives);
        ASSERT_EQ(70, deathTimer);
        enemyBullets[0] = Vector2D(1000, 1000);
        for (int frame = 0; frame < 70; frame++) hitShip();
        EXPECT_EQ(0, deathTimer);
        EXPECT_EQ(ScenePlay, scene);
        hitShip();
        EXPECT_EQ(c.gameOver ? SceneGameOver : ScenePlay, scene);
        if (c.gameOver) {
            EXPECT_EQ(2, lives);
            EXPECT_EQ(40, waterline);
            EXPECT_EQ(0, sceneCounter);
        }
    }
}

TEST_F(CollisionsTest, TheShipCannotBeHitWhileItBlinks) {
    clearPlayField(1, 40);
    deathTimer = 5;
    enemyBullets[0] = Vector2D(80, 35);  // on the ship at (75, 31)
    hitShip();
    EXPECT_EQ(2, lives);
    EXPECT_EQ(4, deathTimer);
}
