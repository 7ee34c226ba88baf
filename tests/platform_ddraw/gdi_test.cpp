// GDI over the virtual desktop: window DCs, DIBs in every orientation and depth the
// library hands over, the bottom-origin source rule, stretching, reading back, objects,
// and the reasons failed calls leave.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/testing.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(uintptr_t(0x2000));

// A BITMAPINFO with room for masks or a 256-entry colour table.
struct DibInfo {
    BITMAPINFOHEADER header;
    DWORD extra[256];
};

DibInfo BitFields(int width, int height, int bits, DWORD r, DWORD g, DWORD b) {
    DibInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = BI_BITFIELDS;
    info.extra[0] = r;
    info.extra[1] = g;
    info.extra[2] = b;
    return info;
}

DibInfo Plain(int width, int height, int bits) {
    DibInfo info = BitFields(width, height, bits, 0, 0, 0);
    info.header.biCompression = BI_RGB;
    return info;
}

const BITMAPINFO* AsInfo(const DibInfo& info) { return reinterpret_cast<const BITMAPINFO*>(&info); }

// A top-down XRGB8888 image whose pixel (x, y) is 0x00XXYY00-ish and unique.
std::vector<uint32_t> Pattern(int w, int h) {
    std::vector<uint32_t> p(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = 0x010000u * (x + 1) + 0x000100u * (y + 1) + 0x40;
    return p;
}

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDisplayForTest(DesktopFormat::Xrgb8888, 640, 480);
        SetWindowClientRectForTest(kWindow, RECT{100, 50, 300, 250});
    }
};

} // namespace

TEST_F(GdiTest, SetDIBitsToDevicePutsATopDownImageAtTheClientOrigin) {
    const int w = 6, h = 4;
    std::vector<uint32_t> image = Pattern(w, h);
    DibInfo info = BitFields(w, -h, 32, 0xFF0000, 0xFF00, 0xFF);
    HDC dc = GetDC(kWindow);
    long before = PresentedFrameCount();
    EXPECT_EQ(h, SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, image.data(), AsInfo(info), DIB_RGB_COLORS));
    ReleaseDC(kWindow, dc);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_EQ(image[y * w + x], ReadDesktopRgb(100 + x, 50 + y)) << x << "," << y;
    EXPECT_EQ(0u, ReadDesktopRgb(99, 50));
    EXPECT_EQ(before + 1, PresentedFrameCount());
    ASSERT_FALSE(CapturedFrames().empty());
    EXPECT_EQ(image, CapturedFrames().back().rgb);
}

TEST_F(GdiTest, SixteenBitDibsConvertIntoTheDesktop) {
    uint16_t image[2] = {0xF800, 0x07E0}; // RGB565 red, green
    DibInfo info = BitFields(2, -1, 16, 0xF800, 0x7E0, 0x1F);
    HDC dc = GetDC(kWindow);
    EXPECT_EQ(1, SetDIBitsToDevice(dc, 0, 0, 2, 1, 0, 0, 0, 1, image, AsInfo(info), DIB_RGB_COLORS));
    ReleaseDC(kWindow, dc);
    EXPECT_EQ(0xFF0000u, ReadDesktopRgb(100, 50));
    EXPECT_EQ(0x00FF00u, ReadDesktopRgb(101, 50));
}

TEST_F(GdiTest, WindowDcWritesStayInsideTheClientArea) {
    std::vector<uint32_t> image(16 * 16, 0xFFFFFF);
    DibInfo info = BitFields(16, -16, 32, 0xFF0000, 0xFF00, 0xFF);
    HDC dc = GetDC(kWindow);
    SetDIBitsToDevice(dc, -8, -8, 16, 16, 0, 0, 0, 16, image.data(), AsInfo(info), DIB_RGB_COLORS);
    ReleaseDC(kWindow, dc);
    EXPECT_EQ(0xFFFFFFu, ReadDesktopRgb(100, 50));
    EXPECT_EQ(0xFFFFFFu, ReadDesktopRgb(107, 57));
    EXPECT_EQ(0u, ReadDesktopRgb(108, 50));
    EXPECT_EQ(0u, ReadDesktopRgb(99, 49));
}

TEST_F(GdiTest, StretchDIBitsDoublesByNearestNeighbour) {
    const int w = 3, h = 2;
    std::vector<uint32_t> image = Pattern(w, h);
    DibInfo info = BitFields(w, -h, 32, 0xFF0000, 0xFF00, 0xFF);
    HDC dc = GetDC(kWindow);
    EXPECT_EQ(h, StretchDIBits(dc, 0, 0, 2 * w, 2 * h, 0, 0, w, h, image.data(), AsInfo(info), DIB_RGB_COLORS, SRCCOPY));
    ReleaseDC(kWindow, dc);
    for (int y = 0; y < 2 * h; ++y)
        for (int x = 0; x < 2 * w; ++x)
            EXPECT_EQ(image[(y / 2) * w + x / 2], ReadDesktopRgb(100 + x, 50 + y)) << x << "," << y;
}

