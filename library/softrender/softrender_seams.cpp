// softrender_seams.cpp - the raw rectangle fill of the software image until the
// software primitives land; that work replaces this file.
#include <cstring>

#include "library/graph/draw_state.h"
#include "library/softrender/memimg.h"
#include "platform/wintypes.h"

void FillMemImgRectRaw(MEMIMG* image, const RECT* rect, uint32_t value) {
    if (image == nullptr || image->validMark != MemImgValidMark) return;
    RECT area = rect != nullptr ? *rect : RECT{0, 0, image->width, image->height};
    const RECT bounds{0, 0, image->width, image->height};
    ClipRectByRectCore(&area, &bounds);
    const int bytes = MemImgBytesPerPixel(image);
    if (area.right <= area.left || area.bottom <= area.top || (bytes != 1 && bytes != 2 && bytes != 4)) return;
    InvalidateMemImgDerivedData(image);
    for (int y = area.top; y < area.bottom; y++) {
        uint8_t* row = MemImgPixelAddress(image, area.left, y);
        for (int x = area.left; x < area.right; x++, row += bytes) std::memcpy(row, &value, size_t(bytes));
    }
}
