// A lost display device on the hardware path: the whole restore sequence drops the
// Direct3D object and its device, re-creates DirectDraw, obtains Direct3D again on the
// new object, makes the textures anew, reloads every graph from its file and re-creates
// the fonts. Afterwards every 3D graph holds its pixels again, the new device carries
// the states the old one had, and the game's frame draws exactly as before.
#include <fstream>

#include "d3d/d3d_test_support.h"
#include "library/font/font.h"
#include "library/graph/graph_loader.h"
#include "library/graph/graph_restore.h"
#include "support/api_lock.h"

namespace {

struct Screen {
    DesktopFormat desktop;
    int bits;
    const char* name;
};
void PrintTo(const Screen& screen, std::ostream* out) { *out << screen.name; }

class DeviceLossTest : public HardwarePathTest, public ::testing::WithParamInterface<Screen> {
protected:
    void StartGame() {
        Start(150, 200, GetParam().bits, GetParam().desktop);
        for (const char* name : {"image01.png", "bakuhatu5.png", "bakuhatu6.bmp"}) {
            std::ifstream in(std::string(ZQ_SOURCE_DIR) + "/game/data/" + name, std::ios::binary);
            std::ofstream out(dir_ + "/" + name, std::ios::binary);
            out << in.rdbuf();
        }
    }

    // The whole back surface as 0xRRGGBB.
    static std::vector<uint32_t> BackFrame() {
        std::vector<uint32_t> frame;
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 150; x++) frame.push_back(BackRgb(x, y));
        return frame;
    }

    // A frame of the game's kind with a little of everything the hardware path draws:
    // boxes, keyed sprites, a sheet across two textures, a stretched and a turned
    // graph, an outline and a string through the font's texture cache.
    void DrawFrame() {
        ClearCurrentScreen();
        DrawBoxShape(0, 0, 150, 100, ComposeColorValue(0, 158, 158), 1);
        DrawBoxShape(0, 100, 150, 200, ComposeColorValue(0, 0, 200), 1);
        DrawGraphAt(60, 95, ship_, 1);
        DrawGraphMirroredAt(20, 140, ship_, 1);
        DrawGraphAt(-100, 10, seaSheet_, 1);  // its second texture lies on the screen
        for (int i = 0; i < 10; i++) DrawGraphAt(5 + 14 * i, 50, sea_[i], 1);
        DrawGraphStretched(10, 150, 74, 166, sheet_, 0);
        DrawGraphToCorners(100.0f, 120.0f, 140.0f, 130.0f, 90.0f, 160.0f, 130.0f, 170.0f, sky_[3], 1);
        DrawBoxShape(2, 2, 40, 20, ComposeColorValue(255, 255, 0), 0);
        DrawTextAt(4, 180, "SCORE 0120", ComposeColorValue(255, 255, 255), 0);
    }

    int sheet_ = -1, ship_ = -1, seaSheet_ = -1;
    int sea_[10] = {}, sky_[10] = {};
};

// What the sheet's textures hold when the graphs are handed to the restore handler.
std::vector<uint32_t> g_SheetAtRestore;
int g_RestoredSheet = -1;
int ReloadAfterLookingAtTheSheet(void) {
    g_SheetAtRestore = Graph3DTexels(g_RestoredSheet);
    return ReloadGraphsFromFiles();
}

