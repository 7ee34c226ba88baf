// draw_state.h - the drawing settings that every drawing call reads: the draw target
// and draw area, and the options new graphs are created with.
#pragma once

struct RECT;

int SetHardware3DDrawFlag(int flag);          // graphs may become Direct3D textures
int SetGraphDirectDrawSurfaceFlag(int flag);  // 0: new graphs keep their pixels in MEMIMGs
int SelectDrawTargetCore(int target);         // FrontBufferTarget, BackBufferTarget or a graph
int GetDrawTargetHandle(void);
int GetDrawClipRect(RECT* rect);
int SetDrawClipRect(int x1, int y1, int x2, int y2);
