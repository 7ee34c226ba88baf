// Device slots and batches: unchanged states are not sent, changes draw the pending
// batch first, full arrays and other primitive types break the batch, and the indexed
// grid of the four-corner draw.
#include "d3d/d3d_test_support.h"

namespace {
int CountStageStates(DWORD state) {
    int n = 0;
    for (const D3DCallRecord& r : RecordedDirect3DCalls()) n += r.call == D3DCall::SetTextureStageState && r.b == state;
    return n;
}
std::vector<DWORD> DrawCounts() {
    std::vector<DWORD> counts;
    for (const D3DCallRecord& r : RecordedDirect3DCalls())
        if (r.call == D3DCall::DrawPrimitive) counts.push_back(r.c);
    return counts;
}
}  // namespace

TEST_F(HardwarePathTest, ASettingSentTwiceIsSentOnceAndBadFilterModesAreRefusedAfterTheFlush) {
    Start();
    RecordDirect3DCalls(true);
    const int stages = CurrentD3DSlot()->stagesInUse;
    ASSERT_GT(stages, 0);
    EXPECT_EQ(0, G_D3D_SetSlotFilterMode(1, Slot()));
    EXPECT_EQ(0, G_D3D_SetSlotFilterMode(1, Slot()));
    EXPECT_EQ(stages, CountStageStates(D3DTSS_MAGFILTER));
    EXPECT_EQ(0, G_D3D_SetSlotZFunc(D3DCMP_ALWAYS, Slot()));
    EXPECT_EQ(0, G_D3D_SetSlotZFunc(D3DCMP_ALWAYS, Slot()));
    EXPECT_EQ(1u, RecordedRenderStates().size());
    // Lighting compares only with the cached lighting value.
    const int lighting = CurrentD3DSlot()->lighting;
    CurrentD3DSlot()->perspective = !lighting;
    EXPECT_EQ(0, G_D3D_SetSlotLighting(lighting, Slot()));
    EXPECT_EQ(1u, RecordedRenderStates().size());

    const int graph = Graph(2, 2, std::vector<uint32_t>(4, 0xFFFF0000));
    DrawGraphAt(0, 0, graph, 0);
    ASSERT_GT(CurrentD3DSlot()->batchCount, 0);
    EXPECT_EQ(-1, G_D3D_SetSlotFilterMode(2, Slot()));
    EXPECT_EQ(0, CurrentD3DSlot()->batchCount);
    EXPECT_EQ(1, CountDirect3DCalls(D3DCall::DrawPrimitive));
    EXPECT_EQ(1, CurrentD3DSlot()->filterMode);
}

TEST_F(HardwarePathTest, AFifthDeviceIsRefusedSilentlyAndAViewportChangingOnlyDepthIsNotSent) {
    Start();
    std::vector<int> made;
    for (int i = 0; i < 3; i++) made.push_back(G_D3D_CreateDevice(GetBackBufferSurface()));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), made);
    const size_t logSize = MaskedLog().size();
    EXPECT_EQ(-1, G_D3D_CreateDevice(GetBackBufferSurface()));
    EXPECT_EQ(logSize, MaskedLog().size());
    for (int slot : made) EXPECT_EQ(0, G_D3D_DeleteDevice(slot));

    RecordDirect3DCalls(true);
    D3DVIEWPORT7 viewport = CurrentD3DSlot()->viewport;
    viewport.dvMaxZ = 0.5f;
    EXPECT_EQ(0, G_D3D_SetSlotViewport(&viewport, Slot()));
    EXPECT_EQ(0, CountDirect3DCalls(D3DCall::SetViewport));
    viewport.dwWidth -= 1;
    EXPECT_EQ(0, G_D3D_SetSlotViewport(&viewport, Slot()));
    EXPECT_EQ(1, CountDirect3DCalls(D3DCall::SetViewport));
}