TEST_P(DeviceLossTest, EveryGraphComesBackAndTheFrameDrawsAsBefore) {
    StartGame();
    sheet_ = LoadImageToGraph("image01.png", 0);
    ship_ = DeriveSubGraph(0, 0, 25, 10, sheet_);
    seaSheet_ = LoadImageToGraph("bakuhatu5.png", 0);
    ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu5.png", 10, 10, 1, 32, 32, sea_, 0));
    ASSERT_EQ(0, LoadImageToDivGraphs("bakuhatu6.bmp", 10, 10, 1, 32, 32, sky_, 0));
    std::vector<int> graphs = {sheet_, ship_, seaSheet_};
    graphs.insert(graphs.end(), sea_, sea_ + 10);
    graphs.insert(graphs.end(), sky_, sky_ + 10);
    for (int graph : graphs) ASSERT_TRUE(GetGraphRecord(graph) && GetGraphRecord(graph)->hardwareFlag) << graph;
    ASSERT_EQ(2, GetGraphRecord(seaSheet_)->pieceCount);  // 320 wide: a 256 and a 64 texture
    SetDrawFilterMode(1);
    const FontRecord* font = GetFontRecord(FetchDefaultFontHandle());
    ASSERT_TRUE(font != nullptr && font->textureCacheFlag);

    std::vector<std::vector<uint32_t>> texels;
    for (int graph : graphs) texels.push_back(Graph3DTexels(graph));
    DrawFrame();
    const std::vector<uint32_t> frame = BackFrame();
    ASSERT_NE(std::vector<uint32_t>(frame.size(), 0u), frame);
    const IDirect3DDevice7 before = *CurrentD3DSlot()->device;

    MarkAllSurfacesLost();
    const size_t logSize = MaskedLog().size();
    g_RestoredSheet = sheet_;
    SetGraphRestoreHandler(ReloadAfterLookingAtTheSheet);
    ASSERT_EQ(0, UnderApiLock(RestoreGraphicsAfterDeviceLoss));
    SetGraphRestoreHandler(nullptr);
    // The textures were made anew, empty, and the reload filled them.
    ASSERT_EQ(texels[0].size(), g_SheetAtRestore.size());
    EXPECT_NE(texels[0], g_SheetAtRestore);

    // The object went with the old DirectDraw object and was obtained on the new one.
    const std::string log = MaskedLog().substr(logSize);
    EXPECT_NE(std::string::npos, log.find("Ｄｉｒｅｃｔ３Ｄオブジェクトを解放しました"));
    EXPECT_NE(std::string::npos, log.find("Ｄｉｒｅｃｔ３Ｄオブジェクトは正常に取得されました"));
    ASSERT_NE(nullptr, g_D3D.direct3D);
    EXPECT_EQ(GetDirectDrawObject(), g_D3D.direct3D->directDraw);
    D3DDeviceSlot* slot = CurrentD3DSlot();
    ASSERT_NE(nullptr, slot);
    ASSERT_NE(nullptr, slot->device);
    EXPECT_EQ(GetBackBufferSurface(), slot->device->target);
    EXPECT_EQ(0u, g_D3D.endSceneAfterEachDraw);

    for (size_t i = 0; i < graphs.size(); i++) {
        EXPECT_EQ(texels[i], Graph3DTexels(graphs[i])) << "graph " << i;
        EXPECT_EQ(0, GetGraphRecord(graphs[i])->restoreFlag) << "graph " << i;
    }
    DrawFrame();
    EXPECT_EQ(frame, BackFrame());

    // The new device was given every state the old one had, the filter included.
    const IDirect3DDevice7& after = *slot->device;
    for (DWORD state = 0; state < D3DRenderStateCount; state++)
        EXPECT_EQ(before.renderState[state], after.renderState[state]) << "render state " << state;
    for (DWORD stage = 0; stage < D3DTextureStageCount; stage++)
        for (DWORD state = 0; state < D3DTextureStageStateCount; state++)
            EXPECT_EQ(before.stageState[stage][state], after.stageState[stage][state])
                << "stage " << stage << " state " << state;
    EXPECT_EQ(0, std::memcmp(&before.viewport, &after.viewport, sizeof before.viewport));
}

// A 3D graph that is the draw target when the device is lost stays the target: the box
// drawn after the restore lands in the graph's new texture, not on the screen.
TEST_P(DeviceLossTest, AGraphThatIsTheDrawTargetIsDrawnIntoAfterTheRestore) {
    StartGame();
    SetGraphDrawValidFlag(1);
    const int target = CreateBlankGraph(16, 16, 0);
    SetGraphDrawValidFlag(0);
    ASSERT_TRUE(GetGraphRecord(target) != nullptr && GetGraphRecord(target)->hardwareFlag);
    ASSERT_EQ(0, SelectDrawTarget(target));

    MarkAllSurfacesLost();
    ASSERT_EQ(0, UnderApiLock(RestoreGraphicsAfterDeviceLoss));
    EXPECT_EQ(target, GetDrawTargetHandle());
    DrawBoxShape(2, 2, 6, 6, ComposeColorValue(255, 255, 255), 1);
    G_D3D_EndScene();
    const std::vector<uint32_t> texels = Graph3DTexels(target);
    ASSERT_EQ(256u, texels.size());
    EXPECT_EQ(0xFFFFFFu, texels[3 * 16 + 3] & 0xFFFFFF);
    EXPECT_EQ(0u, texels[8 * 16 + 8] & 0xFFFFFF);  // cleared to the background by the restore
    for (IDirectDrawSurface7* screen : {GetFrontBufferSurface(), GetBackBufferSurface()})
        EXPECT_NE(0xFFFFFFu, SurfaceRgb(screen, 3, 3));
    // The software side names the new texture too.
    EXPECT_EQ(CurrentD3DSlot()->renderTarget, GetDrawTargetSurface());

    ASSERT_EQ(0, SelectDrawTarget(BackBufferTarget));
    ClearCurrentScreen();
    DrawGraphAt(100, 100, target, 0);
    EXPECT_EQ(0xFFFFFFu, BackRgb(103, 103));
    EXPECT_EQ(0u, BackRgb(101, 101));
}

INSTANTIATE_TEST_SUITE_P(Screens, DeviceLossTest,
                         ::testing::Values(Screen{DesktopFormat::Rgb565, 16, "Rgb565"},
                                           Screen{DesktopFormat::Xrgb8888, 32, "Xrgb8888"}),
                         [](const ::testing::TestParamInfo<Screen>& info) { return std::string(info.param.name); });

}  // namespace
