// The stage script: the waterline moves to each stage's level before the stage plays,
// and a stage ends once more than 35 enemies came and none is left.
#include "game_test_support.h"

using StageScriptTest = GameTest;

TEST_F(StageScriptTest, WaterlineStepsTowardTheLevelAndNothingElseHappens) {
    struct Case {
        int stage;
        int before;
        int after;
    };
    const Case cases[] = {
        {2, 40, 42},  {2, 169, 171}, {2, 171, 170}, {3, 170, 168}, {3, 100, 101}, {4, 110, 108}, {4, 39, 40},
        {5, 40, 42},  {6, 170, 168}, {6, 109, 110}, {7, 110, 108}, {7, 41, 39},   {7, 39, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stage " << c.stage << " at " << c.before);
        resetAll();
        clearPlayField(c.stage, c.before);
        enemies[0] = Vector2D(50, 120);
        keyBytes[KeyZ] = 1;
        stepStageScript();
        EXPECT_EQ(c.after, waterline);
        EXPECT_TRUE(library.randomBounds.empty()) << "spawned or fired";
        EXPECT_EQ(50, enemies[0].x) << "an enemy moved";
        for (const Vector2D& shot : shots) EXPECT_EQ(220, shot.y) << "the player fired";
    }
}

TEST_F(StageScriptTest, StagePlaysOnceAtItsLevel) {
    struct Case {
        int stage;
        int waterline;
        int spawnBound;  // the chance asked for, 0: none
    };
    const Case cases[] = {
        {1, 97, 40},  // stage 1 plays wherever the water stands
        {1, 170, 40}, {2, 170, 40}, {3, 110, 40}, {4, 40, 40}, {5, 170, 40}, {6, 110, 40},
        {7, 40, 80},  // formations
        {0, 40, 0},   // does nothing
        {8, 40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stage " << c.stage);
        resetAll();
        clearPlayField(c.stage, c.waterline);
        keyBytes[KeyZ] = 1;
        stepStageScript();
        EXPECT_EQ(c.waterline, waterline);
        std::vector<int> expected;
        if (c.spawnBound == 40) expected = {40};
        if (c.spawnBound == 80) expected = {80, 80};
        EXPECT_EQ(expected, library.randomBounds);
        bool fired = shots[0].y < 200;
        EXPECT_EQ(c.spawnBound != 0, fired);
    }
}

TEST_F(StageScriptTest, StageEndsWhenMoreThan35EnemiesCameAndNoneIsLeft) {
    struct Case {
        const char* name;
        int enemyCount;
        bool enemyLeft;
        bool advances;
        std::deque<int> randoms;  // a spawn chance taken, and the new enemy's y
    };
    const Case cases[] = {
        {"36 came, none left", 36, false, true, {3, 0}},
        {"35 came, none left", 35, false, false, {3, 0}},
        {"36 came, one still flying", 36, true, false, {0, 3, 0}},  // first its chance to fire
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(4, 40);
        enemyCount = c.enemyCount;
        if (c.enemyLeft) enemies[7] = Vector2D(60, 100);
        library.randomValues = c.randoms;
        stepStageScript();
        EXPECT_EQ(c.advances ? 5 : 4, stage);
        EXPECT_EQ(c.advances ? 1 : c.enemyCount + 1, enemyCount);
        if (c.advances) {
            EXPECT_EQ(-100, bannerX);
            EXPECT_EQ(0, enemies[0].y) << "spawned by the new stage's rule (sky)";
            EXPECT_EQ((std::vector<int>{40, 20}), library.randomBounds);
        }
    }
}

TEST_F(StageScriptTest, SpawnChanceCountsEnemiesAlsoWithoutAFreeSlot) {
    struct Case {
        const char* name;
        int chance;
        bool slotsFull;
        int counted;
        bool placed;
    };
    const Case cases[] = {
        {"chance taken", 3, false, 1, true},
        {"chance taken, no free slot", 3, true, 1, false},
        {"chance missed", 2, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(1, 40);
        if (c.slotsFull)
            for (Vector2D& enemy : enemies) enemy = Vector2D(60, 200);  // neither active nor free
        library.randomValues = {c.chance, 10};
        stepStageScript();
        EXPECT_EQ(c.counted, enemyCount);
        EXPECT_EQ(c.placed, enemies[0].y == 70);
    }
}

TEST_F(StageScriptTest, FormationStageSpawnsFromEitherSide) {
    struct Case {
        std::deque<int> randoms;
        int side;  // -1: none
    };
    const Case cases[] = {{{3, 0}, 0}, {{0, 5, 0}, 1}, {{0, 4}, -1}, {{5, 3}, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        resetAll();
        clearPlayField(7, 40);
        library.randomValues = c.randoms;
        stepStageScript();
        if (c.side < 0) {
            EXPECT_EQ(1000, enemies[0].y);
            continue;
        }
        // Member 0 of a formation: column 1, row 2, base 20.
        EXPECT_EQ(c.side == 0 ? 160 : -10, enemies[0].x);
        EXPECT_EQ(c.side == 0 ? 65 : 64, enemies[0].y);
    }
}
