// window_region.cpp - regions as y-bands of disjoint x-intervals, their boolean
// combinations, and window shapes through SDL's shaped windows.
#include <algorithm>
#include <set>

#include "platform/window/window_internal.h"
#include "platform/window/window_region.h"

struct RegionData {
    std::vector<RECT> rects;  // disjoint; sorted by top, then left
    HWND owner = nullptr;     // the window the region shapes
};

namespace {

std::map<HRGN, RegionData>& Regions() {
    static auto* regions = new std::map<HRGN, RegionData>();  // guarded by the window mutex
    return *regions;
}

uintptr_t nextRegion = 0x30000;

using Intervals = std::vector<std::pair<LONG, LONG>>;

// Union of the x-intervals of the rectangles that cover the band [y0, y1).
Intervals BandIntervals(const std::vector<RECT>& rects, LONG y0, LONG y1) {
    Intervals spans;
    for (const RECT& r : rects) {
        if (r.top <= y0 && r.bottom >= y1 && r.left < r.right) spans.push_back({r.left, r.right});
    }
    std::sort(spans.begin(), spans.end());
    Intervals merged;
    for (auto& span : spans) {
        if (!merged.empty() && span.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, span.second);
        } else {
            merged.push_back(span);
        }
    }
    return merged;
}

bool Inside(const Intervals& spans, LONG x) {
    for (auto& span : spans) {
        if (x >= span.first && x < span.second) return true;
    }
    return false;
}

Intervals CombineIntervals(const Intervals& a, const Intervals& b, int mode) {
    std::set<LONG> edges;
    for (auto& s : a) edges.insert({s.first, s.second});
    for (auto& s : b) edges.insert({s.first, s.second});
    Intervals out;
    LONG previous = 0;
    bool first = true;
    for (LONG x : edges) {
        if (!first) {
            bool inA = Inside(a, previous);
            bool inB = Inside(b, previous);
            bool keep = mode == RGN_AND ? (inA && inB)
                      : mode == RGN_OR  ? (inA || inB)
                      : mode == RGN_XOR ? (inA != inB)
                                        : (inA && !inB);
            if (keep) {
                if (!out.empty() && out.back().second == previous) {
                    out.back().second = x;
                } else {
                    out.push_back({previous, x});
                }
            }
        }
        previous = x;
        first = false;
    }
    return out;
}

// Builds the banded rectangle list of (a op b) over every y edge of both.
std::vector<RECT> Combine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
    std::set<LONG> ys;
    for (const RECT& r : a) ys.insert({r.top, r.bottom});
    for (const RECT& r : b) ys.insert({r.top, r.bottom});
    std::vector<RECT> out;
    std::vector<LONG> edges(ys.begin(), ys.end());
    Intervals previous;
    size_t previousStart = 0;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        LONG y0 = edges[i];
        LONG y1 = edges[i + 1];
        Intervals spans = CombineIntervals(BandIntervals(a, y0, y1), BandIntervals(b, y0, y1), mode);
        // Bands with the same spans that touch are joined into taller rectangles.
        if (!spans.empty() && spans == previous && out.size() > previousStart && out.back().bottom == y0) {
            for (size_t k = previousStart; k < out.size(); ++k) out[k].bottom = y1;
            continue;
        }
        previousStart = out.size();
        for (auto& span : spans) out.push_back({span.first, y0, span.second, y1});
        previous = spans;
    }
    return out;
}

HRGN AddRegionLocked(std::vector<RECT> rects) {
    HRGN handle = reinterpret_cast<HRGN>(nextRegion);
    nextRegion += 4;
    Regions()[handle].rects = std::move(rects);
    return handle;
}

