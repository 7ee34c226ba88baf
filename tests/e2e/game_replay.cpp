// game_replay.cpp - the replay harness: the child's set-up, the present observer that
// records frames and drives the keys, and the parent's collection of the results.
// See game_replay.h.
#include "game_replay.h"

#include <fcntl.h>
#include <time.h>
#include <png.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/game.h"
#include "library/core/system_state.h"
#include "library/display/screen_state.h"
#include "platform/pixels.h"
#include "platform/testing.h"
#include "tests/support/scratch_directory.h"

namespace {

// The game's images, copied into each run's directory.
const char* const GameImageFiles[] = {"image01.png", "bakuhatu5.png", "bakuhatu6.bmp"};
// The face the game asks for by default ("ＭＳ ゴシック") is this file.
const char* const PinnedFontFile = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";

const SDL_Scancode KeyScancodes[] = {
    SDL_SCANCODE_ESCAPE, SDL_SCANCODE_BACKSPACE, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_Z,    SDL_SCANCODE_X,
    SDL_SCANCODE_UP,     SDL_SCANCODE_LEFT,      SDL_SCANCODE_RIGHT,  SDL_SCANCODE_DOWN,
};
constexpr int KeyCount = sizeof KeyScancodes / sizeof KeyScancodes[0];

// ---- The child ----------------------------------------------------------------------

struct ChildRun {
    const ReplayScript* script;
    ReplayOutput output;
    std::vector<ReplayFrame> frames;
    int presentsBeforeFirstFrame;
    int frameWidth, frameHeight;
    bool keyDown[KeyCount];
};
ChildRun g_child;

ReplayGameState GameStateNow() {
    return ReplayGameState{scene,          stage,        waterline, lives,  deathTimer, sceneCounter,
                           combo,          score,        displayedScore,    rankResult, ship.x, ship.y};
}

// The key states of one frame, set as SDL would report presses and releases.
void ApplyKeys(int frame) {
    for (int k = 0; k < KeyCount; k++) {
        bool down = g_child.script->isDown(static_cast<ReplayKey>(k), frame);
        if (frame > g_child.script->frameLimit) down = static_cast<ReplayKey>(k) == ReplayKey::Escape;
        if (down != g_child.keyDown[k]) DinputSeamSetKey(KeyScancodes[k], down);
        g_child.keyDown[k] = down;
    }
}

// The platform's own decoding of every 16-bit desktop value, as 0xRRGGBB.
const std::vector<uint32_t>& Decode16Table(const PixelView& desktop) {
    static std::vector<uint32_t> table;
    static PixelLayout tableLayout{};
    if (table.empty() || !IsSameLayout(tableLayout, desktop.layout)) {
        table.resize(65536);
        for (uint32_t v = 0; v < 65536; v++) table[v] = DecodePixel(desktop, v) & 0xFFFFFFu;
        tableLayout = desktop.layout;
    }
    return table;
}

// The window's pixels as 0xRRGGBB, from the desktop's 16- or 32-bit pixels.
ReplayImage ReadWindowImage(const RECT& rect) {
    ReplayImage image;
    image.width = rect.right - rect.left;
    image.height = rect.bottom - rect.top;
    image.rgb.resize(static_cast<size_t>(image.width) * image.height);
    PixelView desktop = DesktopView();
    const bool wide = desktop.layout.bytesPerPixel == 4;
    const uint32_t* decode16 = wide ? nullptr : Decode16Table(desktop).data();
    uint32_t* out = image.rgb.data();
    for (int y = rect.top; y < rect.bottom; y++) {
        const uint8_t* row = PixelAt(desktop, rect.left, y);
        for (int x = 0; x < image.width; x++)
            *out++ = wide ? ReadRawPixel(row + 4 * x, 4) & 0xFFFFFFu : decode16[ReadRawPixel(row + 2 * x, 2)];
    }
    return image;
}

// Every present of the game's window. Start-up presents (the warm-up draws onto the
// front screen) come before the game has its sprites; they are counted, not recorded.
void ObservePresent(const RECT& rect) {
    if (spriteSheet == 0) {
        g_child.presentsBeforeFirstFrame++;
        return;
    }
    const ReplayScript& script = *g_child.script;
    const int frame = static_cast<int>(g_child.frames.size());
    if (frame == 0 && !script.framePacing) SetPresentWaitVSync(0);
    ReplayFrame record{};
    record.game = GameStateNow();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    record.presentedAt = static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
    if (script.readCosts != nullptr) script.readCosts(record.costs);
    g_child.frameWidth = rect.right - rect.left;
    g_child.frameHeight = rect.bottom - rect.top;
    if (script.checksums || !script.pngFrames.empty()) {
        ReplayImage image = ReadWindowImage(rect);
        record.crc = FrameCrc(image);
        record.crc565 = FrameCrc565(image);
        for (int wanted : script.pngFrames) {
            if (wanted == frame) WriteReplayPng("frame-" + std::to_string(frame) + ".png", image);
        }
    }
    g_child.frames.push_back(record);
    ApplyKeys(frame + 1);
    if (frame == script.closeAfterFrame) WindowSeamInjectClose(SystemStateRecord.window.mainWindow);
}

void WriteChildResults() {
    FILE* out = std::fopen("replay-frames.bin", "wb");
    if (out == nullptr) return;
    int32_t head[3] = {g_child.presentsBeforeFirstFrame, g_child.frameWidth, g_child.frameHeight};
    std::fwrite(head, sizeof head, 1, out);
    if (!g_child.frames.empty()) std::fwrite(g_child.frames.data(), sizeof(ReplayFrame), g_child.frames.size(), out);
    std::fclose(out);
    out = std::fopen("replay-fonts.txt", "wb");
    if (out == nullptr) return;
    for (const LOGFONTA& font : RecordedFontRequests()) std::fprintf(out, "%s %ld\n", font.lfFaceName, long(font.lfHeight));
    std::fclose(out);
}

[[noreturn]] void RunChild(const ReplayScript& script, const ReplayDisplay& display, const std::string& dir) {
    if (chdir(dir.c_str()) != 0) _exit(120);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || dup2(out, STDOUT_FILENO) < 0) _exit(121);
    close(out);

