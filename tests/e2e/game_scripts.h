// game_scripts.h - the scripted runs of the game, shared by the end-to-end tests and
// the frame benchmark. Frames count from 0; each script ends the run itself (Escape,
// or the window closed), and its comment says what the frames show.
#pragma once

#include <string>

#include "game_replay.h"

// Title with no key for 60 frames: the ship at x 75 on a waterline of 40, the arrows
// pulsing with a period of 13 frames.
ReplayScript TitleIdleScript();

// A whole game. Right from the title starts it (frame 13); the ship moves to x 64 and
// fires down every 20 frames (one shot up at 110): hits, chains and the combo counter;
// three hits by bullets with the blink after each; game over at 956; "PUSH Z KEY" from
// 997; Z at 1020 returns to the title; Escape after 1040.
ReplayScript FullGameScript();
// Frames of FullGameScript that the tests look at.
enum FullGameFrame {
    FullGamePlayStarts = 13,
    FullGameComboShown = 710,   // "HIT!!" with a combo of 10
    FullGameShipBlinkOn = 690,  // blinking after the first hit (669): ship shown
    FullGameShipBlinkOff = 693, // ... and hidden
    FullGameOverStarts = 956,
    FullGamePushZShown = 1010,
    FullGameZPressed = 1020,
    FullGameLastFrame = 1040,
};

// Left from the title opens the score table (frame 19), read from a "data.csp" with two
// rows equal to the last game's score (0), which both carry the marker; Right returns
// to the title at 42; Escape after 50.
ReplayScript ScoreTableScript();
// The "data.csp" it starts with: 50000, 12345, 1000, 0, 0.
std::string ScoreTableFile();

// The whole game up to Z at 1020, then Left from the title (ship at x 20) opens the score
// table, which marks the row of the score just entered; picture of 1040, Escape after 1045.
ReplayScript GameThenScoreTableScript();
constexpr int GameThenScoreTableShown = 1040;

// Backspace in the middle of play (frame 60) returns to the title at once: no game
// over, no score entered. Escape after 80.
ReplayScript BackspaceScript();

// The user closes the window after frame 20; no key is ever pressed.
ReplayScript CloseWindowScript();

// 600 frames of play for the benchmark: the start of FullGameScript, ended by Escape.
ReplayScript BenchmarkScript();
