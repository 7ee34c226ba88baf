// The game's data files: every sprite where the game cuts it, the transparent colour
// everywhere else, the file forms the library's loaders expect, and the files equal to
// what the generator in tools/ draws today.
#include <png.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "game_test_support.h"

namespace {

const std::filesystem::path DataFolder = std::filesystem::path(ZQ_SOURCE_DIR) / "game" / "data";

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::array<uint8_t, 3>> pixels;
    std::string problem;  // empty when the file was read and had the expected form

    bool isKey(int x, int y) const {
        const auto& p = pixels[size_t(y) * width + x];
        return p[0] == 0 && p[1] == 128 && p[2] == 128;
    }
};

// Reads an 8-bit RGB PNG (colour type 2, no transparency chunk).
Picture readRgbPng(const std::filesystem::path& path) {
    Picture picture;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        picture.problem = "cannot open";
        return picture;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        picture.problem = "not a readable PNG";
    } else {
        png_init_io(png, file);
        png_read_info(png, info);
        picture.width = static_cast<int>(png_get_image_width(png, info));
        picture.height = static_cast<int>(png_get_image_height(png, info));
        if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB) picture.problem = "colour type is not 2";
        else if (png_get_bit_depth(png, info) != 8) picture.problem = "bit depth is not 8";
        else if (png_get_valid(png, info, PNG_INFO_tRNS)) picture.problem = "has a tRNS chunk";
        else if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) picture.problem = "interlaced";
        if (picture.problem.empty()) {
            picture.pixels.resize(size_t(picture.width) * picture.height);
            rows.resize(picture.height);
            for (int y = 0; y < picture.height; y++) rows[y] = picture.pixels[size_t(y) * picture.width].data();
            png_read_image(png, rows.data());
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return picture;
}

uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; i--) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// Reads a 24-bit uncompressed bottom-up BMP with the 40-byte information header.
Picture readBmp24(const std::filesystem::path& path) {
    Picture picture;
    std::string bytes = readFile(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        picture.problem = "not a BMP";
        return picture;
    }
    int32_t height = static_cast<int32_t>(le32(bytes, 22));
    uint32_t bits = le32(bytes, 28) & 0xFFFF;
    if (le32(bytes, 14) != 40) picture.problem = "information header is not 40 bytes";
    else if (height <= 0) picture.problem = "not bottom-up";
    else if (bits != 24 || (le32(bytes, 26) & 0xFFFF) != 1) picture.problem = "not 24 bits in one plane";
    else if (le32(bytes, 30) != 0) picture.problem = "compressed";
    if (!picture.problem.empty()) return picture;
    picture.width = static_cast<int>(le32(bytes, 18));
    picture.height = height;
    size_t rowBytes = (size_t(picture.width) * 3 + 3) & ~size_t(3);
    size_t offset = le32(bytes, 10);
    if (offset != 54 || le32(bytes, 2) != bytes.size() || bytes.size() != offset + rowBytes * height) {
        picture.problem = "sizes do not add up";
        return picture;
    }
    picture.pixels.resize(size_t(picture.width) * height);
    for (int y = 0; y < height; y++) {
        const char* row = bytes.data() + offset + rowBytes * (height - 1 - y);
        for (int x = 0; x < picture.width; x++)
            picture.pixels[size_t(y) * picture.width + x] = {uint8_t(row[3 * x + 2]), uint8_t(row[3 * x + 1]), uint8_t(row[3 * x])};
    }
    return picture;
}

struct Region {
    const char* name;
    int x, y, width, height;
};

// Where the game cuts its sprites from image01.png.
const std::vector<Region> sheetRegions = [] {
    std::vector<Region> regions = {
        {"ship", 0, 0, 25, 10},          {"sea enemy", 26, 0, 27, 10}, {"sky enemy", 54, 0, 27, 10},
        {"score label", 0, 11, 33, 7},   {"score mark", 48, 11, 16, 9}, {"shot down", 0, 19, 4, 6},
        {"bullet", 5, 19, 5, 5},         {"shot up", 11, 19, 3, 6},
    };
    static const char* digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    for (int d = 0; d < 10; d++) regions.push_back({digits[d], 6 * d, 26, 6, 7});
    return regions;
}();

int artPixels(const Picture& picture, const Region& region) {
    int count = 0;
    for (int y = region.y; y < region.y + region.height; y++)
        for (int x = region.x; x < region.x + region.width; x++) count += !picture.isKey(x, y);
    return count;
}

