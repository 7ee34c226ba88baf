// Stand-ins for the font operations (see font_seams.h): no font can be created, and
// every operation on a font handle refuses it as invalid.
#include "library/font/font_seams.h"

FontHandle CreateFontToHandle(const char*, int, int, int, int, int, int, int, int) { return -1; }
int SetFontDeletedFlagPointer(FontHandle, int*) { return -1; }
int DestroyFontHandle(FontHandle) { return -1; }
int MeasureTextWidthWithFont(const char*, int, FontHandle, int) { return -1; }
int DrawTextWithFontHandle(int, int, const char*, int, FontHandle, int, int) { return -1; }
