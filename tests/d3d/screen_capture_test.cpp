// Copying the draw target into graphs on the hardware path: the five copy methods take
// the same pixels, the dispatcher remembers per kind of texture which method worked,
// refused rectangles, and graphs larger than what is left of the draw target.
#include "d3d/d3d_test_support.h"

namespace {

using CaptureMethod = int (*)(int, int, int, int, GraphRecord*, int);
const CaptureMethod kMethods[] = {nullptr, G_D3D_GetDrawScreenGraphFunction1, G_D3D_GetDrawScreenGraphFunction2,
                                  G_D3D_GetDrawScreenGraphFunction3, G_D3D_GetDrawScreenGraphFunction4,
                                  G_D3D_GetDrawScreenGraphFunction5};

class ScreenCaptureTest : public HardwarePathTest {
protected:
    // Stripes of eight colours, each 7 pixels wide, over a grey ground.
    static void DrawStripes() {
        ClearCurrentScreen();
        DrawBoxShape(0, 0, 150, 200, ComposeColorValue(96, 96, 96), 1);
        for (int i = 0; i < 8; i++) {
            DrawBoxShape(7 * i + 3, 5 * i, 7 * i + 10, 5 * i + 120,
                         ComposeColorValue(255 * (i & 1), 255 * (i >> 1 & 1), i < 4 ? 255 : 64), 1);
        }
        G_D3D_EndScene();
    }
    // The back surface's rectangle as opaque 0xAARRGGBB, row by row.
    static std::vector<uint32_t> BackArea(int x, int y, int width, int height) {
        std::vector<uint32_t> area;
        for (int j = 0; j < height; j++)
            for (int i = 0; i < width; i++) area.push_back(0xFF000000u | BackRgb(x + i, y + j));
        return area;
    }
    // The rectangle (x, y, w, h) of a graph's texels, row by row.
    static std::vector<uint32_t> Area(const std::vector<uint32_t>& texels, int width, int x, int y, int w, int h) {
        std::vector<uint32_t> out;
        for (int row = y; row < y + h; row++)
            out.insert(out.end(), texels.begin() + row * width + x, texels.begin() + row * width + x + w);
        return out;
    }
    // Colours as a texture of the graph's format keeps them.
    static std::vector<uint32_t> AsTextureKeepsThem(int graph, std::vector<uint32_t> argb) {
        const Surface3DRecord* tile = GetSurface3DData(GetGraphRecord(graph)->pieces[0]);
        const ColorFormat* format = G_D3D_GetTextureColorFormatByIndex(GetSurfaceDataRecord(tile->texture)->formatIndex);
        for (uint32_t& c : argb) {
            int r = 0, g = 0, b = 0, a = 255;
            DecodePixelRgba(format, EncodePixelRgba(format, c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF, c >> 24), &r, &g,
                            &b, format->alphaWidth ? &a : nullptr);
            c = uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
        }
        return argb;
    }
};

TEST_F(ScreenCaptureTest, EveryMethodCopiesTheSameAreaIntoEveryTile) {
    for (int bits : {16, 32}) {
        SCOPED_TRACE(bits);
        Start(150, 200, bits, bits == 16 ? DesktopFormat::Rgb565 : DesktopFormat::Xrgb8888);
        DrawStripes();
        // 150 wide, as wide as the screen: a 128 and a 32 texture side by side.
        const int graph = CreateBlankGraph(150, 40, 0);
        GraphRecord* record = GetGraphRecord(graph);
        ASSERT_EQ(2, record->pieceCount);
        // Starting at x 0 the graph reaches the right edge; at y 10 the rectangle asked for
        // is only 60 x 30 but the graph receives the area of its own size.
        const std::vector<uint32_t> expected = AsTextureKeepsThem(graph, BackArea(0, 10, 150, 40));
        for (int method = 1; method <= 5; method++) {
            SCOPED_TRACE(method);
            ASSERT_EQ(0, FillGraphColor(graph, 1, 2, 3, 255));
            ASSERT_EQ(0, kMethods[method](0, 10, 60, 40, record, 1));
            const std::vector<uint32_t> texels = Graph3DTexels(graph);
            if (method == 5) {
                // The work surface holds only the rectangle asked for.
                EXPECT_EQ(Area(expected, 150, 0, 0, 60, 30), Area(texels, 150, 0, 0, 60, 30));
            } else {
                EXPECT_EQ(expected, texels);
            }
        }
        ShutdownLibrary();
        started_ = false;
    }
}

TEST_F(ScreenCaptureTest, TheTransparentColourBecomesClearInAlphaTextures) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    ClearCurrentScreen();
    DrawBoxShape(0, 0, 150, 200, ComposeColorValue(200, 100, 50), 1);
    DrawBoxShape(4, 4, 8, 8, ComposeColorValue(0, 0, 0), 1);  // the transparent colour
    G_D3D_EndScene();
    SetGraphAlphaChannelFlag(1);
    const int graph = CreateBlankGraph(16, 16, 0);
    SetGraphAlphaChannelFlag(0);
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 16, 16, graph, 1));
    const std::vector<uint32_t> texels = Graph3DTexels(graph);
    EXPECT_EQ(0xFFC86432u, texels[0]);
    EXPECT_EQ(0u, texels[5 * 16 + 5] >> 24);
}