// 391 quads of one texture: the 391st does not fit the 2340-vertex array, so 390 are
// drawn in one call and the last one in the next; an outline after them is a new
// primitive type; a flush of an empty batch calls nothing.
TEST_F(HardwarePathTest, BatchesBreakWhenFullOrAtAnotherPrimitiveType) {
    Start(640, 480);
    const int graph = Graph(1, 1, {0xFFFFFFFF});
    RecordDirect3DCalls(true);
    for (int i = 0; i < 391; i++) DrawGraphAt(i % 600, i / 600, graph, 0);
    DrawBoxShape(10, 10, 20, 20, 0xFFFF, 0);
    G_D3D_FlushVertexBatch();
    G_D3D_FlushVertexBatch();
    EXPECT_EQ((std::vector<DWORD>{2340, 6, 8}), DrawCounts());
}

TEST_F(HardwarePathTest, TheIndexedGridJoinsItsRowStripsWithRepeatedIndices) {
    Start();
    ScreenVertex grid[9] = {};
    RecordDirect3DCalls(true);
    G_D3D_BeginSlotScene(Slot());
    EXPECT_EQ(0, G_D3D_DrawIndexedGrid(grid, 3, 3, Slot()));
    EXPECT_EQ(-1, G_D3D_DrawIndexedGrid(grid, 1, 3, Slot()));
    G_D3D_EndSlotScene(Slot());
    std::vector<WORD> indices;
    for (const D3DCallRecord& r : RecordedDirect3DCalls())
        if (r.call == D3DCall::DrawIndexedPrimitive) indices = r.indices;
    EXPECT_EQ((std::vector<WORD>{3, 0, 4, 1, 5, 2, 2, 6, 6, 3, 7, 4, 8, 5}), indices);
}

TEST_F(HardwarePathTest, CompositionTurnsAlphaAndBlendGraphSettingsIntoStates) {
    Start();
    D3DDeviceSlot* s = CurrentD3DSlot();
    const int graph = Graph(2, 2, std::vector<uint32_t>(4, 0x80FF0000));
    const GraphRecord* record = GetGraphRecord(graph);
    IDirectDrawSurface7* texture = Surface3DTexture(LookupSurface3DRecord(record->pieces[0]));
    // An alpha-channel texture without blending is alpha blended.
    G_D3D_SetSlotTexture(texture, Slot());
    G_D3D_SetSlotBlendMode(0, 0, 1, Slot());
    G_D3D_ComposeSlotStates(Slot());
    EXPECT_EQ(1u, s->alphaBlendEnable);
    EXPECT_EQ(uint32_t(D3DBLEND_SRCALPHA), s->srcBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_INVSRCALPHA), s->destBlend);
    // A 1-bit alpha texture is alpha tested with reference 16.
    G_D3D_SetSlotBlendMode(0, 1, 0, Slot());
    G_D3D_ComposeSlotStates(Slot());
    EXPECT_EQ(1u, s->alphaTestEnable);
    EXPECT_EQ(16u, s->alphaRef);
    EXPECT_EQ(uint32_t(D3DCMP_GREATER), s->alphaFunc);
    // A blend graph with range 255 and parameter 0: t = 512, the factor's alpha 255.
    s->blendTexture = texture;
    s->blendBorderParam = 0;
    s->blendBorderRange = 255;
    s->statesDirty = 1;
    G_D3D_ComposeSlotStates(Slot());
    EXPECT_EQ(0xFFFFFFFFu, s->textureFactor);
    EXPECT_EQ(D3DTOP_ADD, s->stageOps[0].alphaOp);
    EXPECT_EQ(D3DTOP_MODULATE, s->stageOps[1].alphaOp);
    EXPECT_EQ(int(BatchBlendTextured), s->batchKind);
    // Parameter 255 records the batch but explicit flushes throw it away.
    s->blendBorderParam = 255;
    s->blendBorderRange = 1;
    s->statesDirty = 1;
    G_D3D_ComposeSlotStates(Slot());
    EXPECT_EQ(1, s->discard);
    EXPECT_EQ(255u, s->alphaRef);
    s->blendTexture = nullptr;
    s->statesDirty = 1;
    G_D3D_ComposeSlotStates(Slot());
}
