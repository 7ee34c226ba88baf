// desktop.cpp - the virtual desktop buffer, its display modes and the present notice.
#include "platform/window/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Desktop {
    bool ready = false;
    DesktopSettings home{};
    bool modeInForce = false;
    int width = 0;
    int height = 0;
    int refresh = 60;
    PixelLayout layout{};
    int bitsPerPixel = 32;
    std::vector<uint8_t> buffer;
    int pitch = 0;
    uint32_t palette[256] = {};  // 0x00RRGGBB, shown through in an 8-bit mode
    WindowClientLocator locator = nullptr;
    DesktopPresentHook presentHook = nullptr;
    DesktopPresentHook captureHook = nullptr;
    DesktopModeFilter modeFilter = nullptr;
    DesktopModeChangeHook modeChangeHook = nullptr;
    DesktopFrameRecord frames{};
};

Desktop g_desktop;

PixelLayout LayoutOfFormat(DesktopFormat format) {
    switch (format) {
    case DesktopFormat::Rgb565: return LayoutRgb565();
    case DesktopFormat::Rgb555: return LayoutXrgb1555();
    case DesktopFormat::Rgb888: return LayoutRgb888();
    default: return LayoutXrgb8888();
    }
}

PixelLayout LayoutOfBits(int bitsPerPixel) {
    if (bitsPerPixel == 8) return PixelLayout{1, 0, 0, 0, 0, true};
    return bitsPerPixel == 16 ? LayoutRgb565() : LayoutXrgb8888();
}

// What an 8-bit mode shows before a palette is set, as an 8-bit desktop has it: the
// colour cube of six levels per channel (0, 51, ..., 255), then eight greys evenly
// between each two grey levels of the cube, so that a program drawing through GDI
// shows every colour within half a level step.
void ResetPalette() {
    int i = 0;
    for (uint32_t r = 0; r < 6; ++r)
        for (uint32_t g = 0; g < 6; ++g)
            for (uint32_t b = 0; b < 6; ++b) g_desktop.palette[i++] = (r * 51) << 16 | (g * 51) << 8 | b * 51;
    for (uint32_t level = 0; level < 5; ++level)
        for (uint32_t step = 1; step <= 8; ++step) {
            const uint32_t v = level * 51 + (step * 51 + 4) / 9;
            g_desktop.palette[i++] = v << 16 | v << 8 | v;
        }
}

int BitsOfFormat(DesktopFormat format) {
    switch (format) {
    case DesktopFormat::Rgb565:
    case DesktopFormat::Rgb555: return 16;
    case DesktopFormat::Rgb888: return 24;
    default: return 32;
    }
}

void Allocate(int width, int height, const PixelLayout& layout, int bitsPerPixel) {
    g_desktop.width = width;
    g_desktop.height = height;
    g_desktop.layout = layout;
    g_desktop.bitsPerPixel = bitsPerPixel;
    g_desktop.pitch = (width * layout.bytesPerPixel + 7) & ~7;
    g_desktop.buffer.assign(static_cast<size_t>(g_desktop.pitch) * height, 0);
}

void EnsureReady() {
    if (!g_desktop.ready) DesktopConfigure(DesktopSettingsFromEnvironment());
}

} // namespace

DesktopSettings DesktopSettingsFromEnvironment() {
    DesktopSettings s{DesktopFormat::Xrgb8888, 1024, 768, 60};
    if (const char* f = std::getenv("ZQ_DESKTOP_FORMAT")) {
        if (!std::strcmp(f, "RGB565")) s.format = DesktopFormat::Rgb565;
        else if (!std::strcmp(f, "RGB555")) s.format = DesktopFormat::Rgb555;
        else if (!std::strcmp(f, "RGB888")) s.format = DesktopFormat::Rgb888;
    }
    if (const char* size = std::getenv("ZQ_DESKTOP_SIZE")) {
        int w = 0, h = 0;
        if (std::sscanf(size, "%dx%d", &w, &h) == 2 && w >= 64 && h >= 64 && w <= 8192 && h <= 8192) {
            s.width = w;
            s.height = h;
        }
    }
    if (const char* r = std::getenv("ZQ_DESKTOP_REFRESH")) {
        int hz = std::atoi(r);
        if (hz > 60 && hz <= 1000) s.refresh = hz;
    }
    return s;
}

void DesktopConfigure(const DesktopSettings& settings) {
    g_desktop.ready = true;
    g_desktop.home = settings;
    if (g_desktop.home.refresh < 60) g_desktop.home.refresh = 60;
    g_desktop.modeInForce = false;
    g_desktop.refresh = g_desktop.home.refresh;
    ResetPalette();
    Allocate(settings.width, settings.height, LayoutOfFormat(settings.format), BitsOfFormat(settings.format));
}

