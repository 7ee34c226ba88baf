// vertical_blank.cpp - waiting for the vertical blank and frame pacing (see present.h).
//
// Presents in a window cannot flip with the display, so they stand in for a vsync flip
// by pacing: at least FramePacingThreshold (or 5 ms when no frame period was measured)
// after the last paced present, then up to the start of the next blank.
#include "library/core/message_pump.h"
#include "library/display/frame_timing.h"
#include "library/display/present.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "platform/kernel/clock.h"
#include "platform/ddraw/ddraw.h"

namespace {
constexpr DWORD UnmeasuredPacingMs = 5;
}  // namespace

int WaitVerticalBlankCount(int count) {
    IDirectDraw7* object = g_Screen.directDraw;
    if (object == nullptr) return -1;
    if (g_DrawState.suspended) return 0;
    WaitWhileInactive();
    if (count == 0) {
        PollVerticalBlank(object, true, true);
        return 0;
    }
    for (int i = 0; i < count; i++) {
        // Out of the blank, then to the start of the next one; a quit ends both polls.
        if (PollVerticalBlank(object, false, true) != RasterPollQuit) PollVerticalBlank(object, true, true);
        if (ProcessMessageCore() != 0) return -1;
    }
    return 0;
}

DWORD WaitFramePacing(void) {
    ScreenState& s = g_Screen;
    const DWORD wait = s.FramePacingThreshold == -1 ? UnmeasuredPacingMs : DWORD(s.FramePacingThreshold);
    if (timeGetTime() - s.lastPacedPresentTime < wait) {
        while (timeGetTime() - s.lastPacedPresentTime < wait) Sleep(1);
        IDirectDraw7_WaitForVerticalBlank(s.directDraw, DDWAITVB_BLOCKBEGIN, nullptr);
    } else {
        Sleep(0);
        BOOL inBlank = FALSE;
        IDirectDraw7_GetVerticalBlankStatus(s.directDraw, &inBlank);
        if (!inBlank) IDirectDraw7_WaitForVerticalBlank(s.directDraw, DDWAITVB_BLOCKBEGIN, nullptr);
    }
    s.lastPacedPresentTime = timeGetTime();
    return s.lastPacedPresentTime;
}
