// frame_timing.h - what the screen-mode change measures: whether BitBlt or BltFast
// copies between surfaces faster, and the display's frame period, from which frame
// pacing takes its threshold; plus the raster polls the vertical-blank waits share.
//
// Every poll of the raster gives up after RasterPollLimitMs of the millisecond clock
// (or a bounded number of polls while a test's clock stands still), so no wait hangs
// on a display whose raster does not move.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

struct IDirectDraw7;

enum { RasterPollLimitMs = 200 };

enum RasterPollResult {
    RasterPollReached = 0,
    RasterPollQuit = 1,    // the message pump reported that the program must end
    RasterPollGaveUp = 2,  // the raster did not get there in time
};

// Polls until the vertical blank is (inBlank true) or is not (false) in progress,
// pumping messages between polls when asked.
int PollVerticalBlank(IDirectDraw7* object, bool inBlank, bool pumpMessages);
// Polls until the scan line is below `line` (it wrapped) or a blank is in progress.
int PollScanLineWrap(IDirectDraw7* object, DWORD line);

// Times eight BltFast and eight BitBlt screen copies into the first work surface and
// sets the BitBlt-preferred flag (DirectDraw output only).
int MeasureCopyMethod(void);

// Reads the refresh rate and, with DirectDraw output, measures the frame period; sets
// the refresh rate, frame period, scan lines and FramePacingThreshold.
int MeasureFrameTiming(void);

// The first sample (in order) whose value occurs again later in the series; -1 when
// none does.
int FindFramePeriod(const int* samples, int count);
// The refresh rate in Hz for an average frame time in microseconds, rounded as the
// measurement rounds it; -1 for an average of 0.
int RefreshRateFromFrameMicroseconds(uint64_t averageMicroseconds);
// (2 x period - 4) / 3, or -1 without a period.
int PacingThresholdForPeriod(int periodMs);
