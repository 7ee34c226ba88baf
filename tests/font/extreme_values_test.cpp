// Fonts and strings at the ends of the int range, on every route: a thickness of
// INT_MAX or INT_MIN asks GDI for a weight inside its range (and is kept as given),
// and strings and graphs drawn at positions near INT_MAX or INT_MIN work out their
// rectangles without wrapping, so they draw nothing on the screen.
#include <climits>

#include "font/font_test_support.h"
#include "library/graph/graph_handles.h"

using namespace fonttest;

namespace {

class ExtremeValuesTest : public FontTest, public ::testing::WithParamInterface<TextRoute> {
protected:
    void SetUp() override {
        FontTest::SetUp();
        StartRoute(GetParam(), 64, 48);
    }
};

TEST_P(ExtremeValuesTest, ThicknessAndPositionsAtTheEndsOfTheIntRange) {
    struct Case {
        int thickness, x, y;
        int weight;  // what GDI is asked for
        bool onScreen;
    };
    const Case cases[] = {
        {INT_MAX, 2, 2, 1000, true},
        {INT_MIN, 2, 2, 0, true},
        {11, 2, 2, 1000, true},
        {-3, 2, 2, 0, true},
        {6, INT_MAX, INT_MAX, 600, false},
        {6, INT_MAX - 3, 2, 600, false},
        {6, 2, INT_MAX - 3, 600, false},
        {6, INT_MIN, INT_MIN, 600, false},
        {6, INT_MIN + 3, 2, 600, false},
        {INT_MAX, INT_MAX - 1, INT_MIN + 1, 1000, false},
    };
    const int white = RgbToScreenPixel(255, 255, 255), blue = RgbToScreenPixel(0, 0, 255);
    const int graph = CreateBlankGraph(16, 16, 0);
    ASSERT_NE(-1, graph);
    FillGraphColor(graph, 255, 255, 255, 255);
    for (const Case& c : cases) {
        for (int type = 0; type < 4; type++) {
            SCOPED_TRACE(::testing::Message() << "thickness " << c.thickness << ", at " << c.x << ", " << c.y
                                              << ", type " << type);
            ClearFontCallRecord();
            const FontHandle font = CreateFontToHandle(GothicFaceName, 12, c.thickness, type, -1, -1, 0, -1, -1);
            ASSERT_NE(-1, font);
            ASSERT_EQ(1u, RecordedFontRequests().size());
            EXPECT_EQ(c.weight, RecordedFontRequests()[0].lfWeight);
            int thickness = 0;
            GetFontFaceAndSize(nullptr, nullptr, &thickness, font);
            EXPECT_EQ(c.thickness, thickness);  // kept as given

            ClearCurrentScreenCore();
            // (Text wholly outside the draw area may be refused on DirectDraw surfaces.)
            for (int vertical : {0, 1}) {
                const int result = DrawTextWithFontHandle(c.x, c.y, "AGあ", white, font, blue, vertical);
                if (c.onScreen) {
                    EXPECT_EQ(0, result);
                }
            }
            // Subtracting needs the string's rectangle (it leaves black as it is).
            SetBlendModeParam(BlendSubtract, 255);
            DrawTextWithFontHandle(c.x, c.y, "AGあ", white, font, blue, 0);
            SetBlendModeParam(BlendNone, 255);
            EXPECT_EQ(0, DrawGraphAtCore(c.x, c.y, graph, 1));
            EXPECT_EQ(0, DrawGraphPartAtCore(c.x, c.y, 4, 4, 8, 8, graph, 1, 0));
            DrawGraphPartAtCore(c.x, c.y, 4, 4, 8, 8, graph, 1, 1);
            DrawGraphMirroredAtCore(c.x, c.y, graph, 1);
            // Stretched onto 12 x 12 pixels toward the middle of the int range.
            const int x2 = c.x > 0 ? c.x - 12 : c.x + 12, y2 = c.y > 0 ? c.y - 12 : c.y + 12;
            DrawGraphPartStretched(c.x, c.y, x2, y2, 2, 2, 8, 8, graph, 1);
            const std::vector<uint32_t> screen = BackScreenRgb();
            EXPECT_EQ(c.onScreen, std::count(screen.begin(), screen.end(), 0u) != long(screen.size()));
            DestroyFontHandle(font);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ExtremeValuesTest,
                         ::testing::Values(TextRoute::Software, TextRoute::DirectDraw, TextRoute::Direct3D),
                         [](const ::testing::TestParamInfo<TextRoute>& info) { return TextRouteName(info.param); });

}  // namespace
