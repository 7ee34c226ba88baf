// ddraw_raster.cpp - the virtual raster: scan line and vertical blank driven by the clock.
//
// One refresh period covers the desktop's visible lines and a blank of about 5% more
// lines, and at least 1.1 ms, so that a clock stepping whole milliseconds sees it. The position is the clock's time modulo the period. A test clock may stand
// still; when the high-resolution counter reads the same value several times in a row,
// the raster moves on by one line per few reads, so polling loops always end.
#include <algorithm>

#include "platform/kernel/clock.h"
#include "platform/ddraw/ddraw_internal.h"
#include "platform/window/desktop.h"

namespace {

constexpr int kReadsBeforeNudge = 8;

struct RasterClock {
    int64_t lastCounter = -1;
    int sameReads = 0;
    int64_t nudgeNs = 0; // time added while the clock stood still
};

RasterClock g_raster;

struct RasterGeometry {
    int64_t periodNs;
    int visibleLines;
    int totalLines;
};

RasterGeometry Geometry() {
    RasterGeometry g;
    g.periodNs = 1000000000LL / std::max(1, DesktopRefreshRate());
    g.visibleLines = DesktopHeight();
    const int64_t minBlankNs = 1100000;
    int64_t blankLines = std::max(1, g.visibleLines / 20);
    if (g.periodNs > 2 * minBlankNs) {
        int64_t forTime = (minBlankNs * g.visibleLines + g.periodNs - minBlankNs - 1) / (g.periodNs - minBlankNs);
        blankLines = std::max(blankLines, forTime);
    }
    g.totalLines = g.visibleLines + static_cast<int>(blankLines);
    return g;
}

// The raster's time in nanoseconds; it never stands still.
int64_t RasterNowNs(const RasterGeometry& g) {
    LARGE_INTEGER frequency{}, counter{};
    int64_t ns;
    int64_t raw;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
        QueryPerformanceCounter(&counter);
        raw = counter.QuadPart;
        ns = static_cast<int64_t>(static_cast<__int128>(raw) * 1000000000 / frequency.QuadPart);
    } else {
        raw = timeGetTime();
        ns = raw * 1000000LL;
    }
    if (raw == g_raster.lastCounter) {
        if (++g_raster.sameReads >= kReadsBeforeNudge) {
            g_raster.sameReads = 0;
            g_raster.nudgeNs += g.periodNs / g.totalLines + 1;
        }
    } else {
        g_raster.lastCounter = raw;
        g_raster.sameReads = 0;
    }
    return ns + g_raster.nudgeNs;
}

int LineAt(const RasterGeometry& g, int64_t ns) {
    int64_t phase = ns % g.periodNs;
    return static_cast<int>(phase * g.totalLines / g.periodNs);
}

} // namespace

void DDrawResetRaster() { g_raster = RasterClock{}; }

HRESULT IDirectDraw7_GetVerticalBlankStatus(IDirectDraw7* dd, BOOL* inBlank) {
    if (!DDrawObjectIsReady(dd)) return DDrawObjectIsValid(dd) ? DDERR_NOTINITIALIZED : DDERR_INVALIDOBJECT;
    if (!inBlank) return DDERR_INVALIDPARAMS;
    RasterGeometry g = Geometry();
    *inBlank = LineAt(g, RasterNowNs(g)) >= g.visibleLines ? TRUE : FALSE;
    return DD_OK;
}

HRESULT IDirectDraw7_GetScanLine(IDirectDraw7* dd, DWORD* line) {
    if (!DDrawObjectIsReady(dd)) return DDrawObjectIsValid(dd) ? DDERR_NOTINITIALIZED : DDERR_INVALIDOBJECT;
    if (!line) return DDERR_INVALIDPARAMS;
    RasterGeometry g = Geometry();
    int current = LineAt(g, RasterNowNs(g));
    *line = static_cast<DWORD>(current);
    return current >= g.visibleLines ? DDERR_VERTICALBLANKINPROGRESS : DD_OK;
}

HRESULT IDirectDraw7_WaitForVerticalBlank(IDirectDraw7* dd, DWORD flags, HANDLE event) {
    if (!DDrawObjectIsReady(dd)) return DDrawObjectIsValid(dd) ? DDERR_NOTINITIALIZED : DDERR_INVALIDOBJECT;
    if (flags != DDWAITVB_BLOCKBEGIN || event) return DDERR_UNSUPPORTED;
    RasterGeometry g = Geometry();
    int64_t now = RasterNowNs(g);
    // The first time within the period whose line is the first blank line.
    int64_t blankPhase = (g.periodNs * g.visibleLines + g.totalLines - 1) / g.totalLines;
    int64_t blankStart = now - now % g.periodNs + blankPhase;
    if (blankStart <= now) blankStart += g.periodNs;
    // Sleep the whole milliseconds, then follow the raster to the blank's first line.
    int64_t wholeMs = (blankStart - now) / 1000000;
    if (wholeMs > 0) Sleep(static_cast<DWORD>(wholeMs));
    while (RasterNowNs(g) < blankStart) {
    }
    return DD_OK;
}