    g_child = ChildRun{};
    g_child.script = &script;
    g_child.output = display.output;
    ResetDisplayForTest(display.desktop);
    // GDI and DirectDraw output are what start-up reaches on a machine without Direct3D.
    if (display.output != ReplayOutput::Hardware) NoDirect3DForTest();
    SetDesktopCaptureHook(ObservePresent);
    InstallVirtualClock(ReplayStartMilliseconds, 1);
    UseRealFontsForTest({PinnedFontFile});
    ClearFontCallRecord();
    DinputSeamReset();
    ApplyKeys(0);

    char commandLine[] = "";
    int status = WinMain(nullptr, nullptr, commandLine, 1);
    std::fflush(stdout);
    WriteChildResults();
    RemoveVirtualClock();
    std::exit(status);  // as the game's main does: -1 comes out as 255
}

// ---- The parent ---------------------------------------------------------------------

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void PrepareDirectory(const ReplayScript& script, const std::string& dir, std::string* failure) {
    for (const char* name : GameImageFiles) {
        std::error_code error;
        std::filesystem::copy_file(std::string(ZQ_SOURCE_DIR) + "/game/data/" + name, dir + "/" + name, error);
        if (error) *failure = std::string("cannot copy ") + name + ": " + error.message();
    }
    if (script.dataCsp && !WriteFile(dir + "/data.csp", *script.dataCsp)) *failure = "cannot write data.csp";
    if (script.fontTxt && !WriteFile(dir + "/font.txt", *script.fontTxt)) *failure = "cannot write font.txt";
}

void CollectResults(const ReplayScript& script, const std::string& dir, ReplayRun* run) {
    std::optional<std::string> frames = ReadFile(dir + "/replay-frames.bin");
    if (!frames || frames->size() < 3 * sizeof(int32_t)) {
        if (run->failure.empty()) run->failure = "the run wrote no frame record";
    } else {
        int32_t head[3];
        std::memcpy(head, frames->data(), sizeof head);
        run->presentsBeforeFirstFrame = head[0];
        run->frameWidth = head[1];
        run->frameHeight = head[2];
        size_t count = (frames->size() - sizeof head) / sizeof(ReplayFrame);
        run->frames.resize(count);
        if (count != 0) std::memcpy(run->frames.data(), frames->data() + sizeof head, count * sizeof(ReplayFrame));
    }
    for (int frame : script.pngFrames) {
        std::optional<ReplayImage> image = ReadReplayPng(dir + "/frame-" + std::to_string(frame) + ".png");
        if (image) run->pictures.emplace_back(frame, std::move(*image));
    }
    run->dataCsp = ReadFile(dir + "/data.csp");
    run->fontTxt = ReadFile(dir + "/font.txt");
    run->log = ReadFile(dir + "/Log.txt").value_or("");
    run->standardOutput = ReadFile(dir + "/stdout.txt").value_or("");
    std::istringstream fonts(ReadFile(dir + "/replay-fonts.txt").value_or(""));
    for (std::string line; std::getline(fonts, line);) run->fontRequests.push_back(line);
}

}  // namespace