TEST_F(ScreenCaptureTest, TheDispatcherRemembersWhatWorkedForEachKindOfTexture) {
    Start(150, 200, 16, DesktopFormat::Rgb565);
    DrawStripes();
    SetGraphAlphaTestFlag(0);  // new graphs are alpha tested unless told otherwise
    const int plain = CreateBlankGraph(32, 32, 0);
    SetGraphAlphaTestFlag(1);
    SetGraphAlphaChannelFlag(1);
    const int alpha = CreateBlankGraph(32, 32, 0);
    SetGraphAlphaChannelFlag(0);
    EXPECT_EQ((std::vector<int>{-1, -1}), std::vector<int>(g_D3D.captureMethod, g_D3D.captureMethod + 2));

    // Nothing known: the work-surface method, the first in the table, does it.
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 32, 32, plain, 1));
    EXPECT_EQ(0, g_D3D.captureMethod[0]);
    EXPECT_EQ(-1, g_D3D.captureMethod[1]);

    // The desktop case (front buffer in a window, client flag 0): the work-surface method
    // refuses and the blit, next in the table, reads desktop coordinates.
    SelectDrawTarget(FrontBufferTarget);
    PresentScreen();
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 32, 32, plain, 0));
    EXPECT_EQ(1, g_D3D.captureMethod[0]);
    const std::vector<uint32_t> texels = Graph3DTexels(plain);
    EXPECT_EQ(0xFF000000u | ReadDesktopRgb(20, 30), texels[30 * 32 + 20]);
    // Known now, the blit is called first for plain textures, also on the back buffer.
    SelectDrawTarget(BackBufferTarget);
    RecordDirect3DCalls(true);
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 32, 32, plain, 1));
    EXPECT_EQ(1, g_D3D.captureMethod[0]);
    EXPECT_EQ(0, CountDirect3DCalls(D3DCall::Load));
    // Alpha textures keep their own.
    ASSERT_EQ(0, GetDrawScreenGraph(0, 0, 32, 32, alpha, 1));
    EXPECT_EQ(0, g_D3D.captureMethod[1]);

    // Refused rectangles: every method fails without a word and nothing is remembered.
    const size_t logSize = MaskedLog().size();
    struct Refused {
        int x1, y1, x2, y2;
    } refused[] = {{5, 0, 5, 10}, {-1, 0, 10, 10}, {0, 0, 33, 10}, {0, 0, 10, 33}, {151, 0, 152, 1}};
    for (const Refused& r : refused) {
        EXPECT_EQ(-1, GetDrawScreenGraph(r.x1, r.y1, r.x2, r.y2, plain, 1)) << r.x1 << "," << r.x2;
        EXPECT_EQ(-1, g_D3D.captureMethod[0]);
    }
    EXPECT_EQ(logSize, MaskedLog().size());
}

TEST_F(ScreenCaptureTest, AFailedBitBltLogsThePlatformsErrorCodeAndReleasesTheDcs) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    DrawStripes();
    const int graph = CreateBlankGraph(32, 32, 0);
    GraphRecord* record = GetGraphRecord(graph);
    for (int method : {2, 3, 4}) {
        SCOPED_TRACE(method);
        const size_t logSize = MaskedLog().size();
        FailNextBitBlts(1);
        EXPECT_EQ(-1, kMethods[method](0, 0, 32, 32, record, 1));
        // ERROR_NOT_ENOUGH_MEMORY, the platform's reason for the refused copy.
        const std::string line = "Error  G_D3D_GetDrawScreenGraphFunction" + std::to_string(method) +
                                 " 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:8\r\n";
        EXPECT_NE(std::string::npos, MaskedLog().find(line, logSize)) << MaskedLog().substr(logSize);
        // Every DC went back: the same copy works at once.
        EXPECT_EQ(0, kMethods[method](0, 0, 32, 32, record, 1));
    }
}

TEST_F(ScreenCaptureTest, TilesBeyondTheDrawTargetKeepTheirPixels) {
    Start(150, 200, 32, DesktopFormat::Xrgb8888);
    DrawStripes();
    const int graph = CreateBlankGraph(150, 16, 0);  // tiles at x 0 (128 wide) and 128
    ASSERT_EQ(0, FillGraphColor(graph, 1, 2, 3, 255));
    // From x 100 only 50 columns are left: the first tile takes them, the second starts
    // beyond the draw target.
    ASSERT_EQ(0, G_D3D_GetDrawScreenGraphFunction1(100, 0, 101, 1, GetGraphRecord(graph), 1));
    const std::vector<uint32_t> texels = Graph3DTexels(graph);
    EXPECT_EQ(AsTextureKeepsThem(graph, BackArea(100, 0, 50, 16)), Area(texels, 150, 0, 0, 50, 16));
    EXPECT_EQ(AsTextureKeepsThem(graph, std::vector<uint32_t>(100 * 16, 0xFF010203u)),
              Area(texels, 150, 50, 0, 100, 16));
}

}  // namespace