// Drawing one rectangle of a top-down image: the source y counts from the image's
// bottom, so the caller passes height - bottom to get rows top..bottom.
TEST_F(GdiTest, TopDownSourceRowsCountFromTheBottom) {
    const int w = 8, h = 10;
    std::vector<uint32_t> image = Pattern(w, h);
    DibInfo info = BitFields(w, -h, 32, 0xFF0000, 0xFF00, 0xFF);
    RECT part{2, 3, 5, 7};
    int pw = part.right - part.left, ph = part.bottom - part.top;
    HDC dc = GetDC(kWindow);
    EXPECT_NE(0, StretchDIBits(dc, part.left, part.top, pw, ph, part.left, h - part.bottom, pw, ph, image.data(),
                               AsInfo(info), DIB_RGB_COLORS, SRCCOPY));
    ReleaseDC(kWindow, dc);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool inside = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
            EXPECT_EQ(inside ? image[y * w + x] : 0u, ReadDesktopRgb(100 + x, 50 + y)) << x << "," << y;
        }
    // The same rule holds for SetDIBitsToDevice.
    ResetDisplayForTest(DesktopFormat::Xrgb8888, 640, 480);
    dc = GetDC(nullptr);
    EXPECT_EQ(h, SetDIBitsToDevice(dc, 0, 0, pw, ph, part.left, h - part.bottom, 0, h, image.data(), AsInfo(info),
                                   DIB_RGB_COLORS));
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(image[part.top * w + part.left], ReadDesktopRgb(0, 0));
    EXPECT_EQ(image[(part.bottom - 1) * w + part.right - 1], ReadDesktopRgb(pw - 1, ph - 1));
}

TEST_F(GdiTest, BottomUpPaletteDibsDrawIntoA24BitSection) {
    // A 4 x 2 image of 4-bit indices, stored bottom row first, drawn into a top-down
    // 24-bit DIB section as the BMP loader does for formats it does not decode itself.
    DibInfo info = Plain(4, 2, 4);
    auto* table = reinterpret_cast<RGBQUAD*>(info.extra);
    table[1] = RGBQUAD{0xFF, 0, 0, 0}; // blue
    table[2] = RGBQUAD{0, 0, 0xFF, 0}; // red
    const uint8_t bits[8] = {0x12, 0x00, 0, 0, /* top row: */ 0x21, 0x21, 0, 0};
    DibInfo sectionInfo = Plain(4, -2, 24);
    HDC memory = CreateCompatibleDC(nullptr);
    void* pixels = nullptr;
    HBITMAP section = CreateDIBSection(memory, AsInfo(sectionInfo), DIB_RGB_COLORS, &pixels, nullptr, 0);
    ASSERT_NE(nullptr, section);
    BITMAP described{};
    ASSERT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(section, sizeof(described), &described));
    EXPECT_EQ(12, described.bmWidthBytes);
    EXPECT_EQ(pixels, described.bmBits);
    HGDIOBJ old = SelectObject(memory, section);
    ASSERT_NE(nullptr, old);
    EXPECT_EQ(2, SetDIBitsToDevice(memory, 0, 0, 4, 2, 0, 0, 0, 2, bits, AsInfo(info), DIB_RGB_COLORS));
    const uint8_t* p = static_cast<const uint8_t*>(pixels);
    const uint8_t expected[2][12] = {{0, 0, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0},  // red blue red blue
                                     {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0}}; // blue red black black
    EXPECT_EQ(0, std::memcmp(expected[0], p, 12));
    EXPECT_EQ(0, std::memcmp(expected[1], p + 12, 12));
    EXPECT_FALSE(DeleteObject(section)); // still selected
    SelectObject(memory, old);
    EXPECT_TRUE(DeleteObject(section));
    EXPECT_TRUE(DeleteDC(memory));
}