PixelView DesktopView() {
    EnsureReady();
    return PixelView{g_desktop.buffer.data(), g_desktop.pitch, g_desktop.width, g_desktop.height, g_desktop.layout,
                     g_desktop.layout.indexed ? g_desktop.palette : nullptr};
}

int DesktopWidth() { EnsureReady(); return g_desktop.width; }
int DesktopHeight() { EnsureReady(); return g_desktop.height; }
int DesktopRefreshRate() { EnsureReady(); return g_desktop.refresh; }
int DesktopBitsPerPixel() { EnsureReady(); return g_desktop.bitsPerPixel; }

DDPIXELFORMAT DesktopPixelFormat() {
    EnsureReady();
    DDPIXELFORMAT f = DDPixelFormatFromLayout(g_desktop.layout);
    f.dwRGBBitCount = static_cast<DWORD>(g_desktop.bitsPerPixel);
    return f;
}

const uint32_t* DesktopPalette() {
    EnsureReady();
    return g_desktop.palette;
}

void DesktopSetPaletteEntries(int start, int count, const uint32_t* colours) {
    EnsureReady();
    if (start < 0 || count <= 0 || start > 256 - count) return;
    std::memcpy(&g_desktop.palette[start], colours, static_cast<size_t>(count) * sizeof(uint32_t));
    if (g_desktop.layout.indexed) DesktopPresent(RECT{0, 0, g_desktop.width, g_desktop.height});
}

bool DesktopIsModeAccepted(int width, int height, int bitsPerPixel, int refresh) {
    EnsureReady();
    if (g_desktop.modeFilter) return g_desktop.modeFilter(width, height, bitsPerPixel, refresh);
    bool sizeOk = width >= 1 && height >= 1 && width <= 4096 && height <= 4096;
    bool depthOk = bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 32;
    bool refreshOk = refresh == 0 || refresh == 60 || refresh == g_desktop.home.refresh;
    return sizeOk && depthOk && refreshOk;
}

bool DesktopSetMode(int width, int height, int bitsPerPixel, int refresh) {
    if (!DesktopIsModeAccepted(width, height, bitsPerPixel, refresh)) return false;
    const bool enteringPalette = bitsPerPixel == 8 && !g_desktop.layout.indexed;
    g_desktop.modeInForce = true;
    g_desktop.refresh = refresh > 0 ? refresh : g_desktop.home.refresh;
    if (enteringPalette) ResetPalette();
    Allocate(width, height, LayoutOfBits(bitsPerPixel), bitsPerPixel);
    if (g_desktop.modeChangeHook) g_desktop.modeChangeHook(width, height, bitsPerPixel);
    return true;
}

void DesktopRestoreMode() {
    EnsureReady();
    if (!g_desktop.modeInForce) return;
    DesktopConfigure(g_desktop.home);
    if (g_desktop.modeChangeHook) g_desktop.modeChangeHook(g_desktop.width, g_desktop.height, g_desktop.bitsPerPixel);
}

bool DesktopHasModeInForce() { EnsureReady(); return g_desktop.modeInForce; }

bool DesktopSwapBuffer(std::vector<uint8_t>& other) {
    EnsureReady();
    if (other.size() != g_desktop.buffer.size()) return false;
    g_desktop.buffer.swap(other);
    return true;
}

int DesktopPitch() { EnsureReady(); return g_desktop.pitch; }

void DesktopPresent(const RECT& rect) {
    EnsureReady();
    RECT r = IntersectRects(rect, RECT{0, 0, g_desktop.width, g_desktop.height});
    if (IsRectEmpty(r)) return;
    ++g_desktop.frames.presents;
    g_desktop.frames.lastRect = r;
    if (g_desktop.captureHook) g_desktop.captureHook(r);
    if (g_desktop.presentHook) g_desktop.presentHook(r);
}

void SetWindowClientLocator(WindowClientLocator locator) { g_desktop.locator = locator; }
WindowClientLocator CurrentWindowClientLocator() { return g_desktop.locator; }

RECT WindowClientOnDesktop(HWND window) {
    EnsureReady();
    RECT whole{0, 0, g_desktop.width, g_desktop.height};
    RECT client{};
    if (window && g_desktop.locator && g_desktop.locator(window, &client)) return client;
    return whole;
}

void SetDesktopPresentHook(DesktopPresentHook hook) { g_desktop.presentHook = hook; }
void SetDesktopCaptureHook(DesktopPresentHook hook) { g_desktop.captureHook = hook; }
void SetDesktopModeFilter(DesktopModeFilter filter) { g_desktop.modeFilter = filter; }
void SetDesktopModeChangeHook(DesktopModeChangeHook hook) { g_desktop.modeChangeHook = hook; }
DesktopFrameRecord DesktopFrames() { return g_desktop.frames; }
void DesktopResetFrames() { g_desktop.frames = DesktopFrameRecord{}; }
