// memimg.h - the software renderer's image (MEMIMG).
//
// A MEMIMG is a block of pixel memory with its size, pitch, pixel format, transparent
// value, optional palette, optional per-pixel alpha and an optional transparency run
// stream. Screens, the Z buffer, the mask save area and every graph kept in system
// memory are MEMIMGs; the blitters and primitives draw from one into another.
//
//   MEMIMG image = {};
//   SetupMemImg(&image, 32, 32, -1, 0, MemImgFormat16, 0, 0, 1);   // with a run stream
//   ConvertGraphImageToMemImg(&decoded, nullptr, &image, 0, 0, 32, 32, 0, 0, 1);
//   DrawImageOnMemImg(&screen, &image, x, y, 1, nullptr);
//   ReleaseMemImg(&image);
//
// Pixel layouts (little-endian):
//   MemImgFormat16   u16 RGB565; with alpha 4 bytes: the RGB565 word, alpha, pad
//   MemImgFormat32   u32 0xXXRRGGBB; with alpha 0xAARRGGBB
//   MemImgFormat8    one byte that stands for every channel
//   MemImgFormatZ16  u16 depth
//   palette images   one index byte; palette table A holds RGB565 (kind 16) or
//                    0x00RRGGBB (kind 32) entries. A palette image never has alpha.
//
// The run stream (MemImgRunStream) is one block of code bytes per row: a byte b stands
// for (b & 0x3F) + 1 pixels (1..64) of kind b >> 6 (MemImgRunSkip, MemImgRunOpaque,
// MemImgRunAlpha); MemImgRowEnd (0xC0) closes the row. It is valid only while its flag
// is 1: a whole-image ConvertGraphImageToMemImg sets it, and every write into the
// image (conversions, fills, lines, blits) clears it, so a keyed draw never shows
// runs of pixels that have since changed.
#pragma once

#include <cstdint>

#include "library/graph/graph_image.h"
#include "library/softrender/memimg_formats.h"

struct RECT;

enum : uint32_t { MemImgValidMark = 0x12345678 };

enum MemImgRunKind {
    MemImgRunSkip = 0,    // transparent pixels
    MemImgRunOpaque = 1,  // drawn as they are
    MemImgRunAlpha = 2,   // drawn with their alpha (alpha images only)
};
enum : uint8_t { MemImgRowEnd = 0xC0, MemImgRunMaxLength = 64 };

// Largest width or height of an image; larger set-ups are refused.
enum { MemImgMaxSide = 65535 };

extern const int MemImgBytesPerPixelTable[4];  // by format kind: 2, 4, 1, 2

struct MEMIMG {
    uint32_t validMark;        // MemImgValidMark while set up
    int32_t width;
    int32_t height;
    int32_t pitch;             // bytes from one row to the next
    int32_t log2Pitch;         // the shift equal to the pitch, or -1
    const ColorFormat* colorFormat;  // a preset, never owned
    uint32_t transparentValue;       // raw pixel value (an index for palette images)
    int32_t formatKind;              // MemImgFormatKind
    int32_t paletteFlag;
    int32_t paletteCount;            // palette entries in use (highest index written + 1)
    int32_t alphaFlag;
    int32_t premultipliedValid;
    int32_t runStreamValid;
    int32_t pixelsNotOwned;
    void* paletteA;                  // entries used for drawing (the first inline table)
    void* paletteB;                  // a second copy (the second inline table)
    alignas(8) uint8_t inlinePalettes[2][1024];
    uint8_t* pixels;                 // row 0
    uint8_t* premultiplied;          // pitch x height bytes, or null
    uint8_t* runStream;              // (width + 5) x height bytes, or null
};

// Set-up and release. SetupMemImg wants a record that is zero (or released); pitch -1
// rounds the row up to 16 bytes; a preset pixel pointer is used and never freed;
// extrasFlag adds the run-stream buffer (and the premultiplied plane for alpha
// images). Sides above MemImgMaxSide, buffers of 2 GiB or more and pitches shorter
// than a row are refused (-1, logged). No pixel is cleared.
int SetupMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t transparentValue,
                int formatKind, int paletteFlag, int alphaFlag, int extrasFlag);
int CreateMemImgInScreenFormat(MEMIMG* image, int width, int height, int formatKind);  // kind -1: the screen's
int CreateZBufferMemImg(MEMIMG* image, int width, int height);
// A view shares the source's pixels and palettes and owns nothing. A rectangle that
// does not lie inside the source gives an empty view (logged), which draws nothing.
MEMIMG* MakeMemImgView(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height);
int HasMemImgPixels(const MEMIMG* image);
void ReleaseMemImg(MEMIMG* image);  // frees what the record owns; a second release does nothing

// Bytes per pixel of the image (1 for palette images, 4 for 16-bit images with alpha).
inline int MemImgBytesPerPixel(const MEMIMG* image) { return image->colorFormat->bytesPerPixel; }
inline uint8_t* MemImgPixelAddress(const MEMIMG* image, int x, int y) {
    return image->pixels + intptr_t(y) * image->pitch + intptr_t(x) * MemImgBytesPerPixel(image);
}
// Every write into an image goes through here: the run stream and the premultiplied
// plane stop describing its pixels.
inline void InvalidateMemImgDerivedData(MEMIMG* image) {
    image->runStreamValid = 0;
    image->premultipliedValid = 0;
}

// Transfers through the pixel-format converter. Rectangles that do not lie inside
// both images are refused (-1, or nothing done).
int ConvertMemImgToMemImg(MEMIMG* dest, const MEMIMG* source, const RECT* sourceRect, int x, int y);
int ConvertGraphImageToMemImg(const GraphImage* image, const GraphImage* alphaImage, MEMIMG* dest,
                              int sourceX, int sourceY, int width, int height, int destX, int destY,
                              int transparentFlag);
void ConvertMemImgToGraphImage(GraphImage* dest, const MEMIMG* source, int sourceX, int sourceY,
                               int width, int height, int destX, int destY, uint32_t keyValue,
                               int keyFlag);

// Rebuilds the run stream of an image that has a run-stream buffer (rows as above).
void BuildMemImgRunStream(MEMIMG* image);

// Writes value unblended into the rectangle (right and bottom exclusive; null = the
// whole image), clipped to the image.
void FillMemImgRectRaw(MEMIMG* image, const RECT* rect, uint32_t value);
