// 3D surfaces and graphs split into power-of-two textures.
#include "d3d/d3d_test_support.h"

TEST_F(HardwarePathTest, SizesSplitIntoPowerOfTwoTextures) {
    Start(640, 480);
    struct Case {
        uint32_t min, max;
        int size, drawTarget;
        std::vector<int> pieces;
    } cases[] = {
        {32, 256, 100, 0, {128}},        {32, 256, 640, 0, {256, 256, 128}}, {32, 256, 480, 0, {256, 128, 64, 32}},
        {32, 128, 200, 0, {128, 64, 32}}, {32, 64, 100, 0, {64, 64}},        {32, 512, 700, 0, {512, 128, 64}},
        {32, 256, 1, 0, {32}},            {1, 256, 1, 0, {1}},               {1, 2048, 640, 0, {512, 128}},
        {1, 2048, 640, 1, {1024}},
    };
    for (const Case& c : cases) {
        g_D3D.minTextureSize = c.min;
        g_D3D.maxTextureSize = c.max;
        int sizes[SplitSizeMaxPieces + 1] = {};
        const int n = SplitSizeIntoPowerOfTwo(c.size, sizes, c.drawTarget);
        EXPECT_EQ(c.pieces, std::vector<int>(sizes, sizes + n)) << c.size << " with " << c.min << ".." << c.max;
    }
}

TEST_F(HardwarePathTest, AGraphGetsTilesWithCornersAndAGraphOfTooManyTilesIsRefused) {
    Start(640, 480);
    const int graph = Graph(100, 50, std::vector<uint32_t>(5000, 0xFFFFFFFF));
    const GraphRecord* record = GetGraphRecord(graph);
    ASSERT_EQ(1, record->pieceCount);
    const Surface3DRecord* tile = GetSurface3DData(record->pieces[0]);
    ASSERT_NE(nullptr, tile);
    const SurfaceDataRecord* texture = GetSurfaceDataRecord(tile->texture);
    EXPECT_EQ(128, texture->width);
    EXPECT_EQ(64, texture->height);
    EXPECT_EQ(100.0f, tile->vertices[3].x);
    EXPECT_EQ(50.0f, tile->vertices[3].y);
    EXPECT_FLOAT_EQ(100.0f / 128.0f, tile->vertices[1].u);
    EXPECT_FLOAT_EQ(50.0f / 64.0f, tile->vertices[2].v);
    EXPECT_EQ((std::vector<int>{1, 1, 1, 0}), std::vector<int>(tile->diagonalSide, tile->diagonalSide + 4));

    // 9 columns of 256 x 8 rows needs 72 tiles.
    g_D3D.maxTextureSize = 256;
    const size_t logSize = MaskedLog().size();
    EXPECT_EQ(-1, CreateBlankGraph(256 * 9, 256 * 8, 0));
    EXPECT_NE(std::string::npos, MaskedLog().find("エラー：画像の分割数が最大数の 64 を超えました", logSize));
}

TEST_F(HardwarePathTest, HandlesAreCheckedAndSharedTilesKeepTheirTextureAlive) {
    Start();
    SurfaceDataSettings settings{};
    settings.texture = 1;
    settings.colorBits = 16;
    const int parent = AddSurface3DData(256, 64, 0, 0, 64, 64, 0, 0, -1, nullptr, 64, 0, &settings);
    ASSERT_NE(-1, parent);
    const int child = AddSurface3DData(0, 0, 0, 0, 10, 10, 0, 0, -1, LookupSurface3DData(parent), 16, 8, nullptr);
    ASSERT_NE(-1, child);
    const Surface3DRecord* shared = LookupSurface3DData(child);
    EXPECT_EQ(80, shared->textureX);
    EXPECT_EQ(8, shared->textureY);
    EXPECT_FLOAT_EQ(80.0f / 256.0f, shared->vertices[0].u);
    EXPECT_FLOAT_EQ(90.0f / 256.0f, shared->vertices[1].u);
    EXPECT_EQ(HandleCheck(parent) + 1, HandleCheck(child));
    const int texture = shared->texture;

    for (int refused : {child | int(0x80000000u), (child & ~HandleKindMask) | HandleKindConstant(HandleKindGraph),
                        child + (1 << 16)})
        EXPECT_EQ(nullptr, GetSurface3DData(refused)) << std::hex << refused;
    EXPECT_EQ(0, DeleteSurface3DData(parent));
    EXPECT_NE(nullptr, GetSurfaceDataRecord(texture));  // the child still names it
    EXPECT_EQ(0, DeleteSurface3DData(child));
    EXPECT_EQ(nullptr, GetSurfaceDataRecord(texture));
    EXPECT_EQ(-1, DeleteSurface3DData(child));
}
