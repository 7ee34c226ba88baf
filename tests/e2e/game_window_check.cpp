// game_window_check - checks a screenshot of the game's window (an xwd file of the
// window, as `xwd -id` writes it) against what a scene must show.
//
//     game_window_check title shot.xwd   sky, sea, the ship at x 75 on the waterline 40,
//                                        the white title text
//     game_window_check play shot.xwd    sky and sea, the score counter at the top
//                                        right, no title text
// Exit 0 when the picture passes, 1 with the reasons on stderr, 2 for a file it cannot read.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB
    uint32_t at(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

uint32_t BigEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

int MaskShift(uint32_t mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        shift++;
    }
    return shift;
}

// A ZPixmap of 24 or 32 bits per pixel with true-colour masks, the form xwd writes for
// a 24-bit X server.
bool ReadXwd(const char* path, Picture* picture, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 100) {
        *error = "not an xwd file";
        return false;
    }
    uint32_t field[25];
    for (int i = 0; i < 25; i++) field[i] = BigEndian32(bytes, 4 * size_t(i));
    const uint32_t headerSize = field[0], format = field[2], width = field[4], height = field[5];
    const uint32_t byteOrder = field[7], bitsPerPixel = field[11], bytesPerLine = field[12];
    const uint32_t visualClass = field[13], redMask = field[14], greenMask = field[15], blueMask = field[16];
    const uint32_t colours = field[19];
    if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || width == 0 || height == 0 || width > 4096 ||
        height > 4096) {
        *error = "unsupported xwd layout";
        return false;
    }
    const size_t pixels = size_t(headerSize) + size_t(colours) * 12;
    if (bytes.size() < pixels + size_t(bytesPerLine) * height || bytesPerLine < width * (bitsPerPixel / 8)) {
        *error = "truncated xwd file";
        return false;
    }
    // A DirectColor visual looks each channel's value up in the colormap that follows
    // the header (entries of 12 bytes: pixel, red, green, blue as 16 bits, flags, pad).
    std::vector<uint32_t> lookup[3];
    if (visualClass == 5) {
        for (uint32_t i = 0; i < colours; i++) {
            const uint8_t* entry = bytes.data() + headerSize + size_t(i) * 12;
            for (int c = 0; c < 3; c++) lookup[c].push_back(entry[4 + 2 * c]);
        }
    }
    auto channel = [&](int c, uint32_t v) { return v < lookup[c].size() ? lookup[c][v] : v; };
    picture->width = int(width);
    picture->height = int(height);
    picture->rgb.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; y++) {
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t* p = bytes.data() + pixels + size_t(y) * bytesPerLine + size_t(x) * (bitsPerPixel / 8);
            uint32_t v = 0;
            for (uint32_t b = 0; b < bitsPerPixel / 8; b++) {
                v |= byteOrder == 0 ? uint32_t(p[b]) << (8 * b) : uint32_t(p[b]) << (8 * (bitsPerPixel / 8 - 1 - b));
            }
            const uint32_t r = (v & redMask) >> MaskShift(redMask), g = (v & greenMask) >> MaskShift(greenMask),
                           bl = (v & blueMask) >> MaskShift(blueMask);
            picture->rgb[size_t(y) * width + x] = channel(0, r) << 16 | channel(1, g) << 8 | channel(2, bl);
        }
    }
    return true;
}

// Within a few steps of a colour (a 16-bit desktop shows it reduced).
bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        if (d < -8 || d > 8) return false;
    }
    return true;
}

bool IsLight(uint32_t rgb) { return (rgb >> 16 & 0xFF) >= 0xC0 && (rgb >> 8 & 0xFF) >= 0xC0 && (rgb & 0xFF) >= 0xC0; }

constexpr uint32_t Sky = 0x009E9E;
constexpr uint32_t Sea = 0x0000C8;

int CountForeground(const Picture& p, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; y++) {
        for (int x = x0; x < x1; x++) count += !Near(p.at(x, y), Sky) && !Near(p.at(x, y), Sea) ? 1 : 0;
    }
    return count;
}

int CountLight(const Picture& p, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; y++) {
        for (int x = x0; x < x1; x++) count += IsLight(p.at(x, y)) ? 1 : 0;
    }
    return count;
}

int failures = 0;

void Expect(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "game_window_check: %s\n", what);
    failures++;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: game_window_check title|play FILE.xwd\n");
        return 2;
    }
    Picture shot;
    std::string error;
    if (!ReadXwd(argv[2], &shot, &error)) {
        std::fprintf(stderr, "game_window_check: %s: %s\n", argv[2], error.c_str());
        return 2;
    }
    if (shot.width != 150 || shot.height != 200) {
        std::fprintf(stderr, "game_window_check: the window is %dx%d, not 150x200\n", shot.width, shot.height);
        return 1;
    }
    const std::string scene = argv[1];
    Expect(Near(shot.at(2, 20), Sky), "no sky at (2, 20)");
    Expect(Near(shot.at(2, 190), Sea), "no sea at (2, 190)");
    if (scene == "title") {
        Expect(Near(shot.at(2, 39), Sky) && Near(shot.at(2, 40), Sea), "the waterline is not at 40");
        Expect(CountForeground(shot, 75, 31, 100, 41) > 40, "no ship at (75, 31)");
        Expect(CountForeground(shot, 0, 25, 74, 45) == 0, "something beside the ship");
        Expect(CountLight(shot, 0, 50, 150, 70) > 60, "no white title text at y 50");
        Expect(CountLight(shot, 0, 120, 150, 140) > 60, "no white \"HiScore\" and \"Start\" at y 120");
    } else if (scene == "play") {
        Expect(CountForeground(shot, 60, 5, 150, 12) > 60, "no score counter at the top right");
        Expect(CountLight(shot, 0, 50, 150, 70) == 0, "the title text is still shown");
    } else {
        std::fprintf(stderr, "game_window_check: unknown scene %s\n", scene.c_str());
        return 2;
    }
    if (failures == 0) std::printf("game_window_check: the %s scene is on the screen\n", scene.c_str());
    return failures == 0 ? 0 : 1;
}
