// Outlined fonts whose edge size lies outside the four outline patterns, on every route
// and both glyph cache kinds: an edge of 0 or below is taken as the smallest pattern
// (1), sizes above 4 stamp the full square. Every font is made, draws horizontally and
// vertically without touching memory outside its blocks, and the allocator's block
// headers stay whole.
#include <climits>

#include "font/font_test_support.h"
#include "library/core/alloc.h"

using namespace fonttest;

namespace {

class EdgeSizeTest : public FontTest, public ::testing::WithParamInterface<TextRoute> {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartRoute(GetParam(), 160, 120);
    }
    // The back screen after a string drawn across and down with the font.
    std::vector<uint32_t> Picture(FontHandle font) {
        ClearCurrentScreenCore();
        const int white = RgbToScreenPixel(255, 255, 255), blue = RgbToScreenPixel(0, 0, 255);
        EXPECT_EQ(0, DrawTextWithFontHandle(1, 1, "AGあIB", white, font, blue, 0));
        EXPECT_EQ(0, DrawTextWithFontHandle(100, 1, "AGあIB", white, font, blue, 1));
        return BackScreenRgb();
    }
};

TEST_P(EdgeSizeTest, EveryEdgeSizeMakesAFontThatDrawsSafely) {
    struct Case {
        int edge, kept;  // the edge size asked for and the one the font takes
    };
    const Case cases[] = {{0, 1}, {-2, 1}, {-3, 1}, {-1, 1}, {1, 1}, {5, 5}, {40, 40}};
    const bool texture = GetParam() == TextRoute::Direct3D;
    for (int type : {int(FontTypeOutlined), FontTypeOutlined | FontTypeGreyLevels}) {
        const FontHandle reference = MakeFont(type, 1);
        const std::vector<uint32_t> edgeOne = Picture(reference);
        EXPECT_NE(std::vector<uint32_t>(edgeOne.size(), 0u), edgeOne);
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << "type " << type << ", edge " << c.edge);
            const FontHandle font = MakeFont(type, c.edge);
            const FontRecord* record = GetFontRecord(font);
            ASSERT_NE(nullptr, record);
            EXPECT_EQ(c.kept, record->edgeSize);
            EXPECT_EQ(type, record->typeFlags);
            EXPECT_EQ(texture ? 1 : 0, record->textureCacheFlag);
            EXPECT_EQ(12 + 2 * c.kept, record->lineHeight);
            const std::vector<uint32_t> picture = Picture(font);
            EXPECT_EQ(0, CheckAllAllocHeaders());
            if (c.kept == 1) {
                EXPECT_EQ(edgeOne, picture);
            }
            EXPECT_EQ(0, DestroyFontHandle(font));
        }
        DestroyFontHandle(reference);
    }
    EXPECT_EQ(0, CheckAllAllocHeaders());
}

TEST_P(EdgeSizeTest, AnEdgeTooWideForTheCacheIsRefused) {
    // Glyph sizes are kept in 16 bits, so a cell may be 32767 wide at most (an edge of
    // 20000 makes it 40010); twice INT_MAX is no int at all.
    for (int edge : {INT_MAX, 20000}) {
        EXPECT_EQ(-1, MakeFont(FontTypeOutlined, edge)) << edge;
        EXPECT_TRUE(Logged("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle")) << edge;
    }
    EXPECT_EQ(0, CheckAllAllocHeaders());
}

INSTANTIATE_TEST_SUITE_P(Routes, EdgeSizeTest,
                         ::testing::Values(TextRoute::Software, TextRoute::DirectDraw, TextRoute::Direct3D),
                         [](const ::testing::TestParamInfo<TextRoute>& info) { return TextRouteName(info.param); });

}  // namespace
