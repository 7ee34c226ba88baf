// text_draw.h - the drawing front end and the software draw side for strings.
//
// DrawTextAtCore draws with the library's default font; DrawTextWithFontHandle with any
// font, on the hardware path (fonts with a texture glyph cache) or the software side.
// DrawTextSoft draws into the software draw target, the locked DirectDraw target, or,
// for blended and grey-level text, into the font's draw screen first, which is then
// drawn onto the target like a graph with the current blend mode.
#pragma once

#include <cstdint>

int DrawTextAtCore(int x, int y, const char* text, int color, int edgeColor);
// 0 without drawing for an empty text, while drawing is suspended or the draw area is
// empty; -1 after a log line for a font handle that is not live.
int DrawTextWithFontHandle(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical);
int DrawTextSoft(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor, int vertical);
