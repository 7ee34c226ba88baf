// dib_graph.h - GDI DIB sections made from image files or bitmap data, for the menus,
// the toolbar and the window region.
#pragma once

#include "library/display/color_format.h"
#include "platform/gdi/gdi.h"

// An image file (or one in memory) as a top-down DIB section of 8 or 24 bits; null
// after a log line when it cannot be made. The colour format is not used.
HBITMAP CreateDIBGraph(const char* fileName, const void* memory, int memorySize, int fromMemory, int mirror,
                       const ColorFormat* format);
HBITMAP CreateDIBGraphFromFile(const char* fileName, int mirror, const ColorFormat* format);
// A 24-bit top-down DIB section holding the given rows; null when it cannot be made.
HBITMAP CreateDIBSectionFromBitmapInfo(const BITMAPINFO* info, const void* bits, int mirror, const ColorFormat* format);

// Size and pixels of such a bitmap (any out pointer may be null): 0, -1 when it is not one.
int GetDIBGraphInfo(HBITMAP bitmap, int* width, int* height, const void** pixels, int* pitch, int* bytesPerPixel);
int DeleteDIBGraph(HBITMAP bitmap);  // 0, -1 when refused
