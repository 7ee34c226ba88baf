// game_replay.h - runs the real game (its WinMain over the whole library) from a key
// script, headless and deterministic, and records every presented frame.
//
// A run happens in a child process (fork) so that every run starts from a fresh
// library and game, in a fresh temporary directory that is also its XDG_RUNTIME_DIR,
// with the game's three images copied in. The child:
//   - pins the clock: virtual, starting at ReplayStartMilliseconds and advancing 1 ms
//     per read on the main thread, so the random seed and every log stamp are fixed
//     and the game's 30 ms spin takes no real time;
//   - pins the font to the IPA Gothic file (the face the game's empty "font.txt" asks
//     for), so text pixels do not depend on the machine's fonts;
//   - sets up the virtual desktop in the chosen format and, for DirectDraw output,
//     makes graphics start-up take the software-screen request (see game_replay.cpp);
//   - observes every present: a checksum of the window's pixels, the game's state, and
//     a PNG of the frames the script names; then it sets the key states of the next
//     frame (or closes the window), so a script is keyed by frame number;
//   - calls WinMain and exits with its result.
// The window stays active throughout: nothing ever takes the focus away.
//
//     ReplayScript script;
//     script.hold(ReplayKey::Right, 0, 12).escapeAfter(40);
//     ReplayRun run = RunReplay(script, ReplayDisplays()[0]);
//     EXPECT_EQ(0, run.exitStatus);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/desktop.h"

// The virtual clock's value when the game starts: the random seed follows from it.
constexpr unsigned ReplayStartMilliseconds = 10000;

// The keys the game reads.
enum class ReplayKey : uint8_t { Escape, Backspace, LeftShift, Z, X, Up, Left, Right, Down };

// How the screen reaches the window.
enum class ReplayOutput : uint8_t {
    Gdi,         // GDI output with the software renderer (what start-up picks without Direct3D)
    DirectDraw,  // DirectDraw screen surfaces drawn by the software renderer, no Direct3D object
    Hardware,    // the default start-up with a Direct3D device: graphs in textures, drawn by the device
};

struct ReplayDisplay {
    const char* name;  // for test names: "Gdi565", "DirectDraw8888", ...
    ReplayOutput output;
    DesktopFormat desktop;
};

// GDI and DirectDraw output, each on a 16-bit (RGB565) and a 32-bit desktop. The first
// one is the reference the golden files are made in.
const std::vector<ReplayDisplay>& ReplayDisplays();

struct ReplayScript {
    struct KeySpan {
        ReplayKey key;
        int firstFrame;
        int lastFrame;
    };
    std::vector<KeySpan> keys;
    int closeAfterFrame = -1;  // the user closes the window after this frame was presented
    int frameLimit = 20000;    // a run that goes on longer is ended with Escape and fails
    std::vector<int> pngFrames;         // frames written as PNG files
    std::optional<std::string> dataCsp;  // "data.csp" before the run; none: no file
    std::optional<std::string> fontTxt;  // "font.txt" before the run; none: no file

    // For measuring runs (the frame benchmark): without frame pacing the library's
    // present does not wait for the virtual vertical blank; without checksums the
    // harness reads no pixels; readCosts, when set, fills each frame's cost slots as the
    // frame is presented.
    bool framePacing = true;
    bool checksums = true;
    void (*readCosts)(double* slots) = nullptr;

    // The key is down during frames first..last (the frames count from 0).
    ReplayScript& hold(ReplayKey key, int first, int last);
    // One frame's press.
    ReplayScript& tap(ReplayKey key, int frame) { return hold(key, frame, frame); }
    // Escape is down at the end-of-frame test of `frame`, which is then the last one.
    ReplayScript& escapeAfter(int frame) { return hold(ReplayKey::Escape, frame + 1, frame + 1); }
    ReplayScript& closeAfter(int frame) {
        closeAfterFrame = frame;
        return *this;
    }
    ReplayScript& png(int frame) {
        pngFrames.push_back(frame);
        return *this;
    }
    bool isDown(ReplayKey key, int frame) const;
};

// The game's state as the frame was presented.
struct ReplayGameState {
    int32_t scene, stage, waterline, lives, deathTimer, sceneCounter;
    int32_t combo, score, displayedScore, rankResult;
    float shipX, shipY;
};

constexpr int ReplayCostSlots = 5;

struct ReplayFrame {
    uint32_t crc;       // CRC-32 of the window's pixels as 0xRRGGBB little-endian words
    uint32_t crc565;    // CRC-32 of the same pixels reduced to 5-6-5, as 16-bit words
    ReplayGameState game;
    double presentedAt;  // the monotonic clock (real time) at the present, in microseconds
    double costs[ReplayCostSlots];  // what the script's readCosts gave
};

// An image of the window: 0xRRGGBB per pixel, row by row.
struct ReplayImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

struct ReplayRun {
    int exitStatus = -1;        // the process's exit status; 128 + n for a signal
    std::string failure;        // what went wrong outside the game (empty: nothing)
    std::vector<ReplayFrame> frames;
    int presentsBeforeFirstFrame = 0;  // presents during start-up (not frames)
    int frameWidth = 0, frameHeight = 0;
    std::vector<std::pair<int, ReplayImage>> pictures;  // the script's PNG frames, read back
    std::optional<std::string> dataCsp;  // the files the run left
    std::optional<std::string> fontTxt;
    std::string log;                     // "Log.txt"
    std::vector<std::string> fontRequests;  // each font the library created: "face height"
    std::string standardOutput;
    std::string directory;               // kept only when ZQ_E2E_KEEP is set
};

// Runs the script in a child process in the given display configuration.
ReplayRun RunReplay(const ReplayScript& script, const ReplayDisplay& display);

// CRC-32 (the zlib polynomial) of the frame, exact and reduced to 5-6-5.
uint32_t FrameCrc(const ReplayImage& image);
uint32_t FrameCrc565(const ReplayImage& image);

// PNG files of window images (RGB, 8 bits per channel).
bool WriteReplayPng(const std::string& path, const ReplayImage& image);
std::optional<ReplayImage> ReadReplayPng(const std::string& path);
