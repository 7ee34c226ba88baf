// The glyph cache and the rasteriser: the ring of slots, code lists and batches, the
// cell contents of every font type in the memory strip and the texture work image,
// the outline stamps, blank and oversized glyphs, the draw screen remade after the
// surfaces were deleted, and the fatal ends.
#include "font/font_test_support.h"

using namespace fonttest;

namespace {

class GlyphCacheTest : public FontTest {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartSoftware();
    }
    // The strip cell of a cached code, as rows of hex bytes ("00 01/...") or bits.
    static std::string StripCell(const FontRecord* font, uint16_t code, int width, int height) {
        const GlyphCacheEntry* entry = font->glyphMap[code].entry;
        if (entry == nullptr) return "absent";
        const uint8_t* cell = font->strip + size_t(GlyphCellY(font, entry->slot)) * font->stripPitch;
        std::string rows;
        for (int y = 0; y < height; y++) {
            if (y > 0) rows += '/';
            for (int x = 0; x < width; x++) {
                const uint8_t* row = cell + size_t(y) * font->stripPitch;
                if (font->stripBits == 1) {
                    rows += ((row[x >> 3] >> (7 - (x & 7))) & 1) ? '#' : '.';
                } else {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, "%s%02x", x > 0 ? " " : "", row[x]);
                    rows += hex;
                }
            }
        }
        return rows;
    }
    static const GlyphCacheEntry* Entry(FontHandle font, uint16_t code) {
        return GetFontRecord(font)->glyphMap[code].entry;
    }
};

TEST_F(GlyphCacheTest, TheRingReusesSlotsOldestFirst) {
    const FontHandle font = CreateFontToHandle("Wide", 12, 6, 0, -1, -1, 0, -1, -1);
    FontRecord* record = GetFontRecord(font);
    ASSERT_EQ(20, record->capacity);
    EXPECT_EQ(-1, record->cacheEntries[20].slot);  // the end marker is never handed out
    for (int slot = 0; slot < 20; slot++) EXPECT_EQ(slot, record->cacheEntries[slot].slot);

    // 'A' and the two-byte "あ" live at map entries 0x0041 and 0xA082.
    EXPECT_EQ(6 + 12, MeasureTextWidthWithFont("Aあ", -1, font, 0));
    EXPECT_EQ(1, record->glyphMap[0x0041].present);
    EXPECT_EQ(1, record->glyphMap[HiraganaACode].present);
    EXPECT_EQ(0, record->glyphMap['B'].present);

    // 18 more distinct codes fill the ring; the 21st evicts 'A' even though it was
    // just used.
    uint16_t codes[19];
    for (int i = 0; i < 18; i++) codes[i] = uint16_t('a' + i);
    RenderGlyphsToFontCache(18, codes, font);
    MeasureTextWidthWithFont("A", -1, font, 0);
    EXPECT_EQ(0, record->nextSlot);
    codes[0] = 'Z';
    RenderGlyphsToFontCache(1, codes, font);
    EXPECT_EQ(0, record->glyphMap['A'].present);
    EXPECT_EQ(nullptr, record->glyphMap['A'].entry);
    EXPECT_EQ(0, record->glyphMap['Z'].entry->slot);
    EXPECT_EQ(1, record->glyphMap[HiraganaACode].present);

    // A code listed twice takes two slots; the map keeps the later one, and evicting
    // the earlier leaves it.
    codes[0] = codes[1] = 'Q';
    RenderGlyphsToFontCache(2, codes, font);
    EXPECT_EQ(2, record->glyphMap['Q'].entry->slot);
    for (int i = 0; i < 19; i++) codes[i] = uint16_t('a' + i);
    RenderGlyphsToFontCache(19, codes, font);  // ring position 3 -> wraps to 2
    EXPECT_EQ(1, record->glyphMap['Q'].present);
    EXPECT_EQ(2, record->glyphMap['Q'].entry->slot);

    EXPECT_EQ(0, ResetGlyphCache(font));
    EXPECT_EQ(0, record->glyphMap['Q'].present);
    EXPECT_EQ(0, record->nextSlot);
    EXPECT_EQ(-1, ResetGlyphCache(-1));
}

