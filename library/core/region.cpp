// The window region built from a bitmap's non-zero pixels. See menu.h.
#include <cstring>
#include <vector>

#include "library/core/menu.h"
#include "library/graph/dib_graph.h"
#include "platform/window/window_region.h"

static bool PixelSet(const unsigned char* p, int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1: return p[0] != 0;
    case 2: return (p[0] | p[1]) != 0;
    case 3: return (p[0] | p[1] | p[2]) != 0;  // the low 16 bits and the third byte
    default: return (p[0] | p[1] | p[2] | p[3]) != 0;
    }
}

HRGN BuildRegionFromPixels(int width, int height, const void* pixels, int pitch, int bytesPerPixel) {
    if (width < 0 || height < 0 || bytesPerPixel < 1 || bytesPerPixel > 4 || (pixels == nullptr && width * height > 0)) {
        return nullptr;
    }
    // Every run of set pixels of a row is one rectangle one row high; the layer unites
    // them in one step.
    std::vector<RECT> rects;
    const unsigned char* row = static_cast<const unsigned char*>(pixels);
    for (int y = 0; y < height; ++y, row += pitch) {
        int x = 0;
        while (x < width) {
            while (x < width && !PixelSet(row + x * bytesPerPixel, bytesPerPixel)) ++x;
            int start = x;
            while (x < width && PixelSet(row + x * bytesPerPixel, bytesPerPixel)) ++x;
            if (x > start) rects.push_back({start, y, x, y + 1});
        }
    }
    std::vector<char> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    *header = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()), 0, {0, 0, width, height}};
    if (!rects.empty()) std::memcpy(data.data() + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<const RGNDATA*>(data.data()));
}

int SetWindowRegionFromBitmap(const char* fileName) {
    SystemState& s = SystemStateRecord;
    HWND window = s.window.mainWindow;
    if (fileName == nullptr) {
        if (s.settings.region != nullptr) {
            if (window != nullptr) SetWindowRgn(window, nullptr, TRUE);  // the window deletes its region
            DeleteRgn(s.settings.region);  // one that never shaped a window
            s.settings.region = nullptr;
        }
        return 0;
    }
    HBITMAP bitmap = CreateDIBGraphFromFile(fileName, 0, nullptr);
    if (bitmap == nullptr) return -1;
    int width = 0, height = 0, pitch = 0, bytesPerPixel = 0;
    const void* pixels = nullptr;
    HRGN region = nullptr;
    if (GetDIBGraphInfo(bitmap, &width, &height, &pixels, &pitch, &bytesPerPixel) == 0) {
        pitch = (pitch + 3) & ~3;
        region = BuildRegionFromPixels(width, height, pixels, pitch, bytesPerPixel);
    }
    DeleteDIBGraph(bitmap);
    if (region == nullptr) return -1;
    SetWindowRegionFromBitmap(nullptr);
    s.settings.region = region;
    if (window != nullptr) SetWindowRgn(window, region, TRUE);
    return 0;
}
