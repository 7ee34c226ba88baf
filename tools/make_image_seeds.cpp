// make_image_seeds - writes the seed corpora of the image-decoder fuzz targets.
//
//   make_image_seeds <corpus root>      (normally tests/fuzz/corpus)
//
// One folder per target (fuzz_bmp, fuzz_tga, fuzz_dds, fuzz_bgra, fuzz_png,
// fuzz_jpeg), each holding small valid files of every stored form the decoder
// reads, so the fuzzer starts from the interesting paths instead of finding the
// headers by chance.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tests/support/image_files.h"

using namespace testimg;

namespace {

std::string g_root;

void Write(const char* target, const std::string& name, const Bytes& bytes) {
    std::string dir = g_root + "/" + target;
    mkdir(g_root.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fclose(f);
}

void WriteBmpSeeds() {
    const int w = 7, h = 5;
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < 256; i++) palette.push_back(i * 0x010305);
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BmpLayout s;
        s.width = w, s.height = bits == 8 ? -h : h, s.bitCount = uint16_t(bits);
        if (bits <= 8) s.palette.assign(palette.begin(), palette.begin() + (1 << bits));
        s.pixels = TestPicture(BmpStride(bits, w) / 4, h, 4);
        Write("fuzz_bmp", std::to_string(bits) + "bit.bmp", BuildBmp(s));
        if (bits == 16 || bits == 32) {
            s.compression = 3;
            s.headerSize = bits == 32 ? 124 : 40;
            s.masks[0] = bits == 16 ? 0xF800 : 0x3FF00000;
            s.masks[1] = bits == 16 ? 0x07E0 : 0x000FFC00;
            s.masks[2] = bits == 16 ? 0x001F : 0x000003FF;
            Write("fuzz_bmp", std::to_string(bits) + "bit_fields.bmp", BuildBmp(s));
        }
    }
    BmpLayout rle;
    rle.width = w, rle.height = h, rle.bitCount = 8, rle.compression = 1, rle.palette = palette;
    rle.pixels = {3, 1, 0, 4, 9, 8, 7, 6, 0, 0, 0, 2, 2, 1, 5, 3, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1};
    Write("fuzz_bmp", "rle8.bmp", BuildBmp(rle));
    rle.bitCount = 4, rle.compression = 2;
    rle.palette.resize(16);
    rle.pixels = {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 2, 1, 1, 3, 0xAB, 0, 1};
    Write("fuzz_bmp", "rle4.bmp", BuildBmp(rle));
    for (int bits : {1, 4, 8, 24}) {
        BmpLayout os2;
        os2.headerSize = 12, os2.width = w, os2.height = h, os2.bitCount = uint16_t(bits);
        if (bits <= 8) os2.palette.assign(palette.begin(), palette.begin() + (1 << bits));
        os2.pixels = TestPicture(BmpStride(bits, w) / 4, h, 4);
        Write("fuzz_bmp", "os2_" + std::to_string(bits) + "bit.bmp", BuildBmp(os2));
    }
}

void WriteTgaSeeds() {
    const int w = 6, h = 4;
    for (int depth : {16, 24, 32}) {
        for (uint8_t descriptor : {0x00, 0x30}) {
            TgaLayout s;
            s.width = w, s.height = h, s.pixelDepth = uint8_t(depth), s.descriptor = descriptor;
            s.data = TestPicture(w, h, depth / 8);
            std::string name = std::to_string(depth) + (descriptor ? "_topright" : "_bottomleft");
            Write("fuzz_tga", name + ".tga", BuildTga(s));
            s.type = 10;
            s.data = {0x83};
            Append(s.data, Bytes(size_t(depth / 8), 0x40));
            s.data.push_back(uint8_t(w * h - 5));
            Append(s.data, TestPicture(w * h - 4, 1, depth / 8));
            s.footer = depth == 24;
            Write("fuzz_tga", name + "_rle.tga", BuildTga(s));
        }
    }
    TgaLayout mapped;
    mapped.type = 1, mapped.width = w, mapped.height = h, mapped.pixelDepth = 8, mapped.mapEntryBits = 24;
    mapped.id = {'s', 'e', 'e', 'd'};
    mapped.mapFirst = 4, mapped.mapLength = 8, mapped.map = TestPicture(8, 1, 3);
    for (int i = 0; i < w * h; i++) mapped.data.push_back(uint8_t(4 + i % 8));
    Write("fuzz_tga", "mapped.tga", BuildTga(mapped));
    mapped.type = 9;
    mapped.data = {0x85, 5, 0x02, 6, 7, 8, 0x8F, 9};
    mapped.footer = true;
    Write("fuzz_tga", "mapped_rle.tga", BuildTga(mapped));
    TgaLayout withMap;  // true colour carrying a colour map, which is skipped
    withMap.width = w, withMap.height = h, withMap.mapLength = 3, withMap.mapEntryBits = 24;
    withMap.map = TestPicture(3, 1, 3);
    withMap.data = TestPicture(w, h, 3);
    Write("fuzz_tga", "24_with_map.tga", BuildTga(withMap));
    withMap.type = 10, withMap.data = {0x97, 1, 2, 3};
    Write("fuzz_tga", "24_rle_with_map.tga", BuildTga(withMap));
}

