// The game end to end, headless: each scripted run against its golden frames and
// pictures, and against what the game's rules say the run must show and leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "game_replay.h"
#include "game_scripts.h"
#include "golden_files.h"

namespace {

const ReplayDisplay& Reference() { return ReplayDisplays()[0]; }

// The run itself went through: the harness saw frames and the game ended by itself.
::testing::AssertionResult RanCleanly(const ReplayRun& run) {
    if (!run.failure.empty()) return ::testing::AssertionFailure() << run.failure;
    if (run.frames.empty()) return ::testing::AssertionFailure() << "no frame was presented";
    if (run.frameWidth != 150 || run.frameHeight != 200)
        return ::testing::AssertionFailure() << "frames of " << run.frameWidth << "x" << run.frameHeight;
    return ::testing::AssertionSuccess();
}

const ReplayImage& Picture(const ReplayRun& run, int frame) {
    static const ReplayImage none;
    for (const auto& [at, image] : run.pictures) {
        if (at == frame) return image;
    }
    ADD_FAILURE() << "no picture of frame " << frame;
    return none;
}

// Pixels of the rectangle that are neither of the given background colours.
int CountForeground(const ReplayImage& image, int x0, int y0, int x1, int y1, uint32_t sky, uint32_t sea) {
    int count = 0;
    for (int y = y0; y < y1 && y < image.height; y++) {
        for (int x = x0; x < x1 && x < image.width; x++) {
            uint32_t p = Reduce565(image.at(x, y));
            if (p != Reduce565(sky) && p != Reduce565(sea)) count++;
        }
    }
    return count;
}

// Pixels of the rectangle that pass the test.
template <typename Test>
int CountPixels(const ReplayImage& image, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1; y++) {
        for (int x = x0; x < x1; x++) count += test(image.at(x, y)) ? 1 : 0;
    }
    return count;
}

// White text: grey-level glyphs cover at most 240 of 255, so the brightest text pixels
// are near white, not white.
bool IsLight(uint32_t rgb) { return (rgb >> 16 & 0xFF) >= 0xC0 && (rgb >> 8 & 0xFF) >= 0xC0 && (rgb & 0xFF) >= 0xC0; }
// The score-table marker is gold: much red, little blue.
bool IsGold(uint32_t rgb) { return (rgb >> 16 & 0xFF) >= 0x80 && (rgb & 0xFF) < 0x60; }

// The score table's marker of row i: 16 x 9 at (8, 75 + 22 i), drawn over the rank text.
int MarkerPixels(const ReplayImage& table, int row) { return CountPixels(table, 8, 75 + 22 * row, 24, 84 + 22 * row, IsGold); }

constexpr uint32_t Sky = 0x009E9E;    // (0, 158, 158)
constexpr uint32_t Sea = 0x0000C8;    // (0, 0, 200)

std::string Scores(std::initializer_list<int32_t> values) {
    std::string bytes;
    for (int32_t v : values) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(uint32_t(v) >> shift));
    }
    return bytes;
}

// "ロード完了" (Shift-JIS) once per reading of the score file.
std::string Loads(int count) {
    std::string text;
    for (int i = 0; i < count; i++) text += "ロード完了";
    return text;
}

}  // namespace

