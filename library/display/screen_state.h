// screen_state.h - the display globals and the routines that read and set them.
//
// The display side keeps its whole state in one record, `g_Screen`: the DirectDraw
// object with its clipper and palette, the screen surfaces, the screen's size, depth
// and colour format, the output-mode flags and the frame timing. Everything outside
// the display code goes through the accessors below; the display start-up, mode
// change, surfaces and present code work on the record directly.
//
// The screen runs in one of two output configurations, switched only by
// SetScreenUseDirectDraw: DirectDraw output (surfaces, drawn through Direct3D or the
// software renderer on locked surfaces) or GDI output (software images copied to the
// window). Once GDI output is chosen it stays chosen.
//
// Settings made before start-up (size, depth, front-copy option, software request)
// are only stored; start-up puts them into force. Unset size and depth read as
// 640 x 480 x 16.
#pragma once

#include <cstdint>

#include "library/display/color_format.h"
#include "platform/ddraw/ddraw_types.h"
#include "platform/wintypes.h"

struct IDirectDraw7;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
struct IDirectDrawSurface7;
struct MEMIMG;

// How the screen's pixels are laid out; the drawing side picks its loops by it.
enum ScreenPixelKind {
    ScreenPixelRgb565 = 0,
    ScreenPixelRgb555 = 1,
    ScreenPixelXrgb8888 = 2,
    ScreenPixelOther = 3,
};

// One entry of the screen palette of an 8-bit screen (byte order red, green, blue,
// flags; unlike the ColorFormat palette).
struct ScreenPaletteEntry {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};

// One display device found by EnumerateDisplayDevices.
struct DisplayDeviceEntry {
    uint8_t guid[16];           // zero for the primary display driver
    char driverName[512];
    char driverDescription[512];
    uint32_t totalVideoMemory;  // bytes
    uint32_t canDraw3D;
    uint32_t valid;             // 1 = entry in use
};
static_assert(sizeof(DisplayDeviceEntry) == 1052, "DisplayDeviceEntry is 1052 bytes");

enum {
    DisplayDeviceCapacity = 10,
    DirectDrawCapsSize = 380,  // the DDCAPS block taken at start-up
    OverlayFormatCount = 4,
    ScreenDefaultWidth = 640,
    ScreenDefaultHeight = 480,
    ScreenDefaultColorBits = 16,
};

// Cooperative levels in force.
enum : uint32_t {
    ScreenCoopWindowed = 0x8,     // DDSCL_NORMAL
    ScreenCoopFullScreen = 0x11,  // DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN
};

struct ScreenState {
    // The DirectDraw object (null = display not started), its clipper (bound to the
    // graphics window) and, on 8-bit screens, its palette with the kept entries.
    IDirectDraw7* directDraw;
    IDirectDrawClipper* clipper;
    HWND graphicsWindow;  // the window graphics start-up handed over
    IDirectDrawPalette* palette;
    ScreenPaletteEntry paletteEntries[256];

    // Driver capabilities taken at start-up (CopyDirectDrawCaps hands out a copy).
    alignas(4) uint8_t driverCaps[DirectDrawCapsSize];

    // The video card as the object creation found it (driver and memory are only
    // read while Shift is held; otherwise empty names and 16 MB of video memory).
    char videoDriverName[512];
    char videoDriverDescription[512];
    uint32_t videoMemoryTotal;  // bytes
    uint32_t videoMemoryFree;

    // Display devices (filled only by EnumerateDisplayDevices).
    int displayDeviceCount;
    DisplayDeviceEntry displayDevices[DisplayDeviceCapacity];

    // The screen's pixel layout, filled at each screen-mode change.
    ColorFormat colorFormat;
    DDPIXELFORMAT pixelFormat;  // as the display reported it
    int pixelKind;              // ScreenPixelKind

    // Size and depth. 0 = unset: width and height read as 640 x 480, the colour
    // bits as 16. requestedColorBits is the depth last asked for; the software
    // screen images are 32-bit unless it is 16.
    int width;
    int height;
    int colorBits;
    int refreshRate;  // Hz, 0 = the display's default
    int requestedColorBits;

    uint32_t cooperativeLevel;  // ScreenCoopWindowed or ScreenCoopFullScreen
    int overlayFormatIndex;     // row of OverlayFormatTable, -1 = no overlay

