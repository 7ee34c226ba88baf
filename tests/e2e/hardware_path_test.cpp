// The game on the hardware path: the default start-up finds the layer's Direct3D device,
// so graphs become textures and the device draws every frame. The game itself must be
// the same as on the software reference; the pictures have golden frames of their own
// (alpha-tested sprites live in A1R5G5B5 textures on a 16-bit screen, and text is
// blended from the glyph cache's alpha textures).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "game_replay.h"
#include "game_scripts.h"
#include "golden_files.h"

namespace {

const ReplayDisplay& Display(ReplayOutput output, DesktopFormat desktop) {
    for (const ReplayDisplay& display : ReplayDisplays()) {
        if (display.output == output && display.desktop == desktop) return display;
    }
    std::abort();
}

::testing::AssertionResult SameGame(const ReplayRun& a, const ReplayRun& b) {
    if (a.frames.size() != b.frames.size())
        return ::testing::AssertionFailure() << a.frames.size() << " against " << b.frames.size() << " frames";
    for (size_t i = 0; i < a.frames.size(); i++) {
        if (std::memcmp(&a.frames[i].game, &b.frames[i].game, sizeof(ReplayGameState)) != 0)
            return ::testing::AssertionFailure() << "the game's state differs in frame " << i;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

class HardwarePathTest : public ::testing::TestWithParam<DesktopFormat> {};

TEST_P(HardwarePathTest, TheWholeGameRunsOnTheDeviceAsOnTheSoftwareReference) {
    const bool narrow = GetParam() == DesktopFormat::Rgb565;
    ReplayRun hardware = RunReplay(FullGameScript(), Display(ReplayOutput::Hardware, GetParam()));
    ReplayRun software = RunReplay(FullGameScript(), Display(ReplayOutput::Gdi, GetParam()));
    ASSERT_EQ("", hardware.failure);
    ASSERT_EQ("", software.failure);
    EXPECT_EQ(0, hardware.exitStatus);
    // Start-up took the hardware path and nothing failed on the way.
    EXPECT_NE(std::string::npos, hardware.log.find("Direct3D 関連の初期化は正常に終了しました"));
    EXPECT_NE(std::string::npos, hardware.log.find("PrimaryBuffer : VIDEOMEMORY"));
    EXPECT_EQ(std::string::npos, hardware.log.find("ソフトウエアレンダリングモードに変更します"));
    EXPECT_EQ(std::string::npos, hardware.log.find("失敗")) << "a failure was logged";
    EXPECT_NE(std::string::npos, hardware.log.find("Direct3D 関連の終了処理は正常に終了しました"));
    EXPECT_NE(std::string::npos, hardware.log.find("Alloc memory dump\tTotal size:0(0.000kb)  Alloc num:0"));

    ASSERT_EQ(size_t(FullGameLastFrame) + 1, hardware.frames.size());
    EXPECT_TRUE(SameGame(hardware, software));
    EXPECT_EQ(software.dataCsp, hardware.dataCsp);
    EXPECT_TRUE(MatchesGoldenFrames(narrow ? "hardware_full_game" : "hardware_full_game_8888", hardware));
    if (narrow) {
        EXPECT_TRUE(MatchesGoldenPictures("hardware_full_game", hardware));
    }

    // The device's pictures stay close to the software renderer's: no pixel is more
    // than a few 5-6-5 steps away (texture formats and blended text edges).
    ASSERT_EQ(software.pictures.size(), hardware.pictures.size());
    ASSERT_FALSE(hardware.pictures.empty());
    for (const auto& [frame, image] : hardware.pictures) {
        const ReplayImage* reference = nullptr;
        for (const auto& [at, picture] : software.pictures) {
            if (at == frame) reference = &picture;
        }
        ASSERT_NE(nullptr, reference);
        for (size_t i = 0; i < image.rgb.size(); i++) {
            const uint32_t a = Reduce565(image.rgb[i]), b = Reduce565(reference->rgb[i]);
            const int dr = int(a >> 11) - int(b >> 11), dg = int(a >> 5 & 63) - int(b >> 5 & 63);
            const int db = int(a & 31) - int(b & 31);
            ASSERT_TRUE(std::abs(dr) <= 4 && std::abs(dg) <= 8 && std::abs(db) <= 4)
                << "frame " << frame << " pixel (" << i % 150 << ", " << i / 150 << "): " << std::hex << image.rgb[i]
                << " against " << reference->rgb[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, HardwarePathTest, ::testing::Values(DesktopFormat::Rgb565, DesktopFormat::Xrgb8888),
                         [](const ::testing::TestParamInfo<DesktopFormat>& info) {
                             return info.param == DesktopFormat::Rgb565 ? std::string("Rgb565")
                                                                        : std::string("Xrgb8888");
                         });
