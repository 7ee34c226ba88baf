// The game's own use of graphs, in both outputs: its start-up loads, one frame of its
// drawing compared pixel by pixel with a reference built from the source images, a
// screen-mode change, and a lost device brought back from the files.
#include <algorithm>
#include <map>
#include <string>

#include "graph_test_support.h"
#include "library/file/file_backend.h"
#include "library/file/plain_file.h"
#include "library/graph/graph_restore.h"
#include "support/api_lock.h"

namespace {

struct Region {
    int x, y, width, height;
};

// The sprites the game derives from image01.png, in its order.
const Region kSprites[] = {{0, 0, 25, 10}, {48, 11, 16, 9}, {0, 19, 4, 6}, {11, 19, 3, 6},
                           {26, 0, 27, 10}, {54, 0, 27, 10}, {5, 19, 5, 5}};

class GameSequenceTest : public GraphTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        Start(GetParam().output, GetParam().desktop);
        ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
        SetTransparentColorKey(0, 128, 128);
    }

    // What the game loads, in its order.
    void LoadGameGraphs() {
        sheet_ = LoadImageToGraph("image01.png", 0);
        for (const Region& r : kSprites) sprites_.push_back(DeriveSubGraph(r.x, r.y, r.width, r.height, sheet_));
        ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu5.png", 10, 10, 1, 32, 32, sea_, 0));
        ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu6.bmp", 10, 10, 1, 32, 32, sky_, 0));
    }
    std::vector<int> AllGraphs() const {
        std::vector<int> all = {sheet_};
        all.insert(all.end(), sprites_.begin(), sprites_.end());
        all.insert(all.end(), sea_, sea_ + 10);
        all.insert(all.end(), sky_, sky_ + 10);
        return all;
    }

    int sheet_ = -1;
    std::vector<int> sprites_;
    int sea_[10] = {};
    int sky_[10] = {};
};

// A reference screen: pixels as the back screen's format keeps them.
struct ReferenceScreen {
    const ColorFormat* format;
    std::vector<uint32_t> rgb = std::vector<uint32_t>(150 * 200, 0);

    void Box(int x1, int y1, int x2, int y2, uint32_t colour) {
        for (int y = std::max(y1, 0); y < std::min(y2, 200); y++)
            for (int x = std::max(x1, 0); x < std::min(x2, 150); x++) rgb[size_t(y) * 150 + x] = GraphTest::Quantized(format, colour);
    }
    // The sheet's rectangle drawn at (x, y) keyed with (0, 128, 128), optionally
    // mirrored, clipped to `clip`.
    void Sprite(const GraphTest::Decoded& sheet, const Region& source, int x, int y, bool mirror,
                const RECT& clip = RECT{0, 0, 150, 200}) {
        const uint32_t key = GraphTest::Quantized(format, 0x008080);
        for (int j = 0; j < source.height; j++)
            for (int i = 0; i < source.width; i++) {
                const int dx = x + i, dy = y + j;
                if (dx < clip.left || dx >= clip.right || dy < clip.top || dy >= clip.bottom) continue;
                const int sx = source.x + (mirror ? source.width - 1 - i : i);
                const uint32_t c = GraphTest::Quantized(format, sheet.at(sx, source.y + j));
                if (c != key) rgb[size_t(dy) * 150 + dx] = c;
            }
    }
};

// The first pixel where two screens differ, or "same".
std::string FirstDifference(const std::vector<uint32_t>& expected, const std::vector<uint32_t>& actual) {
    if (expected.size() != actual.size()) return "sizes differ";
    for (size_t i = 0; i < expected.size(); i++) {
        if (expected[i] != actual[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "(%zu, %zu): expected %06x, got %06x", i % 150, i / 150, expected[i],
                          actual[i]);
            return text;
        }
    }
    return "same";
}

TEST_P(GameSequenceTest, StartUpLoadsGiveTheExpectedHandlesAndSizes) {
    const int first = GraphTable.nextCheck;  // the warm-up's graphs used some check numbers
    LoadGameGraphs();
    auto handle = [first](int offset, int slot) { return MakeResourceHandle(HandleKindGraph, first + offset, slot); };
    EXPECT_EQ(handle(0, 0), sheet_);
    int width = 0, height = 0;
    EXPECT_EQ(0, GetGraphOrScreenSize(sheet_, &width, &height));
    EXPECT_EQ(96, width);
    EXPECT_EQ(40, height);
    for (size_t i = 0; i < sprites_.size(); i++) {
        EXPECT_EQ(handle(1 + int(i), 1 + int(i)), sprites_[i]) << i;
        const GraphRecord* g = GetGraphRecord(sprites_[i]);
        ASSERT_NE(nullptr, g);
        EXPECT_EQ(kSprites[i].width, g->width);
        EXPECT_EQ(kSprites[i].height, g->height);
        EXPECT_EQ(kSprites[i].x, g->sourceX);
        EXPECT_STREQ("image01.png", g->fileName);
    }
    // Each sheet is made whole first (slots 8 and 19), cut into cells after it and deleted.
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(handle(9 + i, 9 + i), sea_[i]) << i;
        EXPECT_EQ(handle(20 + i, 20 + i), sky_[i]) << i;
        for (int cell : {sea_[i], sky_[i]}) {
            const GraphRecord* g = GetGraphRecord(cell);
            ASSERT_NE(nullptr, g);
            EXPECT_EQ(32, g->width);
            EXPECT_EQ(32, g->height);
            EXPECT_EQ(32 * i, g->sourceX);
        }
    }
    EXPECT_STREQ("bakuhatu6.bmp", GetGraphRecord(sky_[9])->fileName);
    EXPECT_EQ(nullptr, GetGraphRecord(handle(8, 8)));
    EXPECT_EQ(nullptr, GetGraphRecord(handle(19, 19)));
    EXPECT_EQ(28, GraphTable.liveCount);
}

