// draw_state.h - the drawing settings that every drawing call reads: the draw target
// and draw area, blending, brightness, the mask flags, the options new graphs are
// created with, and the transparent colour.
//
// The record is zero until the graph manager starts and writes its defaults (draw
// target -4, blend graph -1, brightness 0xFFFFFF, ...). The software renderers read
// the draw area (clipRect), blendMode, blendParam and brightness at every call.
#pragma once

#include <cstdint>

#include "platform/wintypes.h"

enum BlendMode {
    BlendNone = 0,
    BlendAlpha = 1,
    BlendAdd = 2,
    BlendSubtract = 3,
    BlendMultiply = 4,  // the software renderers draw nothing for modes above this
};

enum : uint32_t { BrightnessNeutral = 0xFFFFFF };

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
};

extern DrawState g_DrawState;

// Weight (0..255) with which a source pixel is applied, by the blend graph's byte.
extern uint8_t BlendGraphWeightTable[256];

int SetHardware3DDrawFlag(int flag);          // graphs may become Direct3D textures
int SetGraphDirectDrawSurfaceFlag(int flag);  // 0: new graphs keep their pixels in MEMIMGs
int SelectDrawTargetCore(int target);         // FrontBufferTarget, BackBufferTarget or a graph
int GetDrawTargetHandle(void);
int GetDrawClipRect(RECT* rect);
int SetDrawClipRect(int x1, int y1, int x2, int y2);

// Clips rect to clip in place: an inverted rectangle first collapses onto its left
// and top edge, then every edge is clamped into the clip rectangle. Returns 0.
int ClipRectByRectCore(RECT* rect, const RECT* clip);
