// Under a real X server (Xvfb): the back buffer the library presents is what the X
// screen shows inside the game's window. The outer test starts this test program again
// under xvfb-run with SDL's X11 driver; the inner test presents a pattern and compares
// a screenshot of the root window (xwd) with it. The inner run does not look for leaks:
// SDL unloads the X11 libraries it loaded, and what they keep cannot be told apart
// from ours any more (the headless tests look for our leaks).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "display_test_support.h"

namespace {

bool CommandExists(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

uint32_t PatternRgb(int x, int y) { return uint32_t(x * 255 / 149) << 16 | uint32_t(y * 255 / 199) << 8 | uint32_t((x ^ y) & 0xFF); }

// A screenshot of the X screen: xwd's ZPixmap of the root window, 24 or 32 bits.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB
};

uint32_t BigEndian(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

int MaskShift(uint32_t mask) { return mask == 0 ? 0 : __builtin_ctz(mask); }

bool TakeScreenshot(Screenshot* shot) {
    FILE* pipe = popen("xwd -root -silent", "r");
    if (pipe == nullptr) return false;
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) data.insert(data.end(), chunk, chunk + got);
    if (pclose(pipe) != 0 || data.size() < 100) return false;
    uint32_t field[25];
    for (int i = 0; i < 25; i++) field[i] = BigEndian(&data[size_t(i) * 4]);
    const uint32_t headerSize = field[0], format = field[2], width = field[4], height = field[5];
    const uint32_t byteOrder = field[7], bitsPerPixel = field[11], bytesPerLine = field[12];
    const uint32_t red = field[14], green = field[15], blue = field[16], colours = field[19];
    const size_t pixels = size_t(headerSize) + size_t(colours) * 12;
    if (format != 2 || (bitsPerPixel != 24 && bitsPerPixel != 32) || data.size() < pixels + size_t(bytesPerLine) * height) {
        return false;
    }
    shot->width = int(width);
    shot->height = int(height);
    shot->rgb.assign(size_t(width) * height, 0);
    const int bytes = int(bitsPerPixel / 8);
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t* row = &data[pixels + size_t(y) * bytesPerLine];
        for (uint32_t x = 0; x < width; x++) {
            uint32_t value = 0;
            for (int b = 0; b < bytes; b++) {
                uint32_t byte = row[x * bytes + b];
                value |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytes - 1 - b));
            }
            uint32_t r = (value & red) >> MaskShift(red), g = (value & green) >> MaskShift(green);
            uint32_t b = (value & blue) >> MaskShift(blue);
            shot->rgb[size_t(y) * width + x] = r << 16 | g << 8 | b;
        }
    }
    return true;
}

int WrongPixels(const Screenshot& shot, const RECT& client) {
    int wrong = 0;
    for (int y = 0; y < 200; y++) {
        for (int x = 0; x < 150; x++) {
            int sx = client.left + x, sy = client.top + y;
            bool inside = sx >= 0 && sy >= 0 && sx < shot.width && sy < shot.height;
            if (!inside || shot.rgb[size_t(sy) * shot.width + sx] != PatternRgb(x, y)) wrong++;
        }
    }
    return wrong;
}

}  // namespace

TEST(XvfbWindow, TheGameWindowShowsThePresentedPattern) {
    if (!CommandExists("xvfb-run") || !CommandExists("xwd")) GTEST_SKIP() << "xvfb-run or xwd is not installed";
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    self[length] = '\0';
    const std::string command = std::string("xvfb-run -a -s '-screen 0 1024x768x24' env SDL_VIDEODRIVER=x11 ") +
                                "ZQ_XVFB_INNER=1 ASAN_OPTIONS=detect_leaks=0 '" + self +
                                "' --gtest_filter=DisplayTest.UnderXvfbThePatternIsOnTheScreen 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    std::string output;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(0, WEXITSTATUS(status)) << output;
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ] 1 test")) << output;
}

TEST_F(DisplayTest, UnderXvfbThePatternIsOnTheScreen) {
    if (std::getenv("ZQ_XVFB_INNER") == nullptr) GTEST_SKIP() << "runs under xvfb-run, started by XvfbWindow";
    GameSettings();
    StartLibrary();
    ASSERT_EQ(MemImgFormat32, BackMemImg.formatKind);
    for (int y = 0; y < 200; y++) {
        for (int x = 0; x < 150; x++) {
            uint32_t value = PatternRgb(x, y);
            std::memcpy(MemImgPixelAddress(&BackMemImg, x, y), &value, 4);
        }
    }
    SelectDrawTarget(BackBufferTarget);
    RECT client;
    GetWindowClientScreenRect(&client);

    // The window is mapped by the X server in its own time: present until it shows.
    int wrong = -1;
    for (int attempt = 0; attempt < 50 && wrong != 0; attempt++) {
        ASSERT_EQ(0, PresentScreen());
        ProcessMessage();
        usleep(100000);  // real time: the X server runs on it
        Screenshot shot;
        ASSERT_TRUE(TakeScreenshot(&shot));
        wrong = WrongPixels(shot, client);
    }
    EXPECT_EQ(0, wrong) << "pixels of the client area that differ from the pattern";
}
