// frame_timing.cpp - copy-method timing, the frame-period measurement and the raster
// polls (see frame_timing.h).
#include "library/display/frame_timing.h"

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/core/timing.h"
#include "library/display/screen_state.h"
#include "platform/kernel/clock.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/window/window.h"

namespace {

constexpr int OsCodeNtFamily = 260;  // NT-family systems report the refresh rate
constexpr int LowestReportedRefresh = 60;
constexpr int CopyTimingRounds = 8;
constexpr int SeriesCount = 5;          // the last one is taken but not evaluated
constexpr int SamplesWithoutRefresh = 20;
constexpr int SamplesWithRefresh = 4;
// While a test's clock stands still the time limit never passes; the raster still
// moves, so this many polls are far more than a frame needs.
constexpr long RasterPollCap = 1L << 20;

// Counts the polls of one wait and tells when it has lasted too long.
struct PollBudget {
    DWORD start = timeGetTime();
    long polls = 0;
    bool Spent() { return ++polls > RasterPollCap || timeGetTime() - start > DWORD(RasterPollLimitMs); }
};

bool InBlank(IDirectDraw7* object) {
    BOOL inBlank = FALSE;
    IDirectDraw7_GetVerticalBlankStatus(object, &inBlank);
    return inBlank != FALSE;
}

DWORD ScanLine(IDirectDraw7* object) {
    DWORD line = 0;
    IDirectDraw7_GetScanLine(object, &line);
    return line;
}

// Lines the sample loop up with the raster: three times to the next wrap and out of
// the blank, then once more to the next wrap.
bool SynchroniseWithRaster(IDirectDraw7* object) {
    for (int i = 0; i < 3; i++) {
        if (PollScanLineWrap(object, ScanLine(object)) != RasterPollReached) return false;
        if (PollVerticalBlank(object, false, false) != RasterPollReached) return false;
    }
    return PollScanLineWrap(object, ScanLine(object)) == RasterPollReached;
}

// Measures the frame period (and, when the display did not report it, the refresh
// rate) from series of samples of the time from one blank to the next.
void MeasureFramePeriod(int* refreshRate) {
    ScreenState& s = g_Screen;
    IDirectDraw7* object = s.directDraw;
    const int perSeries = *refreshRate == -1 ? SamplesWithoutRefresh : SamplesWithRefresh;
    s.scanLines = GetSystemMetrics(SM_CYSCREEN);
    char line[64];
    FormatText(line, sizeof line, "スキャンラインの数:%d\n", s.scanLines);
    WriteLogText(line);

    int samples[SamplesWithoutRefresh] = {};
    int taken = 0;
    uint64_t microsecondSum = 0;
    bool measuring = SynchroniseWithRaster(object);
    for (int series = 0; measuring && series < SeriesCount && s.framePeriod == -1; series++) {
        taken = 0;
        while (taken < perSeries) {
            DWORD startMs = timeGetTime();
            uint64_t startUs = GetTimeMicroseconds(0);
            if (PollVerticalBlank(object, false, false) != RasterPollReached ||
                PollScanLineWrap(object, ScanLine(object)) != RasterPollReached) {
                measuring = false;  // the raster stopped: no period
                break;
            }
            samples[taken++] = static_cast<int>(timeGetTime() - startMs);
            microsecondSum += GetTimeMicroseconds(0) - startUs;
        }
        if (!measuring) break;
        if (series < SeriesCount - 1) s.framePeriod = FindFramePeriod(samples, taken);
        if (series == 0 && *refreshRate == -1) {
            *refreshRate = RefreshRateFromFrameMicroseconds(microsecondSum / static_cast<uint64_t>(taken));
        }
    }

    if (s.framePeriod == -1) {
        WriteLogText("１フレームの時間を正常に取得できませんでした\n");
    } else {
        WriteLogFormat("１フレーム当たりの時間は %d msecです", s.framePeriod);
    }
    for (int i = 0; i < taken; i++) WriteLogFormat("\tTri%02d:%d msec", i, samples[i]);
}

}  // namespace