TEST_F(GlyphCacheTest, CodeListsAndBatches) {
    const FontHandle font = MakeFont(0);
    FontRecord* record = GetFontRecord(font);
    uint16_t list[TextCodeListCapacity];
    int count = -1;
    // "A A": the space takes a slot with its advance only; the second 'A' is cached.
    ClearFontCallRecord();
    EXPECT_EQ(0, PrecacheTextGlyphs(font, "A A", -1, list, &count));
    EXPECT_EQ(3, count);
    EXPECT_EQ((std::vector<uint16_t>{'A', ' ', 'A'}), std::vector<uint16_t>(list, list + 3));
    EXPECT_EQ(3, record->nextSlot);  // 'A' twice (both missing when listed), ' ' once
    const GlyphCacheEntry* space = record->glyphMap[' '].entry;
    EXPECT_EQ(5, space->advance);
    EXPECT_EQ(0, space->boxWidth);
    EXPECT_EQ(0, space->boxHeight);

    // A length cut inside a two-byte character still takes the whole character.
    EXPECT_EQ(0, PrecacheTextGlyphs(font, "Bあ", 2, list, &count));
    EXPECT_EQ(2, count);
    EXPECT_EQ(HiraganaACode, list[1]);
    EXPECT_EQ(-1, PrecacheTextGlyphs(-1, "A", -1, list, &count));

    // 300 distinct uncached characters: the batch takes the first 256.
    std::string text;
    for (int i = 0; i < 300; i++) {
        text += char(0x88 + i / 150);
        text += char(0x40 + i % 150 + (i % 150 >= 0x3F ? 1 : 0));  // trail bytes 0x40-0x7E, 0x80-...
    }
    ClearFontCallRecord();
    EXPECT_EQ(0, PrecacheTextGlyphs(font, text.c_str(), -1, nullptr, &count));
    EXPECT_EQ(300, count);
    int present = 0;
    for (int i = 0; i < 300; i++) {
        const uint16_t code = uint16_t(uint8_t(text[2 * i]) | uint8_t(text[2 * i + 1]) << 8);
        present += record->glyphMap[code].present;
    }
    EXPECT_EQ(256, present);
    EXPECT_EQ(2 * 256, GlyphOutlineCallCount());  // size query and fetch per glyph

    // A text of more characters than the code list holds stops at the list's end.
    const std::string many(TextCodeListCapacity + 100, 'B');
    EXPECT_EQ(0, PrecacheTextGlyphs(font, many.c_str(), -1, list, &count));
    EXPECT_EQ(TextCodeListCapacity, count);
}

TEST_F(GlyphCacheTest, StripCellsOfEachType) {
    // Type 0: the bitmap's bits, box 3 x 3 at the cell's top-left.
    const FontHandle plain = MakeFont(0);
    MeasureTextWidthWithFont("A", -1, plain, 0);
    EXPECT_EQ("#.#./.#../#.#./....", StripCell(GetFontRecord(plain), 'A', 4, 4));
    const GlyphCacheEntry* a = Entry(plain, 'A');
    EXPECT_EQ(1, a->offsetX);
    EXPECT_EQ(2, a->offsetY);  // ascent 10 - origin 8
    EXPECT_EQ(6, a->advance);
    EXPECT_EQ(3, a->boxWidth);
    EXPECT_EQ(3, a->boxHeight);

    // Type 2: level - 1 where a level is set.
    const FontHandle grey = MakeFont(FontTypeGreyLevels);
    MeasureTextWidthWithFont("G", -1, grey, 0);
    EXPECT_EQ("00 0e 00/08 0f 00/00 00 00", StripCell(GetFontRecord(grey), 'G', 3, 3));

    // Type 1, edge 1: the glyph at (1, 1) with its four neighbours marked 2; box and
    // advance grow by 2.
    const FontHandle outlined = MakeFont(FontTypeOutlined, 1);
    MeasureTextWidthWithFont("A", -1, outlined, 0);
    EXPECT_EQ("00 02 00 02 00/02 01 02 01 02/00 02 01 02 00/02 01 02 01 02/00 02 00 02 00",
              StripCell(GetFontRecord(outlined), 'A', 5, 5));
    EXPECT_EQ(5, Entry(outlined, 'A')->boxWidth);
    EXPECT_EQ(8, Entry(outlined, 'A')->advance);
    EXPECT_EQ(1, Entry(outlined, 'A')->offsetX);  // the bearing as GDI gives it

    // Type 3, edge 1: low nibble level - 1, high nibble the strongest neighbour's.
    // Level 9 next to an empty pixel makes that neighbour 0x80.
    const FontHandle both = MakeFont(FontTypeOutlined | FontTypeGreyLevels, 1);
    MeasureTextWidthWithFont("G", -1, both, 0);
    EXPECT_EQ("00 00 e0 00/00 e0 fe e0/80 f8 ef f0/00 80 f0 00", StripCell(GetFontRecord(both), 'G', 4, 4));
}