// No art colour may turn into the transparent colour's 16-bit pixel value.
void expectNoColourNearTheKey(const Picture& picture) {
    for (int y = 0; y < picture.height; y++)
        for (int x = 0; x < picture.width; x++) {
            if (picture.isKey(x, y)) continue;
            const auto& p = picture.pixels[size_t(y) * picture.width + x];
            bool nearKey = p[0] <= 7 && p[1] >= 128 && p[1] <= 131 && p[2] >= 128 && p[2] <= 135;
            ASSERT_FALSE(nearKey) << "at " << x << "," << y;
        }
}

}  // namespace

TEST(GameArt, SpriteSheetHasEverySpriteOnTheTransparentColour) {
    Picture sheet = readRgbPng(DataFolder / "image01.png");
    ASSERT_EQ("", sheet.problem);
    ASSERT_GE(sheet.width, 81);
    ASSERT_GE(sheet.height, 33);
    for (const Region& region : sheetRegions) EXPECT_GT(artPixels(sheet, region), 0) << region.name;
    for (int y = 0; y < sheet.height; y++)
        for (int x = 0; x < sheet.width; x++) {
            bool inSprite = false;
            for (const Region& r : sheetRegions)
                inSprite |= x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            if (!inSprite) {
                ASSERT_TRUE(sheet.isKey(x, y)) << "stray art at " << x << "," << y;
            }
        }
    expectNoColourNearTheKey(sheet);
}

TEST(GameArt, ExplosionStripsGrowThenFillTheChainArea) {
    struct Strip {
        const char* name;
        Picture picture;
    };
    const Strip strips[] = {{"bakuhatu5.png", readRgbPng(DataFolder / "bakuhatu5.png")},
                            {"bakuhatu6.bmp", readBmp24(DataFolder / "bakuhatu6.bmp")}};
    const Region chainArea = {"chain area", 2, 2, 26, 23};  // x 2-27, y 2-24 of a cell
    for (const Strip& strip : strips) {
        SCOPED_TRACE(strip.name);
        const Picture& picture = strip.picture;
        ASSERT_EQ("", picture.problem);
        ASSERT_EQ(320, picture.width);
        ASSERT_EQ(32, picture.height);
        expectNoColourNearTheKey(picture);
        int previous = 0;
        for (int frame = 0; frame < 10; frame++) {
            SCOPED_TRACE(frame);
            Region cell = {"cell", 32 * frame, 0, 32, 32};
            int pixels = artPixels(picture, cell);
            if (frame <= 3) {
                EXPECT_GT(pixels, previous) << "frames 0-3 grow";
            }
            previous = pixels;
            for (int corner : {0, 31})
                for (int edge : {0, 31}) EXPECT_TRUE(picture.isKey(cell.x + corner, edge)) << "corner";
            // Centred on (16, 16).
            long sumX = 0, sumY = 0;
            for (int y = 0; y < 32; y++)
                for (int x = 0; x < 32; x++)
                    if (!picture.isKey(cell.x + x, y)) {
                        sumX += x;
                        sumY += y;
                    }
            EXPECT_NEAR(15.5, double(sumX) / pixels, 1.5);
            EXPECT_NEAR(15.5, double(sumY) / pixels, 1.5);
            if (frame >= 4) {
                Region area = chainArea;
                area.x += cell.x;
                EXPECT_GT(artPixels(picture, area), 26 * 23 * 6 / 10) << "frames 4-9 fill the chain area";
            }
        }
    }
}

TEST(GameArt, DataFolderHoldsNoAlphaCompanionsAndAnEmptyFontFile) {
    for (const char* name : {"image01_a.png", "bakuhatu5_a.png", "bakuhatu6_a.bmp"})
        EXPECT_FALSE(std::filesystem::exists(DataFolder / name)) << name;
    ASSERT_TRUE(std::filesystem::exists(DataFolder / "font.txt"));
    EXPECT_EQ(0u, std::filesystem::file_size(DataFolder / "font.txt"));
}

TEST(GameArt, FilesAreWhatTheGeneratorDraws) {
    ScratchDirectory scratch("cinderwhirl-art");
    ASSERT_FALSE(scratch.path().empty());
    std::filesystem::path fresh = scratch.path();
    std::string command = std::string("'") + ZQ_ART_GENERATOR + "' '" + fresh.string() + "'";
    ASSERT_EQ(0, std::system(command.c_str()));

    for (const char* name : {"image01.png", "bakuhatu5.png"}) {
        Picture made = readRgbPng(fresh / name), committed = readRgbPng(DataFolder / name);
        EXPECT_EQ(made.pixels, committed.pixels) << name << " differs: run make_game_art game/data";
    }
    EXPECT_EQ(readFile(fresh / "bakuhatu6.bmp"), readFile(DataFolder / "bakuhatu6.bmp"))
        << "bakuhatu6.bmp differs: run make_game_art game/data";
    EXPECT_EQ(readFile(fresh / "font.txt"), readFile(DataFolder / "font.txt"));
}
