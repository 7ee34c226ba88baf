// The scenes, the switches between them, the stage banner and the score counter.
#include <functional>

#include "game_test_support.h"

namespace {

constexpr int White = rgb(255, 255, 255);

struct TextAt {
    std::string text;
    int x;
    int y;
    int color;
};

void expectTexts(const std::vector<TextAt>& expected) {
    std::vector<DrawCall> drawn = textDraws();
    ASSERT_EQ(expected.size(), drawn.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE(expected[i].text);
        EXPECT_EQ(expected[i].text, drawn[i].text);
        EXPECT_EQ(expected[i].x, drawn[i].x);
        EXPECT_EQ(expected[i].y, drawn[i].y);
        EXPECT_EQ(expected[i].color, drawn[i].color);
        EXPECT_EQ(0, drawn[i].edgeColor);
    }
}

}  // namespace

using SceneTest = GameTest;

// Whole frames with a key held, until the scene changes on the expected frame.
TEST_F(SceneTest, ScenesSwitchOnTheirFrame) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::set<int> keys;
        int frames;
        int sceneAfter;
    };
    const Case cases[] = {
        {"title to play: ship pushed right from 75", [] {}, {ScanRight}, 14, ScenePlay},
        {"title to score table: ship pushed left from 75", [] {}, {ScanLeft}, 20, SceneScoreTable},
        {"score table to title: ship pushed right from 124", [] { showHiScoreTable(); }, {ScanRight}, 2, SceneTitle},
        {"game over to title: Z once the count passes 40", [] { enterGameOver(); }, {ScanZ}, 41, SceneTitle},
        {"play to game over: no life left and no blinking",
         [] {
             clearPlayField(1, 40);
             lives = -1;
         },
         {},
         1,
         SceneGameOver},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        c.setUp();
        int before = scene;
        library.keysDown = c.keys;
        for (int frame = 1; frame < c.frames; frame++) runFrame();
        ASSERT_EQ(before, scene) << "switched early";
        runFrame();
        EXPECT_EQ(c.sceneAfter, scene);
    }
}

TEST_F(SceneTest, StartingAGameKeepsLivesWaterlineAndDisplayedScore) {
    lives = 0;
    waterline = 110;
    displayedScore = 777;
    score = 5;
    combo = 7;
    ship.x = 130;
    stepTitle();
    EXPECT_EQ(ScenePlay, scene);
    EXPECT_EQ(1, stage);
    EXPECT_EQ(0, ship.x);
    EXPECT_EQ(0, score);
    EXPECT_EQ(0, combo);
    EXPECT_EQ(-100, bannerX);
    EXPECT_EQ(0, lives);
    EXPECT_EQ(110, waterline);
    EXPECT_EQ(777, displayedScore);
    for (const Vector2D& shot : shots) EXPECT_EQ(220, shot.y);
    for (const Vector2D& enemy : enemies) EXPECT_EQ(1000, enemy.y);
}

// The last life lost and Backspace during the blinking: the title has no cursor, and the
// next game is over at once.
TEST_F(SceneTest, BackspaceDuringTheLastBlinkKeepsNoLives) {
    clearPlayField(2, 100);
    lives = -1;
    deathTimer = 40;
    library.keysDown = {ScanBackspace};
    runFrame();
    EXPECT_EQ(SceneTitle, scene);
    EXPECT_TRUE(drawsOf(shipSprite).empty());

    library.keysDown = {};
    ship.x = 130;
    runFrame();  // the invisible cursor starts a game
    ASSERT_EQ(ScenePlay, scene);
    // ...which is over as soon as the rest of the blinking has run out.
    for (int frame = 1; frame <= 40; frame++) runFrame();
    ASSERT_EQ(ScenePlay, scene);
    runFrame();
    EXPECT_EQ(SceneGameOver, scene);
}

TEST_F(SceneTest, TitleShowsItsTextsWithPulsingArrows) {
    struct Case {
        int counterBefore;
        int counterAfter;
    };
    const Case cases[] = {{0, 13}, {1, 13}, {13, 12}, {4, 3}, {2, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counterBefore);
        resetAll();
        sceneCounter = c.counterBefore;
        stepTitle();
        EXPECT_EQ(c.counterAfter, sceneCounter);
        int pulse = c.counterAfter / 3;
        expectTexts({
            {"Cinderwhirl", (150 - 66) / 2, 50, White},
            {"<-", 15 - pulse, 100, White},
            {"->", 135 - 12 + pulse, 100, White},
            {"HiScore", 5, 120, White},
            {"Start", 145 - 30, 120, White},
        });
    }
}