    // Screen surfaces (DirectDraw output). workSurfaces are the two system-memory
    // surfaces used to read back and blend target areas.
    IDirectDrawSurface7* PrimarySurface;
    IDirectDrawSurface7* FrontCopySurface;
    IDirectDrawSurface7* BackSurface;
    IDirectDrawSurface7* WorkSurface[2];
    IDirectDrawSurface7* ZBufferSurface;
    IDirectDrawSurface7* drawTargetSurface;  // the surface of the current draw target
    MEMIMG* drawTargetMemImg;                // the software image of the current draw target, or null
    MEMIMG* drawTargetZMemImg;               // the 16-bit depth image of the current draw target, or null
    int drawTargetOffsetX;                   // where the target's pixel (0, 0) lies in its surface or image
    int drawTargetOffsetY;                   // (a graph's piece inside shared storage)
    int drawTargetUnusable;                  // every software draw refuses while set
    int MemImgScreen;                        // 1 while the screens are software images

    // Output-mode flags.
    int displayModeChanged;        // a full-screen display mode is in force
    int presentWaitVSync;          // present waits for the vertical blank
    int softwareScreenRequest;     // asked to run without DirectDraw
    int graphicsStarted;           // end the Direct3D scene before software drawing
    int SoftRenderUseMMX;          // the software renderers may run their MMX loops
    int softwareRenderer;          // the software renderer draws everything
    int noDirectDraw;              // GDI output (set together with softwareRenderer)
    int gdiCompatibleRequest;      // the GDI-compatible state last asked for
    int gdiCompatibleApplied;      // the state in force (-1 = must be applied again)
    int frontCopySurfaceUse;       // keep an off-screen copy of the visible screen
    int preferBitBlt;              // BitBlt measured faster than BltFast
    int startupDone;               // display start-up complete

    // Frame timing.
    int measuredRefreshRate;       // Hz, measured or reported
    int framePeriod;               // ms, -1 when not measured
    int scanLines;
    int FramePacingThreshold;      // ms, -1 without a frame period
    uint32_t lastModeChangeTime;   // ms
    uint32_t lastPacedPresentTime; // ms
    uint64_t presentCount;
    int frontImageStale;           // set after each GDI present
};

extern ScreenState g_Screen;

// The overlay pixel formats tried at start-up, in order, with their names in the log
// (the name list ends with an empty name).
extern const DDPIXELFORMAT OverlayFormatTable[OverlayFormatCount];
extern const char* const OverlayFormatNames[OverlayFormatCount + 1];

// Flags.
int SetGraphicsStartedFlag(int flag);
int SetPresentWaitVSync(int flag);
int GetPresentWaitVSync(void);
int SetSoftwareScreenRequest(int flag);
int GetSoftwareScreenRequest(void);
int SetScreenUseDirectDraw(int useFlag);
int SetScreenGdiCompatible(int flag);
int GetScreenGdiCompatible(void);
int SetFrontCopySurfaceUse(int flag);

// Size and depth.
int GetScreenPixelSize(int* width, int* height);
int GetScreenColorBitDepth(void);
int QueryScreenColorBitDepth(void);

// Output configuration.
IDirectDraw7* GetDirectDrawObject(void);
int IsDirectDrawUsed(void);
int IsSoftwareRenderMode(void);
int IsDisplayModeChanged(void);
int SetDisplayModeChanged(int flag);

// Surfaces.
IDirectDrawSurface7* GetDrawTargetSurface(void);
IDirectDrawSurface7* GetFrontBufferSurface(void);
IDirectDrawSurface7* GetBackBufferSurface(void);
IDirectDrawSurface7* GetSysMemWorkSurface(void);
int IsDrawTargetPrimaryInWindow(void);

// Formats and capabilities.
ColorFormat* GetScreenColorFormat(void);
DDPIXELFORMAT* GetScreenDDPixelFormat(void);
const DDPIXELFORMAT* GetOverlayPixelFormat(void);
void* CopyDirectDrawCaps(void* destination);

// The screen palette of an 8-bit screen.
HRESULT SetSurfacePaletteCallback(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, void* context);
int ReapplyScreenPaletteEntries(void);