TEST_P(GameSequenceTest, OneFrameOfTheGameGivesTheReferencePixels) {
    LoadGameGraphs();
    const Decoded sheet = Decode("image01.png");
    ASSERT_EQ(96, sheet.width);
    const int ship = sprites_[0], seaEnemy = sprites_[4];

    EXPECT_EQ(0, ClearCurrentScreen());
    const int waterline = 100;
    EXPECT_EQ(0, DrawBoxShape(0, 0, 150, 200, ComposeColorValue(1, 1, 1), 1));
    EXPECT_EQ(0, DrawBoxShape(0, 0, 150, waterline, ComposeColorValue(0, 158, 158), 1));
    EXPECT_EQ(0, DrawBoxShape(0, waterline, 150, 200, ComposeColorValue(0, 0, 200), 1));
    EXPECT_EQ(0, DrawGraphAt(60, 95, ship, 1));
    EXPECT_EQ(0, DrawGraphMirroredAt(20, 140, seaEnemy, 1));
    EXPECT_EQ(0, DrawGraphMirroredAt(135, 30, seaEnemy, 1));  // partly off the right edge
    EXPECT_EQ(0, DrawGraphPartAt(60, 5, 0, 11, 33, 7, sheet_, 1, 0));
    const int digits[] = {7, 0, 3, 9, 1};
    for (int i = 0; i < 5; i++) EXPECT_EQ(0, DrawGraphPartAt(140 - 6 * i, 5, 6 * digits[i], 26, 6, 7, sheet_, 1, 0));

    ReferenceScreen reference{BackFormat()};
    reference.Box(0, 0, 150, waterline, 0x009E9E);
    reference.Box(0, waterline, 150, 200, 0x0000C8);
    reference.Sprite(sheet, kSprites[0], 60, 95, false);
    reference.Sprite(sheet, kSprites[4], 20, 140, true);
    reference.Sprite(sheet, kSprites[4], 135, 30, true);
    reference.Sprite(sheet, Region{0, 11, 33, 7}, 60, 5, false);
    for (int i = 0; i < 5; i++) reference.Sprite(sheet, Region{6 * digits[i], 26, 6, 7}, 140 - 6 * i, 5, false);
    EXPECT_EQ("same", FirstDifference(reference.rgb, BackRgb(RECT{0, 0, 150, 200})));
    // The keying matters: the ship's rectangle holds pixels of the key colour.
    const std::vector<uint32_t> shipPixels = sheet.Cut(0, 0, 25, 10);
    EXPECT_NE(0, std::count(shipPixels.begin(), shipPixels.end(), 0x008080u));
}

TEST_P(GameSequenceTest, AGraphFromBeforeAScreenModeChangeIsRefused) {
    LoadGameGraphs();
    const int before = sheet_;
    ASSERT_EQ(0, SetScreenMode(160, 200, 16, 60));
    EXPECT_EQ(nullptr, GetGraphRecord(before));
    EXPECT_EQ(-1, DrawGraphAt(0, 0, before, 1));
    EXPECT_EQ(0, GraphTable.liveCount);
    const int after = LoadImageToGraph("image01.png", 0);
    ASSERT_NE(-1, after);
    EXPECT_NE(before, after);
    EXPECT_EQ(0, DrawGraphAt(0, 0, after, 1));
}

// Counts the opens of each file through the file-operation table.
std::map<std::string, int> g_Opens;
StreamHandle CountingOpen(const char* path, int useCache, int archiveFlag, int nonBlocking) {
    g_Opens[path]++;
    return PlainFileBackendTable.open(path, useCache, archiveFlag, nonBlocking);
}

TEST_P(GameSequenceTest, ADeviceLossBringsEveryGraphBackFromItsFile) {
    LoadGameGraphs();
    std::vector<std::vector<uint32_t>> before;
    for (int graph : AllGraphs()) before.push_back(GraphRgb(graph));

    FileBackendTable counting = PlainFileBackendTable;
    counting.open = CountingOpen;
    SetFileBackendTable(&counting);
    g_Opens.clear();
    UnderApiLock(RestoreGraphicsAfterDeviceLoss);
    SetFileBackendTable(nullptr);

    const std::vector<int> all = AllGraphs();
    for (size_t i = 0; i < all.size(); i++) {
        ASSERT_NE(nullptr, GetGraphRecord(all[i])) << i;
        EXPECT_EQ(before[i], GraphRgb(all[i])) << i;
        EXPECT_EQ(0, GetGraphRecord(all[i])->restoreFlag) << i;
    }
    // One decode per sheet: the graphs cut from one file lie in consecutive slots.
    EXPECT_EQ(1, g_Opens["image01.png"]);
    EXPECT_EQ(1, g_Opens["bakuhatu5.png"]);
    EXPECT_EQ(1, g_Opens["bakuhatu6.bmp"]);
    // The screens work again.
    EXPECT_EQ(0, DrawGraphAt(10, 10, sprites_[0], 1));
}

INSTANTIATE_TEST_SUITE_P(Outputs, GameSequenceTest, AllOutputs(), OutputCaseName);

}  // namespace