TEST_F(GlyphCacheTest, OutlineStampsByEdgeSize) {
    // One lit pixel ('I' cut to its first row would not do: a face of single dots).
    FakeFontFace dot = GothicFace();
    dot.face = "Dot";
    dot.glyphs = {{'.', 0, 10, 1, "#"}};
    UseFakeFontsForTest({dot});
    const char* const expected[] = {
        ".#./#1#/.#.",
        ".###./#####/##1##/#####/.###.",
        "...#.../.#####./.#####./###1###/.#####./.#####./...#...",
        "..#####../.#######./#########/#########/####1####/#########/#########/.#######./..#####..",
        "###########/###########/###########/###########/###########/#####1#####/###########/###########/"
        "###########/###########/###########",
    };
    for (int e = 1; e <= 5; e++) {
        const FontHandle font = CreateFontToHandle("Dot", 12, 6, FontTypeOutlined, -1, e, 0, -1, -1);
        ASSERT_NE(-1, font) << e;
        MeasureTextWidthWithFont(".", -1, font, 0);
        const FontRecord* record = GetFontRecord(font);
        const GlyphCacheEntry* entry = record->glyphMap['.'].entry;
        EXPECT_EQ(1 + 2 * e, entry->boxWidth);
        const uint8_t* cell = record->strip + size_t(GlyphCellY(record, entry->slot)) * record->stripPitch;
        const std::string rows = Rows(2 * e + 1, 2 * e + 1, [&](int x, int y) {
            const uint8_t v = cell[size_t(y) * record->stripPitch + x];
            return v == 0 ? '.' : v == 1 ? '1' : '#';
        });
        EXPECT_EQ(expected[e - 1], rows) << "edge " << e;
        DestroyFontHandle(font);
    }
}

TEST_F(GlyphCacheTest, BlankAndOversizedGlyphsStayInsideTheirCells) {
    // A glyph without ink (not one of the two spaces) only advances: no bitmap is read.
    const FontHandle font = MakeFont(FontTypeOutlined | FontTypeGreyLevels, 2);
    MeasureTextWidthWithFont("\t　", -1, font, 0);
    const GlyphCacheEntry* tab = Entry(font, '\t');
    EXPECT_EQ(0, tab->boxWidth);
    EXPECT_EQ(0, tab->boxHeight);
    EXPECT_EQ(3 + 4, tab->advance);
    EXPECT_EQ(12 + 4, Entry(font, 0x4081)->advance);

    // 'W' is 19 pixels wide in 16-pixel cells: cut to the cell inside its outline.
    const FontHandle plain = MakeFont(0);
    MeasureTextWidthWithFont("W", -1, plain, 0);
    EXPECT_EQ(16, Entry(plain, 'W')->boxWidth);
    MeasureTextWidthWithFont("W", -1, font, 0);
    EXPECT_EQ(16, Entry(font, 'W')->boxWidth);  // 12 + 2 x 2

    // A glyph taller than the cell, rendered into the strip's last cell, writes nothing
    // past the strip (the address sanitizer watches) and is cut to the cell.
    static const std::string tall = [] {
        std::string rows = "#";
        for (int i = 0; i < 150; i++) rows += "/#";
        return rows;
    }();
    FakeFontFace wide = WideFace();
    wide.glyphs.push_back({'T', 0, 10, 2, tall.c_str()});
    UseFakeFontsForTest({wide});
    for (int type = 0; type < 4; type++) {
        const FontHandle narrowCells = CreateFontToHandle("Wide", 12, 6, type, -1, -1, 0, -1, -1);
        FontRecord* record = GetFontRecord(narrowCells);
        record->nextSlot = record->capacity - 1;
        MeasureTextWidthWithFont("T", -1, narrowCells, 0);
        const int e = (type & FontTypeOutlined) ? 1 : 0;
        EXPECT_EQ(record->cellSize, Entry(narrowCells, 'T')->boxHeight) << type;
        EXPECT_EQ(1 + 2 * e, Entry(narrowCells, 'T')->boxWidth) << type;
        DestroyFontHandle(narrowCells);
    }
}

