// Movies on an 8-bit palette screen: a movie loads into a graph, and each frame arrives
// as the indices of the screen palette entries nearest to its colours, following the
// palette when it changes.
#include "movie_test_support.h"
#include "support/api_lock.h"

namespace {

constexpr int kWidth = 4, kHeight = 3;

// Colours that 15 bits hold exactly (each channel 0, 66, 132 or 255), so that the
// movie layer's colour table and an exact search agree on their nearest entries.
const std::vector<uint32_t> kColours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x4284FF,
                                        0x844200, 0xFF8442, 0x424242, 0x848484, 0x004284, 0xFFFF00};

class PaletteMovieTest : public MovieTest {
protected:
    void StartPaletteScreen() {
        ResetMovieSeams();
        UseFakeMovieEngine();
        ResetDisplayForTest();
        ChangeWindowMode(0);
        SetScreenMode(320, 240, 8, 60);
        StartDisplay(true);  // DirectDraw surfaces drawn without Direct3D
        ASSERT_EQ(8, GetScreenColorBitDepth());
        SetVirtualClockStep(0);
        SetVirtualClockMilliseconds(clockMs_);
        SelectDrawTarget(BackBufferTarget);
    }

    // The graph's palette indices, row by row.
    static std::vector<int> GraphIndices(int graph) {
        const GraphRecord* record = GetGraphRecord(graph);
        const Surface2DRecord* piece = GetSurface2DRecord(record->pieces[0]);
        IDirectDrawSurface7* surface = GetSurfaceDataRecord(piece->surfaceData)->surface;
        RECT area{0, 0, kWidth, kHeight};
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        std::vector<int> indices;
        if (surface == nullptr ||
            IDirectDrawSurface7_Lock(surface, &area, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
            return indices;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++) indices.push_back(static_cast<const uint8_t*>(desc.lpSurface)[y * desc.lPitch + x]);
        IDirectDrawSurface7_Unlock(surface, &area);
        return indices;
    }

    // The nearest screen palette entry of each colour.
    static std::vector<int> NearestEntries(const std::vector<uint32_t>& colours) {
        std::vector<int> indices;
        for (uint32_t c : colours) indices.push_back(ComposeColorValue(int(c >> 16), int(c >> 8 & 0xFF), int(c & 0xFF)));
        return indices;
    }
};

TEST_F(PaletteMovieTest, FramesArriveAsTheNearestEntriesOfTheScreenPalette) {
    StartPaletteScreen();
    const std::vector<uint32_t> second(kColours.rbegin(), kColours.rend());
    WriteFile("clip.avi", "not an image at all");
    AddFakeMovieFile("clip.avi", kWidth, kHeight, kFrameTime, {kColours, second});
    const int graph = LoadImageToGraph("clip.avi", 0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, RunGraphMovieStream(graph));
    DrawGraphAt(0, 0, graph, 0);
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(1, GetFakeMovieCounters().framesDelivered);
    const std::vector<int> first = NearestEntries(kColours);
    EXPECT_EQ(first, GraphIndices(graph));

    // Red's entry becomes grey and another entry red: the next frame follows.
    const int oldRed = first[0];
    const int newRed = oldRed == 200 ? 201 : 200;
    UnderApiLock([&] {
        g_Screen.paletteEntries[oldRed] = ScreenPaletteEntry{128, 128, 128, 0};
        g_Screen.paletteEntries[newRed] = ScreenPaletteEntry{255, 0, 0, 0};
        return ReapplyScreenPaletteEntries();
    });
    ASSERT_EQ(newRed, ComposeColorValue(255, 0, 0));
    Advance(100);
    DrawGraphAt(0, 0, graph, 0);
    DrawGraphAt(0, 0, graph, 0);
    EXPECT_EQ(2, GetFakeMovieCounters().framesDelivered);
    EXPECT_EQ(NearestEntries(second), GraphIndices(graph));
    EXPECT_EQ(newRed, GraphIndices(graph).back());
}

}  // namespace