TEST(GameRuns, TitleWithNoKeyShowsTheShipOnTheWaterlineAndPulsingArrows) {
    ReplayRun run = RunReplay(TitleIdleScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    ASSERT_EQ(60u, run.frames.size());
    for (const ReplayFrame& frame : run.frames) {
        EXPECT_EQ(0, frame.game.scene);
        EXPECT_EQ(40, frame.game.waterline);
        EXPECT_EQ(75.0f, frame.game.shipX);
    }
    // The arrows repeat every 13 frames and move within the period.
    std::set<uint32_t> withinPeriod;
    for (size_t i = 0; i < 13; i++) withinPeriod.insert(run.frames[i].crc);
    EXPECT_GE(withinPeriod.size(), 4u);
    for (size_t i = 0; i + 13 < run.frames.size(); i++) EXPECT_EQ(run.frames[i].crc, run.frames[i + 13].crc) << i;

    const ReplayImage& title = Picture(run, 0);
    ASSERT_EQ(150, title.width);
    EXPECT_EQ(Reduce565(Sky), Reduce565(title.at(2, 2)));
    EXPECT_EQ(Reduce565(Sky), Reduce565(title.at(147, 39)));
    EXPECT_EQ(Reduce565(Sea), Reduce565(title.at(2, 40)));
    EXPECT_EQ(Reduce565(Sea), Reduce565(title.at(147, 197)));
    // The ship: 25 x 10 at (75, 31), its bottom row on the waterline; nothing beside it.
    EXPECT_GT(CountForeground(title, 75, 31, 100, 41, Sky, Sea), 40);
    EXPECT_EQ(0, CountForeground(title, 0, 25, 74, 45, Sky, Sea));
    EXPECT_EQ(0, CountForeground(title, 101, 25, 150, 45, Sky, Sea));
    // White text: the title at y 50, the arrows at y 100, "HiScore" and "Start" at y 120.
    EXPECT_GT(CountPixels(title, 0, 50, 150, 70, IsLight), 60);
    EXPECT_GT(CountPixels(title, 0, 100, 30, 118, IsLight), 5);
    EXPECT_GT(CountPixels(title, 120, 100, 150, 118, IsLight), 5);
    EXPECT_GT(CountPixels(title, 0, 120, 150, 140, IsLight), 60);
    // The arrows of frame 6 stand elsewhere than those of frame 0; the rest is the same.
    const ReplayImage& later = Picture(run, 6);
    EXPECT_NE(title.rgb, later.rgb);
    EXPECT_TRUE(std::equal(title.rgb.begin(), title.rgb.begin() + 95 * 150, later.rgb.begin()));

    EXPECT_TRUE(MatchesGoldenFrames("title", run));
    EXPECT_TRUE(MatchesGoldenPictures("title", run));
}

TEST(GameRuns, TheFirstRunCreatesEmptyScoreAndFontFiles) {
    ReplayRun run = RunReplay(CloseWindowScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    ASSERT_TRUE(run.dataCsp.has_value());
    ASSERT_TRUE(run.fontTxt.has_value());
    EXPECT_EQ("", *run.dataCsp);
    EXPECT_EQ("", *run.fontTxt);
    EXPECT_EQ(Loads(1), run.standardOutput);
}

TEST(GameRuns, AWholeGameFromTitleThroughGameOverBackToTheTitle) {
    ReplayRun run = RunReplay(FullGameScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    ASSERT_EQ(size_t(FullGameLastFrame) + 1, run.frames.size());

    // The scenes in order: title, play, game over, title.
    std::vector<int> scenes;
    for (const ReplayFrame& frame : run.frames) {
        if (scenes.empty() || scenes.back() != frame.game.scene) scenes.push_back(frame.game.scene);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2, 0}), scenes);
    EXPECT_EQ(1, run.frames[FullGamePlayStarts].game.scene);
    EXPECT_EQ(2, run.frames[FullGameOverStarts].game.scene);
    EXPECT_EQ(0, run.frames[FullGameZPressed].game.scene);

    // Shots hit, a combo builds past 2 (the "HIT!!" counter shows), explosions set off
    // chains (a chain scores combo^2 + 200, a shot combo^2 + 100), and three bullets hit.
    int bestCombo = 0, chains = 0, hits = 0;
    std::vector<int> lives;
    for (size_t i = 1; i < run.frames.size(); i++) {
        const ReplayGameState& was = run.frames[i - 1].game;
        const ReplayGameState& now = run.frames[i].game;
        bestCombo = std::max(bestCombo, now.combo);
        if (now.score - was.score == now.combo * now.combo + 200) chains++;
        if (now.score - was.score == now.combo * now.combo + 100) hits++;
        if (lives.empty() || lives.back() != now.lives) lives.push_back(now.lives);
    }
    EXPECT_GE(bestCombo, 3);
    EXPECT_GE(chains, 1);
    EXPECT_GE(hits, 5);
    EXPECT_EQ((std::vector<int>{2, 1, 0, -1, 2}), lives);
    EXPECT_GT(run.frames[FullGameComboShown].game.combo, 2);

    // The blink: 3 frames shown, 3 hidden while the death timer runs.
    const ReplayGameState& blinking = run.frames[FullGameShipBlinkOff].game;
    ASSERT_GT(blinking.deathTimer, 0);
    const int shipX = static_cast<int>(blinking.shipX), shipY = static_cast<int>(blinking.shipY);
    EXPECT_GT(CountForeground(Picture(run, FullGameShipBlinkOn), shipX, shipY, shipX + 25, shipY + 10, Sky, Sea), 40);
    EXPECT_LT(CountForeground(Picture(run, FullGameShipBlinkOff), shipX, shipY, shipX + 25, shipY + 10, Sky, Sea), 10);

    // Game over: the score entered at place 4 of the built-in table, "PUSH Z KEY" in grey.
    const int finalScore = run.frames[FullGameOverStarts].game.score;
    EXPECT_EQ(4, run.frames[FullGamePushZShown].game.rankResult);
    EXPECT_GT(run.frames[FullGamePushZShown].game.sceneCounter, 40);
    ASSERT_TRUE(run.dataCsp.has_value());
    EXPECT_EQ(Scores({1000000, 100000, 10000, finalScore, 1000}), *run.dataCsp);
    const ReplayImage& gameOver = Picture(run, FullGamePushZShown);
    EXPECT_GT(CountForeground(gameOver, 0, 160, 150, 180, Sky, Sea), 60);
    EXPECT_EQ(Loads(2), run.standardOutput);  // start-up and the return to the title

    EXPECT_TRUE(MatchesGoldenFrames("full_game", run));
    EXPECT_TRUE(MatchesGoldenPictures("full_game", run));
}

TEST(GameRuns, TwoRunsOfOneScriptGiveIdenticalFramesAndScoreFile) {
    ReplayRun first = RunReplay(FullGameScript(), Reference());
    ReplayRun second = RunReplay(FullGameScript(), Reference());
    ASSERT_TRUE(RanCleanly(first));
    ASSERT_TRUE(RanCleanly(second));
    ASSERT_EQ(first.frames.size(), second.frames.size());
    for (size_t i = 0; i < first.frames.size(); i++) {
        ASSERT_EQ(first.frames[i].crc, second.frames[i].crc) << "frame " << i;
        ASSERT_EQ(0, std::memcmp(&first.frames[i].game, &second.frames[i].game, sizeof(ReplayGameState))) << i;
    }
    ASSERT_TRUE(first.dataCsp && second.dataCsp);
    EXPECT_EQ(20u, first.dataCsp->size());
    EXPECT_EQ(*first.dataCsp, *second.dataCsp);
    EXPECT_EQ(first.standardOutput, second.standardOutput);
}

TEST(GameRuns, LeftOpensTheScoreTableReadFromTheScoreFile) {
    ReplayRun run = RunReplay(ScoreTableScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ(0, run.frames[18].game.scene);
    EXPECT_EQ(3, run.frames[19].game.scene);
    EXPECT_EQ(3, run.frames[41].game.scene);
    EXPECT_EQ(0, run.frames[42].game.scene);

    // Rows at y 70 + 22 i; the two rows equal to the last score (0) carry the marker,
    // the others do not.
    const ReplayImage& table = Picture(run, 30);
    EXPECT_EQ(0, MarkerPixels(table, 0));
    EXPECT_EQ(0, MarkerPixels(table, 2));
    EXPECT_GT(MarkerPixels(table, 3), 20);
    EXPECT_GT(MarkerPixels(table, 4), 20);
    EXPECT_GT(CountPixels(table, 100, 70, 140, 90, IsLight), 20);  // "50000", right-aligned at 140

    EXPECT_EQ(ScoreTableFile(), run.dataCsp.value_or("?"));  // read, never written
    EXPECT_EQ(Loads(3), run.standardOutput);                  // start-up, table, title
    EXPECT_TRUE(MatchesGoldenFrames("score_table", run));
    EXPECT_TRUE(MatchesGoldenPictures("score_table", run));
}

TEST(GameRuns, TheScoreTableMarksTheScoreOfTheGameJustPlayed) {
    ReplayRun run = RunReplay(GameThenScoreTableScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    ASSERT_EQ(size_t(GameThenScoreTableShown) + 6, run.frames.size());
    const ReplayGameState& shown = run.frames[GameThenScoreTableShown].game;
    EXPECT_EQ(3, shown.scene);
    const int finalScore = run.frames[FullGameOverStarts].game.score;
    EXPECT_EQ(finalScore, shown.score);
    // Entered at place 4 (between the built-in 10000 and 1000): only that row is marked.
    ASSERT_TRUE(finalScore > 1000 && finalScore < 10000) << finalScore;
    EXPECT_EQ(Scores({1000000, 100000, 10000, finalScore, 1000}), run.dataCsp.value_or("?"));
    const ReplayImage& table = Picture(run, GameThenScoreTableShown);
    for (int row = 0; row < 5; row++) {
        if (row == 3)
            EXPECT_GT(MarkerPixels(table, row), 20);
        else
            EXPECT_EQ(0, MarkerPixels(table, row)) << "row " << row;
    }
    EXPECT_EQ(Loads(3), run.standardOutput);  // start-up, the return to the title, the table
}

TEST(GameRuns, BackspaceDuringPlayReturnsToTheTitleAtOnce) {
    ReplayRun run = RunReplay(BackspaceScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ(1, run.frames[59].game.scene);
    EXPECT_EQ(0, run.frames[60].game.scene);
    EXPECT_EQ(20.0f, run.frames[60].game.shipX);
    EXPECT_EQ(2, run.frames[60].game.lives);
    for (const ReplayFrame& frame : run.frames) EXPECT_NE(2, frame.game.scene);
    EXPECT_EQ("", run.dataCsp.value_or("?"));  // no game over, no score entered
    EXPECT_EQ(Loads(2), run.standardOutput);
    EXPECT_TRUE(MatchesGoldenFrames("backspace", run));
}

TEST(GameRuns, EscapeEndsTheRunWithExitStatusZero) {
    ReplayScript script;
    script.escapeAfter(4);
    ReplayRun run = RunReplay(script, Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ(5u, run.frames.size());
    // The window closes only as shutdown destroys it.
    size_t shutdown = run.log.rfind("DirectDraw 関連の終了処理をおこないます");
    ASSERT_NE(std::string::npos, shutdown);
    EXPECT_GT(run.log.find("ウインドウを閉じようとしています"), shutdown);
}

TEST(GameRuns, ClosingTheWindowEndsTheRunThroughTheMessagePump) {
    ReplayRun run = RunReplay(CloseWindowScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_EQ(0, run.exitStatus);
    EXPECT_EQ(21u, run.frames.size());
    // The close reaches the window procedure before shutdown starts.
    size_t closing = run.log.find("ウインドウを閉じようとしています");
    ASSERT_NE(std::string::npos, closing);
    EXPECT_LT(closing, run.log.rfind("DirectDraw 関連の終了処理をおこないます"));
}

namespace {

// Finds each text after the previous one; reports the first one missing.
::testing::AssertionResult InOrder(const std::string& log, const std::vector<std::string>& texts) {
    size_t at = 0;
    for (const std::string& text : texts) {
        size_t found = log.find(text, at);
        if (found == std::string::npos) return ::testing::AssertionFailure() << "missing in order: " << text;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(GameLog, StartUpAndShutdownInOrderTheFontCreatedNoAllocationLeft) {
    ReplayRun run = RunReplay(TitleIdleScript(), Reference());
    ASSERT_TRUE(RanCleanly(run));
    EXPECT_TRUE(InOrder(run.log, {
                                     // start-up
                                     "システムの情報を出力します",
                                     "ＣＯＭの初期化... 成功しました",
                                     "ソフトの二重起動検査... 二重起動はされていませんでした",
                                     "ウインドウクラスを登録します... 登録に成功しました",
                                     "DirectInput 関連の初期化は正常に終了しました",
                                     "DirectSound の初期化は正常に終了しました",
                                     "DirectDraw 関連の初期化を行います",
                                     "ソフトウエアレンダリングモードに変更します",
                                     "グラフィック管理系の初期化を行います",
                                     "フォントの初期化を行います",
                                     "フォントの初期化は正常に終了しました",
                                     "DirectDraw 関連の初期化は正常に終了しました",
                                     "文字コードバッファの初期化を行います... 完了しました",
                                     // shutdown
                                     "DirectDraw 関連の終了処理をおこないます",
                                     "グラフィック管理系の終了処理は正常に終了しました",
                                     "DirectDraw 関連の終了処理は正常に終了しました",
                                     "DirectInput 関連の終了処理... 完了",
                                     "DirectSound の終了処理は正常に終了しました",
                                     "ウインドウが破棄されようとしています",
                                     "ソフトを終了する準備が整いました",
                                     "ＣＯＭを終了... 完了",
                                     "Alloc memory dump\tTotal size:0(0.000kb)  Alloc num:0\r\n",
                                 }));
    // The one failure the reference run has: it runs where Direct3D is missing.
    std::string log = run.log;
    const std::string noDirect3D = "Direct3Dオブジェクトの作成に失敗しました";
    const size_t at = log.find(noDirect3D);
    EXPECT_NE(std::string::npos, at);
    if (at != std::string::npos) log.erase(at, noDirect3D.size());
    EXPECT_EQ(std::string::npos, log.find("失敗")) << "a failure was logged";
    // The game's font: the default face (an empty "font.txt") at size 18, from the
    // pinned IPA Gothic file.
    EXPECT_NE(run.fontRequests.end(), std::find(run.fontRequests.begin(), run.fontRequests.end(), "ＭＳ ゴシック 18"));
}
