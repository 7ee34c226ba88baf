// blit_reference.h - a slow model of the software blitters, written from the kernel
// table rather than from the library's code: every decision of the variant order is
// taken again per pixel at run time, and the scaled blitter's source pixels come from
// stepping the accumulators from the unclipped start.
#pragma once

#include <cstdint>
#include <vector>

#include "library/softrender/memimg.h"
#include "softrender_test_support.h"

using softrender_test::ImageBytes;

// What a draw reads from the draw state, the flag and the tables.
struct RefSettings {
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    int mode = 0;
    int p = 0;
    uint32_t brightness = 0xFFFFFF;
    bool mmx = false;
};

// Settings as the library reads them now (draw state, MMX flag).
RefSettings CurrentRefSettings();

// The expected destination bytes (dest->pitch x dest->height) after the draw.
std::vector<uint8_t> ReferenceDrawImage(const MEMIMG* dest, const MEMIMG* source, int x, int y, int transparent,
                                        const MEMIMG* blendImage, const RefSettings& s);
std::vector<uint8_t> ReferenceDrawStretched(const MEMIMG* dest, const MEMIMG* source, int x1, int y1, int x2,
                                            int y2, int transparent, const MEMIMG* blendImage,
                                            const RefSettings& s);

// The source column (or row) the scaled blitter shows at each destination offset of an
// unclipped span of destSize pixels over sourceSize pixels, stepped from its start.
std::vector<int> ReferenceScaledIndices(int destSize, int sourceSize);