// ---- Scripts and displays -------------------------------------------------------------

const std::vector<ReplayDisplay>& ReplayDisplays() {
    static const std::vector<ReplayDisplay> displays = {
        {"Gdi565", ReplayOutput::Gdi, DesktopFormat::Rgb565},
        {"DirectDraw565", ReplayOutput::DirectDraw, DesktopFormat::Rgb565},
        {"Gdi8888", ReplayOutput::Gdi, DesktopFormat::Xrgb8888},
        {"DirectDraw8888", ReplayOutput::DirectDraw, DesktopFormat::Xrgb8888},
        {"Hardware565", ReplayOutput::Hardware, DesktopFormat::Rgb565},
        {"Hardware8888", ReplayOutput::Hardware, DesktopFormat::Xrgb8888},
    };
    return displays;
}

ReplayScript& ReplayScript::hold(ReplayKey key, int first, int last) {
    keys.push_back(KeySpan{key, first, last});
    return *this;
}

bool ReplayScript::isDown(ReplayKey key, int frame) const {
    for (const KeySpan& span : keys) {
        if (span.key == key && frame >= span.firstFrame && frame <= span.lastFrame) return true;
    }
    return false;
}

ReplayRun RunReplay(const ReplayScript& script, const ReplayDisplay& display) {
    ReplayRun run;
    // The child ends by exit(), which unwinds no frames: only this process removes it.
    ScratchDirectory scratch("zq-e2e");
    const std::string& dir = scratch.path();
    if (dir.empty()) {
        run.failure = "no temporary directory";
        return run;
    }
    if (std::getenv("ZQ_E2E_KEEP") != nullptr) {
        scratch.keep();
        run.directory = dir;
    }
    PrepareDirectory(script, dir, &run.failure);
    if (!run.failure.empty()) return run;

    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        run.failure = "fork failed";
        return run;
    }
    if (child == 0) RunChild(script, display, dir);

    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    CollectResults(script, dir, &run);
    if (!run.frames.empty() && static_cast<int>(run.frames.size()) > script.frameLimit + 1)
        run.failure = "the script did not end the run by frame " + std::to_string(script.frameLimit);
    return run;
}

// ---- Checksums and PNG files ----------------------------------------------------------

uint32_t FrameCrc(const ReplayImage& image) {
    std::vector<Bytef> bytes(image.rgb.size() * 4);
    for (size_t i = 0; i < image.rgb.size(); i++) {
        uint32_t p = image.rgb[i];
        bytes[4 * i] = Bytef(p);
        bytes[4 * i + 1] = Bytef(p >> 8);
        bytes[4 * i + 2] = Bytef(p >> 16);
    }
    return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

uint32_t FrameCrc565(const ReplayImage& image) {
    std::vector<Bytef> bytes(image.rgb.size() * 2);
    for (size_t i = 0; i < image.rgb.size(); i++) {
        uint32_t p = image.rgb[i];
        uint32_t v = (p >> 8 & 0xF800) | (p >> 5 & 0x07E0) | (p >> 3 & 0x001F);
        bytes[2 * i] = Bytef(v);
        bytes[2 * i + 1] = Bytef(v >> 8);
    }
    return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

bool WriteReplayPng(const std::string& path, const ReplayImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    rgb.reserve(image.rgb.size() * 3);
    for (uint32_t p : image.rgb) {
        rgb.push_back(uint8_t(p >> 16));
        rgb.push_back(uint8_t(p >> 8));
        rgb.push_back(uint8_t(p));
    }
    return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

std::optional<ReplayImage> ReadReplayPng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return std::nullopt;
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) return std::nullopt;
    ReplayImage image;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.rgb.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < image.rgb.size(); i++)
        image.rgb[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return image;
}

// ---- DirectDraw output ----------------------------------------------------------------
//
// Library start-up turns a software-screen request made before it into GDI output; the
// DirectDraw configuration asks for it as graphics start-up begins instead, as a
// program that wants DirectDraw surfaces without Direct3D would find them. The test
// program is linked with --wrap for this one routine (tests/e2e/CMakeLists.txt).
extern "C" int __real__Z19StartGraphicsDeviceP14PlatformWindow(HWND window);
extern "C" int __wrap__Z19StartGraphicsDeviceP14PlatformWindow(HWND window) {
    if (g_child.script != nullptr && g_child.output == ReplayOutput::DirectDraw) SetSoftwareScreenRequest(1);
    return __real__Z19StartGraphicsDeviceP14PlatformWindow(window);
}