int PollVerticalBlank(IDirectDraw7* object, bool inBlank, bool pumpMessages) {
    PollBudget budget;
    while (InBlank(object) != inBlank) {
        if (pumpMessages && ProcessMessageCore() != 0) return RasterPollQuit;
        if (budget.Spent()) return RasterPollGaveUp;
    }
    return RasterPollReached;
}

int PollScanLineWrap(IDirectDraw7* object, DWORD line) {
    PollBudget budget;
    for (;;) {
        if (InBlank(object)) return RasterPollReached;
        DWORD current = 0;
        if (IDirectDraw7_GetScanLine(object, &current) == DDERR_VERTICALBLANKINPROGRESS || current < line) {
            return RasterPollReached;
        }
        if (budget.Spent()) return RasterPollGaveUp;
    }
}

int MeasureCopyMethod(void) {
    ScreenState& s = g_Screen;
    if (s.noDirectDraw) return 0;
    IDirectDrawSurface7* front = GetFrontBufferSurface();
    IDirectDrawSurface7* work = s.WorkSurface[0];
    RECT area{0, 0, s.width, s.height};

    uint64_t start = GetTimeMicroseconds(0);
    for (int i = 0; i < CopyTimingRounds; i++) IDirectDrawSurface7_BltFast(work, 0, 0, front, &area, 0);
    double bltFastUs = double(GetTimeMicroseconds(0) - start);

    HDC workDc = nullptr, frontDc = nullptr;
    IDirectDrawSurface7_GetDC(work, &workDc);
    IDirectDrawSurface7_GetDC(front, &frontDc);
    start = GetTimeMicroseconds(0);
    for (int i = 0; i < CopyTimingRounds; i++) BitBlt(workDc, 0, 0, s.width, s.height, frontDc, 0, 0, SRCCOPY);
    double bitBltUs = double(GetTimeMicroseconds(0) - start);
    if (frontDc != nullptr) IDirectDrawSurface7_ReleaseDC(front, frontDc);
    if (workDc != nullptr) IDirectDrawSurface7_ReleaseDC(work, workDc);

    s.preferBitBlt = bitBltUs <= bltFastUs ? 1 : 0;
    WriteLogFormat("サーフェス間転送には %s を使用します", s.preferBitBlt ? "BitBlt" : "BltFast");
    WriteLogFormat("BitBlt:%.0lfμs   BltFast:%.0lfμs", bitBltUs, bltFastUs);
    return 0;
}

int MeasureFrameTiming(void) {
    ScreenState& s = g_Screen;
    int refreshRate = -1;
    if (SystemStateRecord.head.osCode >= OsCodeNtFamily) {
        HWND window = GetAppWindowHandle();
        HDC dc = GetDC(window);
        refreshRate = GetDeviceCaps(dc, VREFRESH);
        ReleaseDC(window, dc);
        if (refreshRate < LowestReportedRefresh) refreshRate = -1;
    }
    s.framePeriod = -1;
    if (s.noDirectDraw) {
        refreshRate = LowestReportedRefresh;
    } else {
        MeasureFramePeriod(&refreshRate);
    }
    s.measuredRefreshRate = refreshRate;
    s.FramePacingThreshold = PacingThresholdForPeriod(s.framePeriod);
    return 0;
}

int FindFramePeriod(const int* samples, int count) {
    for (int i = 0; i < count; i++) {
        for (int j = i + 1; j < count; j++) {
            if (samples[j] == samples[i]) return samples[i];
        }
    }
    return -1;
}

int RefreshRateFromFrameMicroseconds(uint64_t averageMicroseconds) {
    if (averageMicroseconds == 0) return -1;  // no time passed: nothing to divide by
    uint64_t tenths = 10000000u / averageMicroseconds;
    return static_cast<int>(tenths / 10 + (tenths % 10 > 5 ? 1 : 0));
}

int PacingThresholdForPeriod(int periodMs) { return periodMs == -1 ? -1 : (2 * periodMs - 4) / 3; }