TEST_F(SceneTest, PlayShowsLifeIconsAndTheComboFromThree) {
    struct Case {
        int lives;
        int combo;
        bool comboShown;
    };
    const Case cases[] = {{2, 3, true}, {1, 2, false}, {0, 99, true}, {-1, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lives " << c.lives << ", combo " << c.combo);
        resetAll();
        clearPlayField(0, 40);
        lives = c.lives;
        deathTimer = 5;  // keeps hitShip out of the way
        combo = c.combo;
        stepPlay();
        std::vector<DrawCall> icons = drawsOf(shotDownSprite);
        ASSERT_EQ(static_cast<size_t>(std::max(c.lives, 0)), icons.size());
        for (size_t i = 0; i < icons.size(); i++) {
            EXPECT_EQ(5 * static_cast<int>(i), icons[i].x);
            EXPECT_EQ(0, icons[i].y);
        }
        std::string hit = std::to_string(c.combo) + " HIT!!";
        const DrawCall* text = findText(hit);
        ASSERT_EQ(c.comboShown, text != nullptr);
        if (text) {
            EXPECT_EQ(147 - textWidthOf(hit), text->x);
            EXPECT_EQ(180, text->y);
        }
    }
}

TEST_F(SceneTest, PlayKeepsTheShipOnTheScreen) {
    const float cases[][2] = {{130, 126}, {126, 126}, {-1, -1}, {-5, -1}, {60.5f, 60.5f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        resetAll();
        clearPlayField(0, 40);
        ship.x = c[0];
        stepPlay();
        EXPECT_EQ(c[1], ship.x);
    }
}

TEST_F(SceneTest, GameOverRecordsTheScoreOnceAndCountsOnFromFortyAfterTheWrap) {
    enterGameOver();
    score = 5000;  // enters at place 4
    runFrame();
    EXPECT_EQ(-1, rankResult);
    runFrame();
    EXPECT_EQ(2, sceneCounter);
    EXPECT_EQ(4, rankResult);
    ASSERT_EQ(20u, readFile("data.csp").size());

    std::filesystem::remove("data.csp");
    for (int frame = 3; frame <= 253; frame++) runFrame();
    EXPECT_EQ(253, sceneCounter);
    runFrame();
    EXPECT_EQ(40, sceneCounter);
    for (int frame = 0; frame < 600; frame++) runFrame();
    EXPECT_GE(sceneCounter, 40);
    EXPECT_FALSE(std::filesystem::exists("data.csp")) << "the score was recorded a second time";
    EXPECT_EQ(4, rankResult);
}

TEST_F(SceneTest, GameOverShowsRankScoreAndTheZPrompt) {
    struct Case {
        int counterBefore;
        int rank;
        const char* rankText;  // nullptr: none
        bool prompt;
    };
    const Case cases[] = {
        {9, 1, "HISCORE lecorad!!!", false},
        {39, 3, "No.3 lecorad!", false},
        {40, 5, "No.5 lecorad!", true},
        {100, 0, nullptr, true},
        {252, -1, nullptr, true},
        {253, 2, "No.2 lecorad!", false},  // wraps to 40
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.counterBefore);
        resetAll();
        enterGameOver();
        sceneCounter = c.counterBefore;
        rankResult = c.rank;
        score = 1234;
        stepGameOver();
        int counter = sceneCounter;

        const DrawCall* rank = c.rankText ? findText(c.rankText) : nullptr;
        EXPECT_EQ(c.rankText != nullptr, rank != nullptr);
        if (rank) {
            EXPECT_EQ(250 - 2 * counter, rank->x);
            EXPECT_EQ(10, rank->y);
        }
        const DrawCall* title = findText("GAME OVER");
        ASSERT_NE(nullptr, title);
        EXPECT_EQ((150 - 54) / 2, title->x);
        EXPECT_EQ(55, title->y);
        EXPECT_EQ(rgb(counter, 0, 0), title->color);
        const DrawCall* shown = findText("SCORE:1234");
        ASSERT_NE(nullptr, shown);
        EXPECT_EQ((150 - 60) / 2, shown->x);
        EXPECT_EQ(100, shown->y);

        const DrawCall* prompt = findText("PUSH Z KEY");
        ASSERT_EQ(c.prompt, prompt != nullptr);
        if (prompt) {
            int grey = (5 * counter) % 100 + 100;
            EXPECT_EQ(rgb(grey, grey, grey), prompt->color);
            EXPECT_EQ(160, prompt->y);
        }
    }
}

TEST_F(SceneTest, ScoreTableMarksEveryRowEqualToTheLastScore) {
    const int table[HiScoreCount] = {5000, 3000, 3000, 1000, 100};
    std::copy(table, table + HiScoreCount, hiScores);
    score = 3000;
    scene = SceneScoreTable;
    sceneCounter = 13;
    stepScoreTable();

    std::vector<DrawCall> marks = drawsOf(scoreMarkSprite);
    ASSERT_EQ(2u, marks.size());
    EXPECT_EQ(8, marks[0].x);
    EXPECT_EQ(75 + 22, marks[0].y);
    EXPECT_EQ(75 + 44, marks[1].y);

    std::vector<TextAt> expected = {{"->", 140 - 12 + 4, 45, White}, {"HiScore", 40, 10, White}};
    for (int i = 0; i < HiScoreCount; i++) {
        std::string value = std::to_string(table[i]);
        expected.push_back({value, 140 - textWidthOf(value), 70 + 22 * i, White});
        expected.push_back({std::to_string(i + 1) + ".", 10, 70 + 22 * i, White});
    }
    expectTexts(expected);
}

TEST_F(SceneTest, ScoreTableStopsTheShipAtTheLeftEdge) {
    showHiScoreTable();
    ship.x = -3;
    stepScoreTable();
    EXPECT_EQ(-1, ship.x);
    EXPECT_EQ(SceneScoreTable, scene);
}

TEST_F(SceneTest, StageBannerRacesInCrawlsAndRacesOut) {
    struct Case {
        int before;
        int after;
        int result;
    };
    const Case cases[] = {{-100, -95, 1}, {41, 46, 1}, {42, 43, 1}, {65, 66, 1},
                          {66, 71, 1},    {150, 155, 1}, {151, 151, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        resetAll();
        bannerX = c.before;
        EXPECT_EQ(c.result, drawStageBanner(3));
        EXPECT_EQ(c.after, bannerX);
        const DrawCall* text = findText("stage:3");
        ASSERT_EQ(c.result == 1, text != nullptr);
        if (text) {
            EXPECT_EQ(c.after, text->x);
            EXPECT_EQ(100, text->y);
            EXPECT_EQ(White, text->color);
        }
    }
}

TEST_F(SceneTest, DisplayedScoreCatchesUpInSteps) {
    struct Case {
        int score;
        int before;
        int after;
    };
    const Case cases[] = {
        {0, 0, 0},         {1, 0, 1},           {50, 0, 1},          {51, 0, 3},         {100, 0, 3},
        {101, 0, 23},      {1001, 0, 223},      {10001, 0, 2223},    {100001, 0, 22223}, {200000, 0, 22223},
        {200000, 199900, 199903}, {200000, 199999, 200000},
        {5000, 7000, 7000},  // shown ahead of the score (a new game) stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.score << " from " << c.before);
        resetAll();
        score = c.score;
        displayedScore = c.before;
        drawScore();
        EXPECT_EQ(c.after, displayedScore);
    }
}

TEST_F(SceneTest, ScoreShowsNineDigitsWithLeadingZeros) {
    const char* cases[] = {"000000000", "000004071", "123456789", "999999999"};
    for (const char* digits : cases) {
        SCOPED_TRACE(digits);
        resetAll();
        score = displayedScore = std::stoi(digits);
        drawScore();
        std::vector<DrawCall> parts = drawsOf(spriteSheet);
        ASSERT_EQ(10u, parts.size());
        EXPECT_EQ(60, parts[0].x);  // the label
        EXPECT_EQ(0, parts[0].sourceX);
        EXPECT_EQ(11, parts[0].sourceY);
        EXPECT_EQ(33, parts[0].width);
        EXPECT_EQ(7, parts[0].height);
        for (int i = 0; i < 9; i++) {
            const DrawCall& digit = parts[1 + i];
            EXPECT_EQ(140 - 6 * i, digit.x);
            EXPECT_EQ(5, digit.y);
            EXPECT_EQ(6 * (digits[8 - i] - '0'), digit.sourceX) << "digit " << i;
            EXPECT_EQ(26, digit.sourceY);
            EXPECT_EQ(6, digit.width);
            EXPECT_EQ(7, digit.height);
            EXPECT_EQ(1, digit.transparent);
            EXPECT_FALSE(digit.mirrored);
        }
    }
}