TEST_F(GlyphCacheTest, TextureCellsInTheWorkImage) {
    // The texture cache needs Direct3D, so the cell writer is run on a record set up
    // the way the texture cache sets it up.
    struct Case {
        int type;
        int edge;
        const char* picture;
        const char* expected;  // hex pixels of the work image's left half, then the right half
    };
    ColorFormat argb4444{}, argb1555{};
    InitColorFormatFromMasks(&argb4444, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    InitColorFormatFromMasks(&argb1555, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
    const Case cases[] = {
        // Type 0: alpha where the bit is set, white everywhere in the box.
        {0, 0, "#./.#", "ffff 7fff/7fff ffff"},
        // Type 2: levels 16 and 1 give alpha 15 and 0; level 0 stays white with alpha 0.
        {FontTypeGreyLevels, 0, "#1/.8", "ffff 0fff/0fff 7fff"},
        // Type 1, edge 1: the body left, its stamp (four neighbours) right.
        {FontTypeOutlined, 1, "#", "0000 0000 0000/0000 ffff 0000/0000 0000 0000|0000 ffff 0000/ffff 0000 ffff/0000 ffff 0000"},
        // Type 3, edge 1: body levels - 1 left; right the union of the stamps'
        // coverages, 0 where uncovered inside the grown box.
        {FontTypeOutlined | FontTypeGreyLevels, 1, "#8",
         "0fff 0fff 0fff 0fff/0fff ffff 7fff 0fff/0fff 0fff 0fff 0fff|0fff ffff 7fff 0fff/ffff 7fff ffff 7fff/0fff ffff 7fff 0fff"},
    };
    for (const Case& c : cases) {
        FontRecord* font = static_cast<FontRecord*>(std::calloc(1, sizeof(FontRecord)));
        font->typeFlags = c.type;
        font->edgeSize = c.edge;
        font->textureCacheFlag = 1;
        GraphImage& work = font->workImage;
        work.format = (c.type & FontTypeGreyLevels) ? argb4444 : argb1555;
        const int e = c.edge, outlined = c.type & FontTypeOutlined;
        work.width = outlined ? 2 * 8 : 8;
        work.height = 8;
        work.pitch = work.width * 2;
        std::vector<uint16_t> pixels(size_t(work.width) * work.height, 0);
        work.pixels = pixels.data();

        // The picture as a GRAY4 or 1-bit bitmap.
        std::vector<std::string> rows;
        for (size_t start = 0;;) {
            const size_t end = std::string(c.picture).find('/', start);
            rows.push_back(std::string(c.picture).substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        const int w = int(rows[0].size()), h = int(rows.size());
        const bool grey = c.type & FontTypeGreyLevels;
        const int pitch = grey ? (w + 3) & ~3 : 4;
        std::vector<uint8_t> bytes(size_t(pitch) * h, 0);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const char ch = rows[y][x];
                const int level = ch == '#' ? 16 : ch == '.' ? 0 : ch - '0';
                if (grey) bytes[size_t(y) * pitch + x] = uint8_t(level);
                else if (level) bytes[size_t(y) * pitch + x / 8] |= uint8_t(0x80 >> (x % 8));
            }
        WriteGlyphToWorkImage(font, GlyphBitmap{bytes.data(), pitch, w, h, grey ? 16 : 1});

        auto half = [&](int offset) {
            std::string out;
            for (int y = 0; y < h + 2 * e; y++) {
                if (y > 0) out += '/';
                for (int x = 0; x < w + 2 * e; x++) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "%s%04x", x > 0 ? " " : "", pixels[size_t(y) * work.width + offset + x]);
                    out += hex;
                }
            }
            return out;
        };
        EXPECT_EQ(c.expected, outlined ? half(0) + "|" + half(8) : half(0)) << c.picture;
        std::free(font);
    }
}

TEST_F(GlyphCacheTest, TheDrawScreenIsMadeAgainAfterTheSurfacesWereDeleted) {
    const FontHandle font = MakeFont(FontTypeGreyLevels);
    FontRecord* record = GetFontRecord(font);
    const int first = record->drawScreenSurface;
    ASSERT_NE(nullptr, LookupSurface2D(first));
    EXPECT_EQ(0, record->drawScreenPending);
    const Surface2DRecord* piece = LookupSurface2D(first);
    const SurfaceDataRecord* data = GetSurfaceDataRecord(piece->surfaceData);
    EXPECT_EQ(1, data->image.alphaFlag);  // grey fonts blend through alpha
    EXPECT_EQ(64, data->image.width);     // screen-sized
    EXPECT_EQ(48, data->image.height);

    DeleteAllSurface2D();
    EXPECT_EQ(1, record->drawScreenPending);
    EXPECT_EQ(0, DrawTextWithFontHandle(2, 2, "G", uint32_t(RgbToScreenPixel(255, 255, 255)), font, 0, 0));
    EXPECT_EQ(0, record->drawScreenPending);
    EXPECT_NE(nullptr, LookupSurface2D(record->drawScreenSurface));
    EXPECT_EQ(nullptr, LookupSurface2D(first));
}

TEST_F(GlyphCacheTest, ByteBlocksAreCopiedInsideTheDrawArea) {
    const uint8_t block[6] = {1, 0, 2, 3, 0, 4};  // 3 x 2
    for (int mode : {0, 2}) {
        uint8_t dest[4 * 4];
        std::memset(dest, 9, sizeof dest);
        g_DrawState.clipRect = RECT{0, 0, 3, 4};  // the block's last column falls outside
        BltByteBufferClipped(1, 1, 3, 2, block, dest, 4, mode);
        const std::string expected = mode == 2 ? "9999/9109/9309/9999" : "9999/9199/9399/9999";
        EXPECT_EQ(expected, Rows(4, 4, [&](int x, int y) { return char('0' + dest[y * 4 + x]); })) << mode;
    }
}

// Without a main window, so the process can end in the child without one to close.
class GlyphCacheDeathTest : public FontTest {};

TEST_F(GlyphCacheDeathTest, ADcThatCannotBeHadEndsTheProcess) {
    PrepareWindowless();
    ASSERT_EQ(0, StartGraphicsDevice(reinterpret_cast<HWND>(uintptr_t(0x5000))));
    StartFonts();
    const FontHandle font = MakeFont(0);
    ASSERT_NE(-1, font);
    EXPECT_EXIT(
        {
            FailNextCompatibleDcs(1);
            MeasureTextWidthWithFont("A", -1, font, 0);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EXIT(
        {
            FailNextFontSelections(1);
            MeasureTextWidthWithFont("A", -1, font, 0);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_NE(std::string::npos, Log().find("テキストキャッシュサーフェスのＤＣの取得に失敗しました\r\n"));
    ShutdownFontSystem();
    StopGraphicsDevice();  // only the child ended: the parent's display ends as it began
}

}  // namespace
