// make_game_art.cpp - draws Cinderwhirl's sprites from code and writes the game's data files.
//
//   image01.png    the sprite sheet, 96 x 40, RGB (colour type 2, no alpha, no tRNS)
//   bakuhatu5.png  the sea explosion: ten 32 x 32 frames in a row, RGB PNG
//   bakuhatu6.bmp  the sky explosion: the same layout, 24-bit uncompressed bottom-up BMP
//   font.txt       empty, so the game uses the library's default font face
//
// Usage: make_game_art [output folder]   (default: game/data)
//
// Every pixel that is not art is the transparent colour (0, 128, 128). On a 16-bit screen
// every colour with R 0-7, G 128-131, B 128-135 turns into the same pixel value, so no art
// colour may fall in that box; the generator refuses to write one that does.
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

constexpr Rgb KeyColor = {0, 128, 128};

bool sameColor(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Colours that a 16-bit screen cannot tell from the transparent colour.
bool inKeyBox(Rgb c) { return c.r <= 7 && c.g >= 128 && c.g <= 131 && c.b >= 128 && c.b <= 135; }

struct Image {
    int width;
    int height;
    std::vector<Rgb> pixels;

    Image(int width, int height) : width(width), height(height), pixels(size_t(width) * height, KeyColor) {}
    Rgb& at(int x, int y) { return pixels[size_t(y) * width + x]; }
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "make_game_art: %s\n", message.c_str());
    std::exit(1);
}

// ---------------------------------------------------------------------------------------
// Pixel sprites, one character per pixel; '.' is transparent.

Rgb paletteColor(char c) {
    switch (c) {
    case 'k': return {22, 26, 44};     // outline
    case 'w': return {246, 246, 250};  // white
    case 'l': return {196, 204, 220};  // light grey
    case 'g': return {132, 142, 162};  // grey
    case 'd': return {78, 84, 100};    // dark grey
    case 'r': return {222, 52, 44};    // red
    case 'R': return {140, 26, 32};    // dark red
    case 'o': return {250, 146, 36};   // orange
    case 'y': return {255, 218, 64};   // yellow
    case 'Y': return {255, 248, 186};  // pale yellow
    case 'b': return {36, 64, 150};    // navy
    case 'c': return {150, 228, 255};  // light cyan
    case 'p': return {104, 52, 160};   // purple
    case 'P': return {172, 112, 232};  // light purple
    case 'm': return {236, 84, 168};   // pink
    case 'G': return {96, 200, 96};    // green
    default: fail(std::string("no colour for '") + c + "'");
    }
}

void drawSprite(Image& sheet, int left, int top, int width, int height, const std::vector<const char*>& rows) {
    if (int(rows.size()) != height) fail("sprite at " + std::to_string(left) + "," + std::to_string(top) + " has the wrong height");
    for (int y = 0; y < height; y++) {
        if (int(std::strlen(rows[y])) != width)
            fail("row " + std::to_string(y) + " of the sprite at " + std::to_string(left) + "," + std::to_string(top) +
                 " has the wrong width");
        for (int x = 0; x < width; x++)
            if (rows[y][x] != '.') sheet.at(left + x, top + y) = paletteColor(rows[y][x]);
    }
}

// The ship, riding the waterline with its bottom row: a grey gunboat with a red hull.
const std::vector<const char*> shipRows = {
    ".........kkk.............",
    ".........kyk.............",
    "........kklkk............",
    ".......kllwllk.....kk....",
    "...kkkkkbwbwbkkkkkkgdk...",
    "..kwwwwwwwwwwwwwwwwwwwk..",
    "kkrrrrrrrrrrrrrrrrrrrrrkk",
    ".kwwwwwwwwwwwwwwwwwwwwwk.",
    "..krrrrrrrrrrrrrrrrrrrk..",
    "...kRRRRRRRRRRRRRRRRRk...",
};