void WriteDdsSeeds() {
    const int w = 5, h = 3;
    for (uint32_t number : {20u, 21u, 23u, 25u, 26u, 31u, 35u}) {
        DdsLayout s;
        s.formatFlags = 0x4, s.fourCC = number, s.width = w, s.height = h;
        int bytes = number == 20 ? 3 : number == 21 || number >= 31 ? 4 : 2;
        s.pixels = TestPicture(w, h, bytes);
        Write("fuzz_dds", "fourcc" + std::to_string(number) + ".dds", BuildDds(s));
    }
    DdsLayout rgb;
    rgb.width = w, rgb.height = h, rgb.flags |= 0x8, rgb.pitch = w * 4 + 4;
    rgb.formatFlags = 0x41, rgb.masks[3] = 0xFF000000;
    rgb.pixels = TestPicture(w + 1, h, 4);
    Write("fuzz_dds", "rgb_alpha_pitch.dds", BuildDds(rgb));
    rgb.formatFlags = 0x40, rgb.bitCount = 16, rgb.flags &= ~0x8u;
    rgb.masks[0] = 0xF800, rgb.masks[1] = 0x07E0, rgb.masks[2] = 0x001F;
    rgb.pixels = TestPicture(w, h, 2);
    Write("fuzz_dds", "rgb565.dds", BuildDds(rgb));
    DdsLayout r3g3b2;
    r3g3b2.formatFlags = 0x4, r3g3b2.fourCC = 27, r3g3b2.width = w, r3g3b2.height = h;
    r3g3b2.pixels = TestPicture(w, h, 1);
    Write("fuzz_dds", "fourcc27.dds", BuildDds(r3g3b2));
    rgb.bitCount = 8, rgb.masks[0] = 0xE0, rgb.masks[1] = 0x1C, rgb.masks[2] = 0x03;
    rgb.pixels = TestPicture(w, h, 1);
    Write("fuzz_dds", "rgb332.dds", BuildDds(rgb));
}

void WriteBgraSeeds() {
    Write("fuzz_bgra", "8bit.bgra", BuildBgra(0x08080808, 4, 3, TestPicture(4, 3, 4)));
    Write("fuzz_bgra", "16bit.bgra", BuildBgra(0x10101010, 4, 3, TestPicture(4, 3, 8)));
}

void WritePngSeeds() {
    const int w = 9, h = 6;
    struct Kind {
        const char* name;
        int colorType, bitDepth, components;
    } kinds[] = {
        {"rgb", PNG_COLOR_TYPE_RGB, 8, 3},         {"rgba", PNG_COLOR_TYPE_RGBA, 8, 4},
        {"rgb16", PNG_COLOR_TYPE_RGB, 16, 6},      {"grey", PNG_COLOR_TYPE_GRAY, 8, 1},
        {"grey_alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2},
    };
    for (const Kind& k : kinds) {
        PngLayout s;
        s.width = w, s.height = h, s.colorType = k.colorType, s.bitDepth = k.bitDepth;
        s.rows = TestPicture(w * k.components, h, 1);
        Write("fuzz_png", std::string(k.name) + ".png", EncodePng(s));
        s.interlaced = true;
        Write("fuzz_png", std::string(k.name) + "_interlaced.png", EncodePng(s));
    }
    for (int depth : {1, 2, 4, 8}) {
        PngLayout s;
        s.width = w, s.height = h, s.colorType = PNG_COLOR_TYPE_PALETTE, s.bitDepth = depth;
        for (int i = 0; i < (1 << depth); i++) s.palette.push_back(uint32_t(i) * 0x030507);
        s.rows = TestPicture((w * depth + 7) / 8, h, 1);
        if (depth == 8) {
            for (uint8_t& b : s.rows) b %= 200;
            s.palette.resize(200);
            s.transparency = {0, 64, 128};
        }
        Write("fuzz_png", "palette" + std::to_string(depth) + ".png", EncodePng(s));
    }
    PngLayout keyed;
    keyed.width = w, keyed.height = h, keyed.colorType = PNG_COLOR_TYPE_GRAY, keyed.bitDepth = 4;
    keyed.rows = TestPicture((w * 4 + 7) / 8, h, 1);
    keyed.greyKey = true;
    Write("fuzz_png", "grey4_key.png", EncodePng(keyed));
}

void WriteJpegSeeds() {
    for (int components : {1, 3}) {
        for (bool progressive : {false, true}) {
            JpegLayout s;
            s.width = 19, s.height = 11, s.components = components, s.quality = 75;
            s.progressive = progressive;
            s.pixels = TestPicture(s.width, s.height, components);
            std::string name = std::string(components == 1 ? "grey" : "colour") + (progressive ? "_progressive" : "");
            Write("fuzz_jpeg", name + ".jpg", EncodeJpeg(s));
        }
    }
    for (bool ycck : {false, true}) {
        JpegLayout s;
        s.width = 19, s.height = 11, s.components = 4, s.quality = 75, s.ycck = ycck;
        s.pixels = TestPicture(s.width, s.height, 4);
        Write("fuzz_jpeg", ycck ? "ycck.jpg" : "cmyk.jpg", EncodeJpeg(s));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_image_seeds <corpus root>\n");
        return 1;
    }
    g_root = argv[1];
    WriteBmpSeeds();
    WriteTgaSeeds();
    WriteDdsSeeds();
    WriteBgraSeeds();
    WritePngSeeds();
    WriteJpegSeeds();
    return 0;
}
