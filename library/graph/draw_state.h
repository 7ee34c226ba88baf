// draw_state.h - the drawing settings that every drawing call reads: the draw target
// and draw area, blending, brightness, the mask flags, the options new graphs are
// created with, and the transparent colour.
//
// The record is zero until the graph manager starts and writes its defaults (draw
// target -4, blend graph -1, brightness 0xFFFFFF, ...). The software renderers read
// the draw area (clipRect), blendMode, blendParam and brightness at every call.
//
//     SelectDrawTargetCore(BackBufferTarget);        // whole back screen, camera reset
//     SetDrawClipRect(10, 10, 100, 80);              // clamped to the target
//     SetBlendModeParam(BlendAlpha, 128);
//     ... draw ...
//     SetBlendModeParam(BlendNone, 0);
//
// Setters return 0 (a refused graph handle -1) and most do nothing while drawing is
// suspended or when the value is unchanged.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

enum BlendMode {
    BlendNone = 0,
    BlendAlpha = 1,
    BlendAdd = 2,
    BlendSubtract = 3,
    BlendMultiply = 4,  // the software renderers draw nothing for modes above this
    BlendHardwareAdd = 5,   // the hardware path's additive mode (its subtraction bracket)
    BlendDepthOnly = 8,     // the hardware path's depth-only drawing
};

enum : uint32_t { BrightnessNeutral = 0xFFFFFF };

// Direct3D 7 depth compare functions the draw state uses.
enum { ZCompareLessEqual = 4, ZCompareAlways = 8 };

struct DrawState {
    int drawTarget;            // FrontBufferTarget, BackBufferTarget or a graph handle
    int targetInVideoMemory;
    RECT drawOrigin;           // where the target's pixel (0, 0) lies on the surface drawn
    RECT clipRect;             // the draw area; right and bottom exclusive
    float clipRectFloat[4];
    int targetWidth;
    int targetHeight;
    int zUse;
    int zWrite;
    int zCompare;
    int cullMode;
    int hardwareRenderSetting;
    float depth2D;
    int filterMode;
    int blendMode;             // BlendMode
    int blendParam;            // 0..255
    int blendGraph;            // graph handle or -1
    int blendGraphBorderParam;
    int blendGraphBorderRange;
    uint32_t brightness;       // 0x00RRGGBB; BrightnessNeutral = no modulation
    int maskUse;
    int maskSaveInVideoMemory;
    int maskActive;            // mask use and mask created
    int newGraphColorBits;
    int useHardware3D;
    int newGraphDrawValid;
    int newGraphDrawTargetAlpha;
    int newGraphAlphaChannel;
    int newGraphAlphaTest;
    int newGraphInMemImg;
    int newGraphOption;
    uint32_t transparentColor;  // 0x00RRGGBB
    int imageTransferOption;
    int dibFullColorOption;
    int graphBuildOption;
    int suspended;
    int emptyArea;
    int textureAddressMode;    // Direct3D texture addressing; 0 stands for clamp (3)
};

extern DrawState g_DrawState;

// Weight (0..255) with which a source pixel is applied, by the blend graph's byte.
extern uint8_t BlendGraphWeightTable[256];

// The draw box outlines in software even where the hardware path could draw them (a
// library setting that survives the graph manager's restart; nothing sets it here).
extern int g_SoftwareRectOutline;

// Clears the record (keeping the suspended flag) and writes the start values the
// graph manager starts with. The draw target is left for the caller to select.
void ResetDrawStateToStartValues(void);

// Blending and brightness.
int SetBlendModeParam(int mode, int parameter);  // parameter clamped to 0..255
int SelectBlendGraph(int graph, int borderParam, int borderRange);  // graph -1: none
void BuildBlendGraphWeightTable(int borderParam, int borderRange);
int SetBrightnessColorPacked(uint32_t rgb);
int SetBrightnessRGB(int r, int g, int b);  // each clamped to 0..255
int SetDrawFilterMode(int mode);
int GetDrawFilterMode(void);

// The transparent colour (0x00RRGGBB) graphs are keyed with; ignored on 8-bit screens.
int SetTransparentColorKeyCore(int r, int g, int b);

// Options new graphs are created with.
int SetHardware3DDrawFlag(int flag);          // graphs may become Direct3D textures
int SetGraphAlphaTestFlag(int flag);
int GetGraphAlphaTestFlag(void);
int SetGraphDrawValidFlag(int flag);          // new graphs can be draw targets
int SetGraphMemImgFlag(int flag);
int GetGraphMemImgFlag(void);
int SetGraphDirectDrawSurfaceFlag(int flag);  // 0: new graphs keep their pixels in MEMIMGs
int SetGraphCreateBitDepth(int bits);         // 0: the screen's depth
int GetGraphCreateBitDepth(void);
int SetGraphAlphaChannelFlag(int flag);
int GetGraphAlphaChannelFlag(void);
int GetDIBFullColorFlag(void);

// The draw target and the draw area.
int SelectDrawTargetCore(int target);         // FrontBufferTarget, BackBufferTarget or a graph
int GetDrawTargetHandle(void);
int SetDrawOriginRect(const RECT* rect);
// 1 when moving the window must leave the draw origin alone: it follows the window's
// client area only while drawing goes straight onto the primary surface in a window.
int CheckDrawOriginKept(void);
int SetDrawClipRect(int x1, int y1, int x2, int y2);
int GetDrawClipRect(RECT* rect);

// Sizes: -4 and -2 the screen (640 x 480 while unset), else a graph (-1 when refused).
int GetGraphOrScreenSize(int target, int* width, int* height);
int GetScreenSizeAndDepth(int* width, int* height, int* colorBits);  // depth 0 counts as 16

// 1 when graphs may be drawn through the hardware path right now.
int IsHardware3DDrawUsable(void);

// Clips rect to clip in place: an inverted rectangle first collapses onto its left
// and top edge, then every edge is clamped into the clip rectangle. Returns 0.
int ClipRectByRectCore(RECT* rect, const RECT* clip);
// The rectangle of width x height at (x, y), its far edges held to the int range (a
// rectangle placed near the range's end reaches past every target).
RECT SizedRect(int x, int y, int width, int height);
int NormalizeRect(RECT* rect);  // swaps inverted edges; 0
int GetRectSize(const RECT* rect, int* width, int* height);