// The sea enemy, facing right: a purple fish with fins and a big eye.
const std::vector<const char*> seaEnemyRows = {
    "...........................",
    "kk...........kkkkk.........",
    "kPk.......kkkPPPPPkk.......",
    "kPPk....kkPPPPPPPPPPkkk....",
    ".kPPk.kkPPPPPmPPPPPkwwkk...",
    ".kPPPkPPPPPPmPPPPPPkwbkPkk.",
    ".kPPk.kkpppppmppppppkkppppk",
    "kpPk....kkppppppppppppppkk.",
    "kpk.......kkkppppppkkkkk...",
    "kk...........kkkkkk........",
};

// The sky enemy, facing right: a yellow propeller plane with an orange tail and wing.
const std::vector<const char*> skyEnemyRows = {
    "...........................",
    ".kk........................",
    ".kok..........kkk..........",
    ".kook........kcckk.......k.",
    ".koookkkkkkkkkcccykkkkkkkwk",
    ".kyyyyyyyyyyyyyyyyyyyyrrkwk",
    "..kkkkoooooooooooooooookkgk",
    "........kkkooooooook.....k.",
    "...........kkkkkkkk........",
    "...........................",
};

// The mark of the last game's rows in the score table: a crown.
const std::vector<const char*> scoreMarkRows = {
    "k......kk......k",
    "kk....kyyk....kk",
    "kyk..kyyyyk..kyk",
    "kyyk.kyYyyk.kyyk",
    "kyyykyyyyyykyyyk",
    "kyYyyyyyyyyyyyyk",
    "kyyryyyybyyyyryk",
    "kooooooooooooook",
    "kkkkkkkkkkkkkkkk",
};

// The shot going down (a bomb, also the life icon).
const std::vector<const char*> shotDownRows = {
    "k..k",
    "kllk",
    "kwwk",
    "kwwk",
    "kyyk",
    ".kk.",
};

// The enemy bullet: a red ball with a highlight.
const std::vector<const char*> bulletRows = {
    ".kkk.",
    "kYork",
    "korrk",
    "krrRk",
    ".kkk.",
};

// The shot going up: a bolt trailing flame.
const std::vector<const char*> shotUpRows = {
    ".Y.",
    "YwY",
    "yYy",
    "yYy",
    "o.o",
    "r.r",
};

// A 5 x 7 pixel font for the digits and the score caption.
struct Glyph {
    char character;
    const char* rows[7];
};

const Glyph glyphs[] = {
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
};

// Draws text at 6 px per character.
void drawText(Image& sheet, int left, int top, const char* text, Rgb color) {
    for (int i = 0; text[i] != '\0'; i++) {
        const Glyph* glyph = nullptr;
        for (const Glyph& candidate : glyphs)
            if (candidate.character == text[i]) glyph = &candidate;
        if (!glyph) fail(std::string("no glyph for '") + text[i] + "'");
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 5; x++)
                if (glyph->rows[y][x] == '#') sheet.at(left + 6 * i + x, top + y) = color;
    }
}

Image drawSpriteSheet() {
    Image sheet(96, 40);
    drawSprite(sheet, 0, 0, 25, 10, shipRows);
    drawSprite(sheet, 26, 0, 27, 10, seaEnemyRows);
    drawSprite(sheet, 54, 0, 27, 10, skyEnemyRows);
    drawText(sheet, 0, 11, "SCORE", {250, 250, 250});
    sheet.at(31, 13) = sheet.at(31, 16) = {250, 250, 250};  // a colon in the caption's last column
    drawSprite(sheet, 48, 11, 16, 9, scoreMarkRows);
    drawSprite(sheet, 0, 19, 4, 6, shotDownRows);
    drawSprite(sheet, 5, 19, 5, 5, bulletRows);
    drawSprite(sheet, 11, 19, 3, 6, shotUpRows);
    drawText(sheet, 0, 26, "0123456789", {255, 232, 120});
    return sheet;
}