int KindOf(const std::vector<RECT>& rects) {
    return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    std::vector<RECT> rects;
    RECT r = {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    if (r.left < r.right && r.top < r.bottom) rects.push_back(r);
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return AddRegionLocked(std::move(rects));
}

HRGN ExtCreateRegion(const XFORM* transform, DWORD size, const RGNDATA* data) {
    if (transform != nullptr || data == nullptr || data->rdh.iType != RDH_RECTANGLES ||
        size < sizeof(RGNDATAHEADER) + static_cast<size_t>(data->rdh.nCount) * sizeof(RECT)) {
        return nullptr;
    }
    const RECT* source = reinterpret_cast<const RECT*>(data->Buffer);
    std::vector<RECT> rects;
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        if (source[i].left < source[i].right && source[i].top < source[i].bottom) rects.push_back(source[i]);
    }
    // Rows of rectangles one pixel high, as bitmaps give them, are already banded.
    std::vector<RECT> banded = Combine(rects, {}, RGN_OR);
    std::lock_guard<std::mutex> lock(Windows().mutex);
    return AddRegionLocked(std::move(banded));
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    auto& regions = Regions();
    auto dst = regions.find(destination);
    auto a = regions.find(source1);
    if (dst == regions.end() || a == regions.end() || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    if (mode == RGN_COPY) {
        dst->second.rects = a->second.rects;
        return KindOf(dst->second.rects);
    }
    auto b = regions.find(source2);
    if (b == regions.end()) return ERROR;
    dst->second.rects = Combine(a->second.rects, b->second.rects, mode);
    return KindOf(dst->second.rects);
}

BOOL DeleteRgn(HRGN region) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    auto it = Regions().find(region);
    if (it == Regions().end() || it->second.owner != nullptr) return FALSE;
    Regions().erase(it);
    return TRUE;
}

void DeleteRegionData(HRGN region) {
    if (region == nullptr) return;
    std::lock_guard<std::mutex> lock(Windows().mutex);
    Regions().erase(region);
}

int GetRegionRectangles(HRGN region, RECT* rectangles, int capacity) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    auto it = Regions().find(region);
    if (it == Regions().end()) return -1;
    const auto& rects = it->second.rects;
    for (int i = 0; i < capacity && i < static_cast<int>(rects.size()); ++i) rectangles[i] = rects[static_cast<size_t>(i)];
    return static_cast<int>(rects.size());
}

// Whether the video driver makes shaped windows: probed once on the SDL thread.
static bool ShapedWindowsSupported(void) {
    static int supported = -1;
    if (supported < 0 && OnSdlThread()) {
        SDL_Window* probe = SDL_CreateShapedWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
        supported = probe != nullptr ? 1 : 0;
        if (probe != nullptr) SDL_DestroyWindow(probe);
    }
    return supported == 1;
}

bool ApplySdlShape(HWND window) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr || rec->sdl == nullptr || !rec->sdlShaped) return false;
    int width = std::max<int>(rec->rect.right - rec->rect.left, 1);
    int height = std::max<int>(rec->rect.bottom - rec->rect.top, 1);
    SDL_Surface* mask = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (mask == nullptr) return false;
    SDL_Rect all = {0, 0, width, height};
    auto it = Regions().find(rec->region);
    if (it == Regions().end()) {
        SDL_FillRect(mask, &all, 0xFFFFFFFFu);  // no region: the whole window
    } else {
        SDL_FillRect(mask, &all, 0);
        for (const RECT& r : it->second.rects) {
            SDL_Rect area = {r.left, r.top, r.right - r.left, r.bottom - r.top};
            SDL_FillRect(mask, &area, 0xFFFFFFFFu);
        }
    }
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeBinarizeAlpha;
    mode.parameters.binarizationCutoff = 1;
    bool ok = SDL_SetWindowShape(rec->sdl, mask, &mode) == 0;
    SDL_FreeSurface(mask);
    return ok;
}

int SetWindowRgn(HWND window, HRGN region, BOOL) {
    bool supported = ShapedWindowsSupported();
    HRGN old = nullptr;
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        WindowRecord* rec = FindWindowRecord(window);
        if (rec == nullptr || rec->parent != nullptr) return 0;
        auto it = Regions().find(region);
        if (region != nullptr && (it == Regions().end() || (it->second.owner != nullptr && it->second.owner != window))) {
            return 0;
        }
        bool shapeable = rec->sdl != nullptr ? rec->sdlShaped : supported;
        if (!shapeable) return 0;
        if (rec->sdl == nullptr) rec->wantShaped = true;
        if (rec->region != region) old = rec->region;
        rec->region = region;
        if (region != nullptr) it->second.owner = window;
    }
    DeleteRegionData(old);
    RunOnSdlThread([window] { ApplySdlShape(window); });
    return 1;
}
