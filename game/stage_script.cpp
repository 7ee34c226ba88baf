// stage_script.cpp - the stage script: each stage first moves the waterline to its level,
// one step per frame, and only then plays; stages 1-6 end once more than 35 enemies came
// and none is left, stage 7 plays eight-enemy formations until the game ends.
#include "game.h"
#include "zqlib.h"

namespace {

constexpr int NoLevel = -1;  // the stage plays wherever the waterline stands

struct StageLevel {
    int level;
    int stepBelow;  // added while the waterline's y is less than the level
    int stepAbove;  // added while it is greater
};

const StageLevel stageLevels[] = {
    {NoLevel, 0, 0},  // 0: does nothing
    {NoLevel, 0, 0},  {170, 2, -1}, {110, 1, -2}, {40, 1, -2}, {170, 2, -1}, {110, 1, -2}, {40, 1, -2},
};
constexpr int FormationStage = 7;

void playStage(int nextStage) {
    if (moveEnemies() == 1 && enemyCount > 35) startStage(nextStage);
    fireShot();
    if (GetRandomInt(40) == 3) {
        spawnEnemy();
        enemyCount += 1;  // also when no slot was free
    }
}

void playFormations() {
    moveEnemies();
    fireShot();
    if (GetRandomInt(80) == 3)
        spawnFormation(0);
    else if (GetRandomInt(80) == 5)
        spawnFormation(1);
}

}  // namespace

void stepStageScript() {
    if (stage < 1 || stage > FormationStage) return;
    const StageLevel& target = stageLevels[stage];
    if (target.level != NoLevel && waterline != target.level) {
        waterline += waterline < target.level ? target.stepBelow : target.stepAbove;
        return;  // nothing spawns, moves or fires while the water moves
    }
    if (stage == FormationStage)
        playFormations();
    else
        playStage(stage + 1);
}