TEST_F(GdiTest, OneBitAndSixteenBitPlainDibs) {
    DibInfo mono = Plain(10, 1, 1);
    auto* table = reinterpret_cast<RGBQUAD*>(mono.extra);
    table[1] = RGBQUAD{255, 255, 255, 0};
    const uint8_t monoBits[4] = {0xA0, 0x40, 0, 0}; // 1 0 1 0 0 0 0 0 | 0 1
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(1, SetDIBitsToDevice(dc, 0, 0, 10, 1, 0, 0, 0, 1, monoBits, AsInfo(mono), DIB_RGB_COLORS));
    const uint32_t expectedMono[10] = {0xFFFFFF, 0, 0xFFFFFF, 0, 0, 0, 0, 0, 0, 0xFFFFFF};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(expectedMono[x], ReadDesktopRgb(x, 0)) << x;

    DibInfo plain16 = Plain(1, 1, 16); // BI_RGB 16 bits is X1R5G5B5
    const uint16_t blue555[2] = {0x001F, 0};
    EXPECT_EQ(1, SetDIBitsToDevice(dc, 0, 1, 1, 1, 0, 0, 0, 1, blue555, AsInfo(plain16), DIB_RGB_COLORS));
    EXPECT_EQ(0x0000FFu, ReadDesktopRgb(0, 1));
    ReleaseDC(nullptr, dc);
}

TEST_F(GdiTest, HostileOrUnsupportedHeadersAreRefused) {
    uint32_t pixel = 0;
    HDC dc = GetDC(nullptr);
    std::vector<DibInfo> bad;
    bad.push_back(Plain(0, 1, 32));
    bad.push_back(Plain(1, 0, 32));
    bad.push_back(Plain(100000, 1, 32));
    bad.push_back(Plain(1, 1, 7));
    bad.push_back(Plain(1, 1, 24));
    bad.back().header.biCompression = 1; // run-length data is not drawn here
    bad.push_back(BitFields(1, 1, 32, 0, 0, 0));
    bad.push_back(BitFields(1, 1, 16, 0x1F0000, 0x7E0, 0x1F)); // mask beyond 16 bits
    bad.push_back(Plain(1, 1, 32));
    bad.back().header.biSize = 12;
    for (const DibInfo& info : bad) {
        EXPECT_EQ(0, SetDIBitsToDevice(dc, 0, 0, 1, 1, 0, 0, 0, 1, &pixel, AsInfo(info), DIB_RGB_COLORS));
        EXPECT_EQ(0, StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, &pixel, AsInfo(info), DIB_RGB_COLORS, SRCCOPY));
    }
    DibInfo ok = Plain(1, 1, 32);
    EXPECT_EQ(0, StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 2, 1, &pixel, AsInfo(ok), DIB_RGB_COLORS, SRCCOPY));
    ReleaseDC(nullptr, dc);
}

TEST_F(GdiTest, CaptureTheWindowThroughACompatibleBitmapAndGetDIBits) {
    // What the library does to read the window back into its front image.
    const int w = 5, h = 3;
    std::vector<uint32_t> image = Pattern(w, h);
    DibInfo info = BitFields(w, -h, 32, 0xFF0000, 0xFF00, 0xFF);
    HDC window = GetDC(kWindow);
    SetDIBitsToDevice(window, 0, 0, w, h, 0, 0, 0, h, image.data(), AsInfo(info), DIB_RGB_COLORS);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_TRUE(BitBlt(memory, 0, 0, w, h, window, 0, 0, SRCCOPY));
    SelectObject(memory, old);

    const int stride = 6; // DIB rows are padded to 4 bytes
    std::vector<uint16_t> back(static_cast<size_t>(stride) * h);
    DibInfo as565 = BitFields(w, -h, 16, 0xF800, 0x7E0, 0x1F);
    EXPECT_EQ(h, GetDIBits(window, bitmap, 0, h, back.data(), reinterpret_cast<BITMAPINFO*>(&as565), DIB_RGB_COLORS));
    for (int i = 0; i < w * h; ++i) {
        uint32_t c = image[i];
        uint16_t got = back[(i / w) * stride + i % w];
        uint16_t expected = static_cast<uint16_t>(((((c >> 16) & 0xFF) * 31 + 127) / 255) << 11 |
                                                  ((((c >> 8) & 0xFF) * 63 + 127) / 255) << 5 |
                                                  (((c & 0xFF) * 31 + 127) / 255));
        EXPECT_EQ(expected, got) << i;
    }
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(memory));
    ReleaseDC(kWindow, window);
}

