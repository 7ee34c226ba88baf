// screen_state.cpp - the display globals and the overlay format table.
#include "library/display/screen_state.h"

namespace {

constexpr DWORD FourCC(char a, char b, char c, char d) {
    return DWORD(uint8_t(a)) | DWORD(uint8_t(b)) << 8 | DWORD(uint8_t(c)) << 16 |
           DWORD(uint8_t(d)) << 24;
}

constexpr ScreenState InitialScreenState() {
    ScreenState state{};
    state.overlayFormatIndex = -1;
    state.framePeriod = -1;
    state.FramePacingThreshold = -1;
    return state;
}

}  // namespace

// Constant-initialised, so the settings made before start-up never race static start-up.
constinit ScreenState g_Screen = InitialScreenState();

const DDPIXELFORMAT OverlayFormatTable[OverlayFormatCount] = {
    {sizeof(DDPIXELFORMAT), DDPF_FOURCC, FourCC('U', 'Y', 'V', 'Y'), {0}, {0}, {0}, 0, {0}},
    {sizeof(DDPIXELFORMAT), DDPF_FOURCC, FourCC('Y', 'U', 'Y', '2'), {0}, {0}, {0}, 0, {0}},
    {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {16}, {0x7C00}, {0x03E0}, 0x001F, {0}},
    {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, {16}, {0xF800}, {0x07E0}, 0x001F, {0}},
};

const char* const OverlayFormatNames[OverlayFormatCount + 1] = {
    " UYVY", " YUY2", " 16-bit RGB 5:5:5 ", " 16-bit RGB 5:6:5 ", "",
};