// ---------------------------------------------------------------------------------------
// Explosions: ten 32 x 32 frames centred on (16, 16). Frames 0-3 grow; from frame 4 the
// blast covers the area in which it sets off other enemies (x 2-27, y 2-24) and burns out.

constexpr int CellSize = 32;
constexpr int FrameCount = 10;
constexpr double Pi = 3.14159265358979323846;

// A repeatable pseudo-random value in [0, 1) for a pixel.
double hash01(int x, int y, int seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(0x1000000);
}

Rgb mix(Rgb a, Rgb b, double t) {
    auto lerp = [t](uint8_t p, uint8_t q) { return uint8_t(std::lround(p + (q - p) * t)); };
    return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

// A colour ramp from the hot centre (heat 1) to the cool rim (heat 0).
struct RampStop {
    double heat;
    Rgb color;
};

Rgb rampColor(const std::vector<RampStop>& ramp, double heat) {
    if (heat >= ramp.front().heat) return ramp.front().color;
    for (size_t i = 1; i < ramp.size(); i++)
        if (heat >= ramp[i].heat)
            return mix(ramp[i].color, ramp[i - 1].color, (heat - ramp[i].heat) / (ramp[i - 1].heat - ramp[i].heat));
    return ramp.back().color;
}

struct BlastStyle {
    std::vector<RampStop> ramp;
    Rgb rim;          // the dark edge that keeps the blast readable on its background
    int seed;
    bool bubbles;     // sea blasts leave rings of bubbles, sky blasts break into smoke
};

const double blastRadius[FrameCount] = {4.5, 7.5, 10.5, 12.5, 14.0, 14.5, 14.5, 14.5, 14.0, 13.5};

void drawBlastFrame(Image& strip, int frame, const BlastStyle& style) {
    const double centre = 15.5;
    const double age = frame / double(FrameCount - 1);
    const double radius = blastRadius[frame];
    for (int y = 0; y < CellSize; y++) {
        for (int x = 0; x < CellSize; x++) {
            double dx = x - centre, dy = y - centre;
            double angle = std::atan2(dy, dx);
            // A lumpy edge that churns from frame to frame.
            double edge = radius * (1 + 0.07 * std::sin(3 * angle + 1.7 * frame + style.seed) +
                                    0.06 * std::sin(7 * angle - 2.3 * frame) +
                                    0.04 * std::sin(11 * angle + 0.9 * frame + 2 * style.seed));
            double distance = std::sqrt(dx * dx + dy * dy) / edge;
            if (distance > 1) continue;
            double grain = hash01(x, y, style.seed + frame);
            // Late frames open holes towards the rim as the blast burns out.
            if (frame >= 7 && distance > 0.55 && grain < 0.12 * (frame - 6)) continue;
            Rgb color;
            if (distance > 0.88) {
                color = style.rim;
            } else {
                double heat = (1 - distance) * (1.05 - 0.75 * age) + 0.18 * (grain - 0.5);
                color = rampColor(style.ramp, heat);
            }
            strip.at(frame * CellSize + x, y) = color;
        }
    }
    // Bubbles: small hollow rings scattered over the blast, more as it ages.
    if (style.bubbles && frame >= 3) {
        int count = 2 + frame;
        for (int i = 0; i < count; i++) {
            double angle = 2 * Pi * hash01(i, frame, style.seed + 7);
            double reach = radius * (0.35 + 0.55 * hash01(i, frame, style.seed + 11));
            int bx = int(std::lround(centre + reach * std::cos(angle)));
            int by = int(std::lround(centre + reach * std::sin(angle)));
            const int ring[][2] = {{0, -1}, {-1, 0}, {1, 0}, {0, 1}};
            for (const auto& offset : ring) {
                int px = bx + offset[0], py = by + offset[1];
                if (px >= 0 && px < CellSize && py >= 0 && py < CellSize) strip.at(frame * CellSize + px, py) = {236, 250, 255};
            }
        }
    }
}

Image drawExplosionStrip(const BlastStyle& style) {
    Image strip(CellSize * FrameCount, CellSize);
    for (int frame = 0; frame < FrameCount; frame++) drawBlastFrame(strip, frame, style);
    return strip;
}

// Under water: a flash that turns into a ball of white foam and pale blue water.
const BlastStyle seaBlast = {
    {{0.95, {255, 250, 220}}, {0.75, {255, 214, 96}}, {0.55, {226, 246, 255}}, {0.35, {140, 214, 250}}, {0.15, {70, 150, 236}}, {0.0, {40, 90, 200}}},
    {16, 36, 110},
    3,
    true,
};

// In the sky: white-hot fire through yellow, orange and red into dark smoke.
const BlastStyle skyBlast = {
    {{0.95, {255, 252, 224}}, {0.75, {255, 226, 80}}, {0.55, {252, 150, 36}}, {0.35, {220, 60, 30}}, {0.15, {120, 44, 40}}, {0.0, {70, 60, 66}}},
    {40, 28, 34},
    11,
    false,
};

// ---------------------------------------------------------------------------------------
// Writers.

void checkColors(const Image& image, const std::string& name) {
    for (Rgb c : image.pixels)
        if (!sameColor(c, KeyColor) && inKeyBox(c)) fail(name + " has a colour that turns transparent on a 16-bit screen");
}

void writePng(const Image& image, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fail("cannot create " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) fail("libpng could not start");
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; y++)
        rows[y] = reinterpret_cast<png_bytep>(const_cast<Rgb*>(&image.pixels[size_t(y) * image.width]));
    if (setjmp(png_jmpbuf(png))) fail("libpng could not write " + path);
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) fail("cannot write " + path);
}

void putLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) out.push_back(uint8_t(value >> (8 * i)));
}

// 24 bits per pixel, uncompressed, bottom-up, with the 40-byte information header.
void writeBmp(const Image& image, const std::string& path) {
    const uint32_t rowBytes = (uint32_t(image.width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * image.height;
    const uint32_t headerBytes = 14 + 40;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putLE(out, headerBytes + pixelBytes, 4);
    putLE(out, 0, 4);             // reserved
    putLE(out, headerBytes, 4);   // offset of the pixels
    putLE(out, 40, 4);            // information header size
    putLE(out, image.width, 4);
    putLE(out, image.height, 4);  // positive: bottom-up
    putLE(out, 1, 2);             // planes
    putLE(out, 24, 2);            // bits per pixel
    putLE(out, 0, 4);             // no compression
    putLE(out, pixelBytes, 4);
    putLE(out, 2835, 4);          // 72 dpi
    putLE(out, 2835, 4);
    putLE(out, 0, 4);             // colours used
    putLE(out, 0, 4);             // important colours
    for (int y = image.height - 1; y >= 0; y--) {
        for (int x = 0; x < image.width; x++) {
            Rgb c = image.pixels[size_t(y) * image.width + x];
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (uint32_t pad = uint32_t(image.width) * 3; pad < rowBytes; pad++) out.push_back(0);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) fail("cannot create " + path);
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !written) fail("cannot write " + path);
}

void writeEmptyFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fclose(file) != 0) fail("cannot create " + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: make_game_art [output folder]\n");
        return 2;
    }
    std::string folder = argc == 2 ? argv[1] : "game/data";

    Image sheet = drawSpriteSheet();
    Image sea = drawExplosionStrip(seaBlast);
    Image sky = drawExplosionStrip(skyBlast);
    checkColors(sheet, "image01.png");
    checkColors(sea, "bakuhatu5.png");
    checkColors(sky, "bakuhatu6.bmp");

    writePng(sheet, folder + "/image01.png");
    writePng(sea, folder + "/bakuhatu5.png");
    writeBmp(sky, folder + "/bakuhatu6.bmp");
    writeEmptyFile(folder + "/font.txt");
    return 0;
}
