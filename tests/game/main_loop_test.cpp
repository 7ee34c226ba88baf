// The game's entry routine and frame loop: start-up order, the end of the loop, one
// frame's order, the 30 ms pacing, the ship, and Backspace.
#include <algorithm>

#include "game_test_support.h"

namespace {

int runWinMain() {
    char commandLine[] = "";
    return WinMain(nullptr, nullptr, commandLine, 1);
}

// The calls of the log up to (not including) the first one named so.
std::vector<std::string> callsBefore(const std::string& call) {
    auto end = std::find(library.calls.begin(), library.calls.end(), call);
    return std::vector<std::string>(library.calls.begin(), end);
}

// Whether every expected call appears in the log, in this order.
bool callsInOrder(const std::vector<std::string>& expected) {
    auto next = library.calls.begin();
    for (const std::string& call : expected) {
        next = std::find(next, library.calls.end(), call);
        if (next == library.calls.end()) return false;
        ++next;
    }
    return true;
}

}  // namespace

using MainLoopTest = GameTest;

TEST_F(MainLoopTest, StartUpConfiguresStartsAndLoadsInOrder) {
    writeFile("font.txt", "Sans\n");
    library.logCalls = true;
    library.processMessageResult = -1;

    EXPECT_EQ(0, runWinMain());

    const std::vector<std::string> expected = {
        "SetScreenMode(150,200,16,60)",
        "ChangeWindowMode(1)",
        "SetWindowTitleText(\"Cinderwhirl\")",
        "SetWindowIconResource(101)",
        "InitializeLibrary()",
        "SelectDrawTarget(-2)",
        "SetTransparentColorKey(0,128,128)",
        "SetDefaultFontFace(\"Sans\",-1)",
        "SetDefaultFontType(2)",
        "SetDefaultFontSize(18)",
        "LoadImageToGraph(\"image01.png\",0)",
        "DeriveSubGraph(0,0,25,10,1000)",
        "DeriveSubGraph(48,11,16,9,1000)",
        "DeriveSubGraph(0,19,4,6,1000)",
        "DeriveSubGraph(11,19,3,6,1000)",
        "DeriveSubGraph(26,0,27,10,1000)",
        "DeriveSubGraph(54,0,27,10,1000)",
        "DeriveSubGraph(5,19,5,5,1000)",
        "LoadImageToDivGraphs(\"bakuhatu5.png\",10,10,1,32,32,0)",
        "LoadImageToDivGraphs(\"bakuhatu6.bmp\",10,10,1,32,32,0)",
        "GetTimeMilliseconds(0)",  // the frame-time record
        "GetTimeMilliseconds(0)",  // the first frame's start
    };
    EXPECT_EQ(expected, callsBefore("ClearCurrentScreen()"));
    EXPECT_EQ("ShutdownLibrary()", library.calls.back());
    EXPECT_EQ(1, library.shutdowns);

    // The handles went where the game draws them from.
    EXPECT_EQ(1000, spriteSheet);
    const int derived[] = {shipSprite, scoreMarkSprite, shotDownSprite, shotUpSprite,
                           seaEnemySprite, skyEnemySprite, bulletSprite};
    for (int i = 0; i < 7; i++) EXPECT_EQ(1001 + i, derived[i]);
    EXPECT_EQ(1008, seaExplosionCells[0]);
    EXPECT_EQ(1027, skyExplosionCells[9]);
    for (const Vector2D& bullet : enemyBullets) EXPECT_EQ(1000, bullet.x);
    EXPECT_TRUE(std::filesystem::exists("data.csp"));
}

TEST_F(MainLoopTest, FailedStartUpReturnsMinusOneAndCallsNothingMore) {
    library.logCalls = true;
    library.initializeResult = -1;

    EXPECT_EQ(-1, runWinMain());

    ASSERT_FALSE(library.calls.empty());
    EXPECT_EQ("InitializeLibrary()", library.calls.back());
    EXPECT_EQ(5u, library.calls.size());
    EXPECT_FALSE(std::filesystem::exists("data.csp"));
    EXPECT_FALSE(std::filesystem::exists("font.txt"));
}