TEST_F(GdiTest, ChangeDisplaySettingsSetsAndRestoresTheDesktopMode) {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    mode.dmPelsWidth = 320;
    mode.dmPelsHeight = 240;
    mode.dmBitsPerPel = 16;
    mode.dmDisplayFrequency = 85;
    EXPECT_EQ(DISP_CHANGE_BADMODE, ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN));
    mode.dmFields &= ~DM_DISPLAYFREQUENCY;
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsA(&mode, 0));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(16, GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_EQ(320, GetDeviceCaps(screen, HORZRES));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, ChangeDisplaySettingsA(nullptr, 0));
    EXPECT_EQ(32, GetDeviceCaps(screen, BITSPIXEL));
    EXPECT_EQ(640, GetDeviceCaps(screen, HORZRES));
    EXPECT_GE(GetDeviceCaps(screen, VREFRESH), 60);
    ReleaseDC(nullptr, screen);
    mode.dmSize = 100;
    EXPECT_EQ(DISP_CHANGE_BADPARAM, ChangeDisplaySettingsA(&mode, 0));
}

TEST_F(GdiTest, DcAndObjectRules) {
    HDC window = GetDC(kWindow);
    EXPECT_FALSE(DeleteDC(window)); // window DCs go back through ReleaseDC
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, 4, 4);
    EXPECT_EQ(nullptr, SelectObject(window, bitmap)); // bitmaps go into memory DCs only
    HDC other = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(nullptr, SelectObject(other, bitmap)); // one DC at a time
    EXPECT_EQ(bitmap, SelectObject(memory, old));
    BITMAP described{};
    EXPECT_EQ(static_cast<int>(sizeof(BITMAP)), GetObjectA(bitmap, sizeof(described), &described));
    EXPECT_EQ(32, described.bmBitsPixel);
    EXPECT_EQ(nullptr, described.bmBits);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(other));
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_EQ(1, ReleaseDC(kWindow, window));
}

TEST_F(GdiTest, FailedCallsLeaveTheirReasonForThisThreadOnly) {
    HDC window = GetDC(kWindow);
    HDC memory = CreateCompatibleDC(window);
    HDC other = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(window, 4, 4);
    HGDIOBJ stock = SelectObject(other, bitmap);
    HDC stale = CreateCompatibleDC(nullptr);  // the last DC made here, so no later one takes its address
    DeleteDC(stale);
    uint32_t pixel = 0;
    DibInfo bad = Plain(1, 1, 7);
    struct Failure {
        const char* call;
        std::function<bool()> fails;
        DWORD error;
    } failures[] = {
        {"BitBlt from a deleted DC", [&] { return !BitBlt(window, 0, 0, 1, 1, stale, 0, 0, SRCCOPY); }, ERROR_INVALID_HANDLE},
        {"BitBlt with another raster operation", [&] { return !BitBlt(window, 0, 0, 1, 1, memory, 0, 0, 0x00EE0086u); },
         ERROR_INVALID_PARAMETER},
        {"BitBlt of a negative width", [&] { return !BitBlt(window, 0, 0, -1, 1, memory, 0, 0, SRCCOPY); },
         ERROR_INVALID_PARAMETER},
        {"an injected BitBlt failure", [&] { FailNextBitBlts(1); return !BitBlt(window, 0, 0, 1, 1, memory, 0, 0, SRCCOPY); },
         ERROR_NOT_ENOUGH_MEMORY},
        {"SetDIBitsToDevice of a bad header",
         [&] { return SetDIBitsToDevice(window, 0, 0, 1, 1, 0, 0, 0, 1, &pixel, AsInfo(bad), DIB_RGB_COLORS) == 0; },
         ERROR_INVALID_PARAMETER},
        {"CreateCompatibleBitmap of no size", [&] { return CreateCompatibleBitmap(window, 0, 4) == nullptr; },
         ERROR_INVALID_PARAMETER},
        {"SelectObject of a bitmap another DC holds", [&] { return SelectObject(memory, bitmap) == nullptr; }, ERROR_BUSY},
        {"DeleteObject of a selected bitmap", [&] { return !DeleteObject(bitmap); }, ERROR_BUSY},
        {"DeleteDC of a window DC", [&] { return !DeleteDC(window); }, ERROR_INVALID_HANDLE},
        {"an injected CreateCompatibleDC failure",
         [&] { FailNextCompatibleDcs(1); return CreateCompatibleDC(nullptr) == nullptr; }, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const Failure& f : failures) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_TRUE(f.fails()) << f.call;
        EXPECT_EQ(f.error, GetLastError()) << f.call;
    }
    // A call that works leaves the value as it was.
    EXPECT_TRUE(BitBlt(window, 0, 0, 1, 1, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    // Another thread has a value of its own.
    DWORD seenThere = 1;
    std::thread([&] {
        seenThere = GetLastError();
        DeleteDC(stale);
    }).join();
    EXPECT_EQ(ERROR_SUCCESS, seenThere);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());

    SelectObject(other, stock);
    DeleteDC(other);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(kWindow, window);
}
