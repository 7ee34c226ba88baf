// game_scripts.cpp - the scripted runs (see game_scripts.h).
#include "game_scripts.h"

#include <cstdint>

namespace {

// The frames before the title's Right starts a game: 75 + 4 x 13 passes 126.
constexpr int FramesToStart = 13;

// Title to play, the ship to x 64, and the shots of the first 940 frames.
ReplayScript PlayOpening() {
    ReplayScript script;
    script.hold(ReplayKey::Right, 0, FramesToStart);
    script.hold(ReplayKey::Right, FramesToStart + 1, FramesToStart + 31);
    for (int frame = 60; frame < 940; frame += 20) script.tap(ReplayKey::Z, frame);
    script.tap(ReplayKey::X, 110);
    return script;
}

}  // namespace

ReplayScript TitleIdleScript() {
    ReplayScript script;
    script.escapeAfter(59).png(0).png(6);
    return script;
}

ReplayScript FullGameScript() {
    ReplayScript script = PlayOpening();
    script.tap(ReplayKey::Z, FullGameZPressed).escapeAfter(FullGameLastFrame);
    for (int frame : {int(FullGameComboShown), int(FullGameShipBlinkOn), int(FullGameShipBlinkOff),
                      int(FullGamePushZShown), int(FullGameLastFrame)})
        script.png(frame);
    return script;
}

ReplayScript GameThenScoreTableScript() {
    ReplayScript script = PlayOpening();
    script.tap(ReplayKey::Z, FullGameZPressed).hold(ReplayKey::Left, FullGameZPressed + 2, FullGameZPressed + 10);
    script.png(GameThenScoreTableShown).escapeAfter(GameThenScoreTableShown + 5);
    return script;
}

std::string ScoreTableFile() {
    const int32_t scores[5] = {50000, 12345, 1000, 0, 0};
    std::string bytes;
    for (int32_t score : scores) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(uint32_t(score) >> shift));
    }
    return bytes;
}

ReplayScript ScoreTableScript() {
    ReplayScript script;
    script.hold(ReplayKey::Left, 0, 19).hold(ReplayKey::Right, 40, 42).escapeAfter(50).png(30);
    script.dataCsp = ScoreTableFile();
    return script;
}

ReplayScript BackspaceScript() {
    ReplayScript script;
    script.hold(ReplayKey::Right, 0, FramesToStart).tap(ReplayKey::Z, 30).tap(ReplayKey::Backspace, 60);
    script.escapeAfter(80);
    return script;
}

ReplayScript CloseWindowScript() {
    ReplayScript script;
    script.closeAfter(20);
    return script;
}

ReplayScript BenchmarkScript() {
    ReplayScript script = PlayOpening();
    script.escapeAfter(599);
    return script;
}