TEST_F(MainLoopTest, LoopEndsWhenThePumpSaysSoOrEscapeIsDown) {
    struct Case {
        const char* name;
        bool byPump;  // else by Escape
        int lastFrame;
    };
    const Case cases[] = {{"pump, first frame", true, 1}, {"pump", true, 4}, {"Escape, first frame", false, 1}, {"Escape", false, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        library.logCalls = true;
        library.onPresent = [&c](int presented) {
            if (presented != c.lastFrame) return;
            if (c.byPump)
                library.processMessageResult = -1;
            else
                library.keysDown.insert(ScanEscape);
        };

        EXPECT_EQ(0, runWinMain());

        EXPECT_EQ(c.lastFrame, library.presented);
        EXPECT_EQ(1, library.shutdowns);
        // Escape is asked only when the pump did not end the program.
        long escapeChecks = std::count(library.calls.begin(), library.calls.end(), "CheckKeyDown(1)");
        EXPECT_EQ(c.byPump ? c.lastFrame - 1 : c.lastFrame, escapeChecks);
    }
}

TEST_F(MainLoopTest, FrameRunsInItsOrder) {
    waterline = 110;
    library.logCalls = true;
    runFrame();

    EXPECT_TRUE(callsInOrder({
        "GetTimeMilliseconds(0)",
        "ClearCurrentScreen()",
        "DrawBoxShape(0,0,150,200," + std::to_string(rgb(1, 1, 1)) + ",1)",
        "DrawBoxShape(0,0,150,110," + std::to_string(rgb(0, 158, 158)) + ",1)",
        "DrawBoxShape(0,110,150,200," + std::to_string(rgb(0, 0, 200)) + ",1)",
        "CheckKeyDown(203)", "CheckKeyDown(205)", "CheckKeyDown(200)", "CheckKeyDown(208)",
        "CheckKeyDown(44)", "CheckKeyDown(45)", "CheckKeyDown(42)", "CheckKeyDown(14)",
        "DrawGraphAt(75,101,2,1)",
        "DrawTextAt(42,50,\"Cinderwhirl\"," + std::to_string(rgb(255, 255, 255)) + ",0)",  // the scene
        "GetTimeMilliseconds(0)",  // frame rate
        "WaitWithMessages(1)",
        "PresentScreen()",
    }));
    EXPECT_EQ(frameTime.currentStamp - frameTime.previousStamp, 1);
}

TEST_F(MainLoopTest, FrameLastsThirtyMillisecondsAlsoAcrossTheClockWrap) {
    const unsigned starts[] = {0u, 0x7FFFFFF0u, 0xFFFFFFF0u};
    for (unsigned start : starts) {
        SCOPED_TRACE(start);
        resetAll();
        library.clock = start;
        runFrame();
        // The first reading at 30 ms after the frame's start ends the wait.
        EXPECT_EQ(31u, library.clock - start);
    }
}

TEST_F(MainLoopTest, ShipFollowsTheArrowsAndRidesTheWaterline) {
    struct Case {
        const char* name;
        int scene;
        std::set<int> keys;
        float x;
    };
    const Case cases[] = {
        {"play, right", ScenePlay, {ScanRight}, 52},
        {"play, left", ScenePlay, {ScanLeft}, 48},
        {"play, both", ScenePlay, {ScanLeft, ScanRight}, 50},
        {"play, none", ScenePlay, {}, 50},
        {"title moves twice as far", SceneTitle, {ScanRight}, 54},
        {"title, left", SceneTitle, {ScanLeft}, 46},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetAll();
        clearPlayField(0, 110);
        scene = c.scene;
        ship.x = 50;
        library.keysDown = c.keys;
        runFrame();
        EXPECT_EQ(c.x, ship.x);
        EXPECT_EQ(101, ship.y);
    }
}

TEST_F(MainLoopTest, ShipBlinksThreeFramesOnThreeOffAndVanishesWithoutLives) {
    struct Case {
        int lives;
        int deathTimer;
        bool shown;
    };
    const Case cases[] = {{2, 0, true},  {2, 2, true},  {2, 3, false}, {2, 5, false}, {2, 6, true},
                          {0, 68, true}, {0, 69, false}, {-1, 0, false}, {-1, 6, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "lives " << c.lives << ", timer " << c.deathTimer);
        resetAll();
        lives = c.lives;
        deathTimer = c.deathTimer;  // the title leaves the timer alone
        runFrame();
        std::vector<DrawCall> drawn = drawsOf(shipSprite);
        ASSERT_EQ(c.shown ? 1u : 0u, drawn.size());
        if (c.shown) {
            EXPECT_EQ(75, drawn[0].x);
            EXPECT_EQ(31, drawn[0].y);
            EXPECT_EQ(1, drawn[0].transparent);
            EXPECT_FALSE(drawn[0].mirrored);
        }
    }
}

TEST_F(MainLoopTest, BackspaceReturnsToTheTitleFromEveryScene) {
    const int scenes[] = {SceneTitle, ScenePlay, SceneGameOver, SceneScoreTable};
    for (int from : scenes) {
        SCOPED_TRACE(from);
        resetAll();
        clearPlayField(3, 110);
        scene = from;
        lives = 1;
        score = 500;
        displayedScore = 400;
        rankResult = 3;
        library.keysDown = {ScanBackspace};
        runFrame();
        EXPECT_EQ(SceneTitle, scene);
        EXPECT_EQ(20, ship.x);
        EXPECT_EQ(12, sceneCounter);  // set to 13, then counted by the title
        EXPECT_EQ(0, displayedScore);
        // What the game carries over.
        EXPECT_EQ(110, waterline);
        EXPECT_EQ(1, lives);
        EXPECT_EQ(3, rankResult);
        EXPECT_TRUE(std::filesystem::exists("data.csp"));
        EXPECT_EQ(0u, readFile("data.csp").size());  // read, never written
    }
}
