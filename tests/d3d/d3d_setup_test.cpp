// Direct3D start-up: the device and the nine texture formats by what the device offers,
// the texture size limits, and the refusals that send start-up to the software path.
#include "d3d/d3d_test_support.h"

namespace {

DDPIXELFORMAT Format(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof f;
    f.dwFlags = DDPF_RGB | (a ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = r, f.dwGBitMask = g, f.dwBBitMask = b, f.dwRGBAlphaBitMask = a;
    return f;
}
const DDPIXELFORMAT R5G6B5 = Format(16, 0xF800, 0x07E0, 0x1F, 0);
const DDPIXELFORMAT X1R5G5B5 = Format(16, 0x7C00, 0x03E0, 0x1F, 0);
const DDPIXELFORMAT A1R5G5B5 = Format(16, 0x7C00, 0x03E0, 0x1F, 0x8000);
const DDPIXELFORMAT A4R4G4B4 = Format(16, 0xF00, 0xF0, 0xF, 0xF000);
const DDPIXELFORMAT X8R8G8B8 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
const DDPIXELFORMAT A8R8G8B8 = Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);

// Which offered format (index into `offered`) each of the nine records holds.
std::vector<int> RecordSources(const std::vector<DDPIXELFORMAT>& offered) {
    std::vector<int> sources;
    for (int i = 0; i < TextureFormatCount; i++) {
        const DDPIXELFORMAT* f = G_D3D_GetTexturePixelFormat(i);
        int found = -1;
        for (size_t k = 0; f != nullptr && k < offered.size(); k++)
            if (std::memcmp(f, &offered[k], sizeof *f) == 0) found = int(k);
        sources.push_back(found);
    }
    return sources;
}

}  // namespace

TEST_F(HardwarePathTest, TextureFormatsAreFiledByAlphaAndSizeAndTheMissingOnesCopied) {
    struct Case {
        const char* what;
        DesktopFormat desktop;
        std::vector<DDPIXELFORMAT> offered;
        std::vector<int> records;  // offered format in records 0-8
    } cases[] = {
        {"the layer's formats on a 16-bit screen", DesktopFormat::Rgb565,
         {R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, X8R8G8B8, A8R8G8B8}, {0, 4, 3, 5, 2, 5, 0, 4, 5}},
        {"16-bit plain and A4R4G4B4 only", DesktopFormat::Rgb565, {X1R5G5B5, A4R4G4B4}, {0, 0, 1, 1, 1, 1, 0, 0, 1}},
        {"a later format that is exactly the screen's replaces the first", DesktopFormat::Rgb565,
         {X1R5G5B5, R5G6B5, A4R4G4B4}, {1, 1, 2, 2, 2, 2, 1, 1, 2}},
        {"otherwise the first stays", DesktopFormat::Xrgb8888, {X1R5G5B5, R5G6B5, A4R4G4B4},
         {0, 0, 2, 2, 2, 2, 0, 0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CurrentDirect3DProfile().textureFormats = c.offered;
        Start(150, 200, c.desktop == DesktopFormat::Rgb565 ? 16 : 32, c.desktop);
        EXPECT_EQ(c.records, RecordSources(c.offered));
        ShutdownLibrary();
        started_ = false;
    }
}

TEST_F(HardwarePathTest, TextureSizeLimitsComeFromTheDeviceWithDefaultsForZero) {
    D3DDeviceEntry& device = CurrentDirect3DProfile().devices[0];
    device.minTextureWidth = device.minTextureHeight = device.maxTextureWidth = device.maxTextureHeight = 0;
    Start();
    EXPECT_EQ(32u, g_D3D.minTextureSize);
    EXPECT_EQ(256u, g_D3D.maxTextureSize);
    IDirect3D7* object = g_D3D.direct3D;
    EXPECT_EQ(-1, G_D3D_SetupDirect3D());  // already set up: refused, nothing changes
    EXPECT_EQ(object, g_D3D.direct3D);
    EXPECT_EQ(32u, g_D3D.minTextureSize);
    EXPECT_NE(std::string::npos, MaskedLog().find("テクスチャ最大幅:256 最小幅:32 "));
}

TEST_F(HardwarePathTest, WithoutADeviceForTheScreenDepthStartUpTakesTheSoftwarePath) {
    CurrentDirect3DProfile().devices[0].renderDepths = DDBD_32;  // nothing for a 16-bit screen
    Start(150, 200, 16, DesktopFormat::Rgb565, false);
    EXPECT_EQ(nullptr, g_D3D.direct3D);
    EXPECT_EQ(0, IsDirect3DAvailable());
    const std::string log = MaskedLog();
    const size_t refused = log.find("現在の画面モードで使用できる描画デバイスが見つかりませんでした");
    ASSERT_NE(std::string::npos, refused);
    EXPECT_NE(std::string::npos, log.find("ソフトウエアレンダリングモードに変更します", refused));
}
