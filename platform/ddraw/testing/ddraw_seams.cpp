// Test seams of the display layer. See ddraw_seams.h.
#include "platform/ddraw/testing/ddraw_seams.h"

#include <map>

#include "platform/ddraw/ddraw_internal.h"

namespace {

std::map<HWND, RECT> g_clientRects;
std::vector<CapturedFrame> g_frames;
bool g_locatorInstalled = false;
WindowClientLocator g_windowGroupLocator = nullptr; // the locator the test one stands in front of

bool TestLocator(HWND window, RECT* client) {
    auto found = g_clientRects.find(window);
    if (found != g_clientRects.end()) {
        *client = found->second;
        return true;
    }
    return g_windowGroupLocator && g_windowGroupLocator(window, client);
}

constexpr size_t kFramesKept = 16;

void Capture(const RECT& rect) {
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    CapturedFrame frame{rect, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    PixelView copy{reinterpret_cast<uint8_t*>(frame.rgb.data()), w * 4, w, h, LayoutXrgb8888(), nullptr};
    CopyPixels(copy, 0, 0, DesktopView(), rect);
    for (uint32_t& p : frame.rgb) p &= 0xFFFFFFu;
    if (g_frames.size() == kFramesKept) g_frames.erase(g_frames.begin());
    g_frames.push_back(std::move(frame));
}

} // namespace

void ResetDisplayForTest(DesktopFormat format, int width, int height, int refresh) {
    DesktopConfigure(DesktopSettings{format, width, height, refresh});
    DDrawFaultState() = DDrawFaults{0, 0, 0, 0, 128u * 1024 * 1024, 0};
    DDrawResetRaster();
    SetDesktopModeFilter(nullptr);
    g_clientRects.clear();
    g_frames.clear();
    SetDesktopCaptureHook(Capture);
    DesktopResetFrames();
}

void FailNextDirectDrawCreations(int count) { DDrawFaultState().failObjectCreations = count; }

void FailSurfaceCreation(DWORD capsMask, HRESULT error, int count) {
    DDrawFaults& f = DDrawFaultState();
    f.failSurfaceCaps = capsMask;
    f.failSurfaceError = error;
    f.failSurfaceCount = count;
}

void SetVideoMemoryTotal(DWORD bytes) { DDrawFaultState().videoMemoryTotal = bytes; }
void FailNextBitBlts(int count) { DDrawFaultState().failBlits = count; }
void SetDisplayModeFilter(DesktopModeFilter filter) { SetDesktopModeFilter(filter); }

void MarkSurfaceLost(IDirectDrawSurface7* surface) {
    if (DDrawIsSurface(surface)) surface->lost = true;
}

void MarkAllSurfacesLost() { DDrawMarkAllSurfacesLost(); }

void SetWindowClientRectForTest(HWND window, const RECT& clientOnDesktop) {
    g_clientRects[window] = clientOnDesktop;
    if (!g_locatorInstalled) {
        g_windowGroupLocator = CurrentWindowClientLocator();
        SetWindowClientLocator(TestLocator);
        g_locatorInstalled = true;
    }
}

uint32_t ReadDesktopPixel(int x, int y) {
    PixelView view = DesktopView();
    if (x < 0 || y < 0 || x >= view.width || y >= view.height) return 0;
    return ReadRawPixel(PixelAt(view, x, y), view.layout.bytesPerPixel);
}

uint32_t ReadDesktopRgb(int x, int y) { return DecodePixel(DesktopView(), ReadDesktopPixel(x, y)) & 0xFFFFFFu; }

long PresentedFrameCount() { return DesktopFrames().presents; }
RECT LastPresentedRect() { return DesktopFrames().lastRect; }
const std::vector<CapturedFrame>& CapturedFrames() { return g_frames; }
int LiveDirectDrawObjects() { return DDrawLiveObjectCount(); }
