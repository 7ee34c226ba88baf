// game.h - Cinderwhirl: its state and routines, shared by the game's files and its tests.
//
// A ship rides the waterline and fires down into the sea (Z) or up into the sky (X)
// at enemies crossing below and above the water. All state is fixed global data (no
// heap); an object slot is free or active by the value of one coordinate, never by a
// flag. Each frame WinMain clears the screen, draws sky and sea, reads the keys, moves
// and draws the ship, then runs the current scene's step, which moves and draws the
// rest. The game reaches the library only through its public header, zqlib.h.
#pragma once

#include "vector2d.h"

struct PlatformModule;  // what an instance handle of the entry convention points to

constexpr int ScreenWidth = 150;
constexpr int ScreenHeight = 200;

enum Scene { SceneTitle = 0, ScenePlay = 1, SceneGameOver = 2, SceneScoreTable = 3 };

// Index into keyBytes.
enum KeyByte {
    KeyUp = 0,
    KeyDown = 1,
    KeyRight = 2,
    KeyLeft = 3,
    KeyZ = 4,
    KeyX = 5,
    KeyXLatch = 6,  // set by a shot, cleared when X is up
    KeyLeftShift = 7,
    KeyZLatch = 8,  // set by a shot, cleared when Z is up
    KeyByteCount = 9
};

// Keyboard scan codes as CheckKeyDown takes them.
enum ScanCode {
    ScanEscape = 1,
    ScanBackspace = 14,
    ScanLeftShift = 42,
    ScanZ = 44,
    ScanX = 45,
    ScanUp = 200,
    ScanLeft = 203,
    ScanRight = 205,
    ScanDown = 208
};

constexpr int MaxShots = 5;
constexpr int MaxEnemies = 300;
constexpr int MaxBullets = 200;
constexpr int MaxExplosions = 300;
constexpr int ExplosionFrames = 10;
constexpr int HiScoreCount = 5;
constexpr int FormationSize = 8;

// The last two readings of the millisecond clock, one per frame.
struct FrameTimeRecord {
    int previousStamp;
    int currentStamp;
    double rate;  // frames per second from the two stamps; 0 when they are equal
};

// Game state (game_state.cpp).
extern int scene;           // Scene
extern int stage;           // 0-7
extern int waterline;       // y of the sea surface
extern int lives;           // spare lives; the ship exists while >= 0
extern int deathTimer;      // frames of blinking left after a hit
extern int sceneCounter;    // frame counter of the title, game-over and score-table scenes
extern int enemyCount;      // enemies spawned in this stage
extern int combo;           // hit chain, 0-99
extern int score;
extern int displayedScore;  // counts up towards score
extern int rankResult;      // rank of the last game over, -1 when none
extern int bannerX;         // x of the stage banner
extern int hiScores[HiScoreCount];
extern char textBuffer[20];
extern char fontFaceName[30];
extern Vector2D ship;
extern Vector2D shots[MaxShots];
extern int shotDirections[MaxShots];  // +1 down into the sea, -1 up into the sky
extern Vector2D enemies[MaxEnemies];
extern Vector2D enemyBullets[MaxBullets];
extern Vector2D bulletVelocities[MaxBullets];
extern bakuhatu explosions[MaxExplosions];
extern unsigned char keyBytes[KeyByteCount];
extern FrameTimeRecord frameTime;

// Graph handles of the sprites.
extern int spriteSheet;
extern int shipSprite;
extern int scoreMarkSprite;
extern int shotDownSprite;
extern int shotUpSprite;
extern int seaEnemySprite;
extern int skyEnemySprite;
extern int bulletSprite;
extern int seaExplosionCells[ExplosionFrames];
extern int skyExplosionCells[ExplosionFrames];

// The eight members of a formation, in units of the formation grid.
extern const short formationColumns[FormationSize];
extern const short formationRows[FormationSize];

// Puts every global above back to its starting value, as the program starts.
void resetGameState();

// Main routine and frame loop (winmain.cpp).
int WinMain(PlatformModule* instance, PlatformModule* previousInstance, char* commandLine,
            int showCommand);
void runFrame();         // one frame, from the clock reading to the 30 ms wait
bool frameLoopEnds();    // the end-of-frame test: the pump ends the program or Escape is down
void readKeys();
void updateFrameRate();

// Scenes and stage script (scenes.cpp, stage_script.cpp, score_display.cpp).
void runScene();
void stepTitle();
void stepPlay();
void stepGameOver();
void stepScoreTable();
void startStage(int n);
void startGame();
void showHiScoreTable();
void showTitle();
void enterGameOver();
void stepStageScript();
int drawStageBanner(int stageNumber);  // 1 when drawn, 0 once it has left the screen
void drawScore();

// Objects, collisions and scoring (shots_enemies.cpp, explosions.cpp).
void fireShot();
void moveShots();
void spawnEnemy();
void spawnFormation(int side);  // side 0 enters from the right, side 1 from the left
int moveEnemies();              // 1 when no enemy was active
void enemyFire(const Vector2D& position);
void moveEnemyBullets();
void animateExplosions();
int startExplosion(int x, int y);  // slot taken, or -1 when none is free
void hitShip();
void hitEnemiesWithShots();
void chainExplosions();

// Hi-score and font-name files (score_files.cpp).
int loadHiScores(const char* path);
int recordHiScore(const char* path, int newScore);  // rank 1-5, or 0
void loadFontName();
