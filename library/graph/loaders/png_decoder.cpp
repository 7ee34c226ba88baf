// png_decoder.cpp - PNG images through the installed libpng.
//
// libpng reads from the stream through a callback that refuses to read past the
// stream's end ("Read Error"). Transforms: 16-bit channels stripped to 8, sub-byte
// pixels unpacked to one per byte, grey of 8 bits or less and any image with a
// transparency chunk expanded, colour channels in BGR order. Output formats:
//   palette (not expanded)         8-bit palette image, unused palette entries 0
//   RGB                            24-bit BGR
//   RGBA, or expanded transparency A8R8G8B8
//   grey                           Gray8
//   grey with alpha                16 bits, grey in the low byte, alpha ignored
// Rows are decoded straight into the tracked output; pitch = libpng's row size.
//
// libpng reports errors by long jump. The function that sets the jump point holds
// no C++ object with a destructor, and the blocks allocated after it live in the
// caller's record, so the error path can free them.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "library/core/alloc.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

namespace {

// Ancillary chunks (text, profiles) that libpng buffers or inflates stay below this.
constexpr png_alloc_size_t kMaxPngChunkBytes = 8 << 20;

struct PngStreamReader {
    StreamSource* source;
    int64_t remaining;  // bytes left in the stream
};

// What a long jump must find to clean up.
struct PngDecodeState {
    png_structp png;
    png_infop info;
    PngStreamReader reader;
    png_bytep* rows;
    uint8_t* pixels;
    int result;  // -1 until the image is complete
};

void PngStreamReadCallback(png_structp png, png_bytep buffer, size_t length) {
    PngStreamReader* reader = static_cast<PngStreamReader*>(png_get_io_ptr(png));
    if (reader->remaining < int64_t(length) || ReadStreamBytes(reader->source, buffer, length) != 0) {
        png_error(png, "Read Error");
    }
    reader->remaining -= int64_t(length);
}

// libpng's default handlers print to standard error; a refused file is the caller's to
// report. The error handler must not return: libpng would then print and jump itself.
void PngSilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngSilentWarning(png_structp, png_const_charp) {}

int SetPngStreamReadFn(png_structp png, PngStreamReader* reader, StreamSource* source) {
    reader->source = source;
    reader->remaining = StreamBytesLeft(source);
    png_set_read_fn(png, reader, PngStreamReadCallback);
    return 0;
}

void SetPngColorFormat(PngDecodeState* state, int colorType, bool expanded, ColorFormat* format) {
    int channels = png_get_channels(state->png, state->info);
    if (colorType == PNG_COLOR_TYPE_PALETTE && !expanded) {
        InitPalette8ColorFormat(format);
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(state->png, state->info, &palette, &count) == 0) count = 0;
        uint8_t* entries = reinterpret_cast<uint8_t*>(format->palette);
        for (int i = 0; i < count && i < 256; i++) {
            entries[4 * i] = palette[i].blue;
            entries[4 * i + 1] = palette[i].green;
            entries[4 * i + 2] = palette[i].red;
        }
    } else if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        if (channels == 1) {
            InitGray8ColorFormat(format);
        } else {  // grey and alpha bytes: every colour channel reads the grey byte
            InitColorFormatFromMasks(format, 16, 0xFF, 0xFF, 0xFF, 0);
        }
    } else if (channels == 4) {
        InitArgb32ColorFormat(format);
    } else {
        InitRgb24ColorFormat(format);
    }
}

// Everything from the header to the last row. Returns -1 for an image over the
// limits; libpng's own errors long-jump out of here.
int ReadPngImage(PngDecodeState* state, StreamSource* source, GraphImage* out) {
    png_structp png = state->png;
    png_infop info = state->info;
    SetPngStreamReadFn(png, &state->reader, source);
    png_set_sig_bytes(png, 0);
    // Any size the format allows gets past libpng, so that ours is the check that
    // refuses (and says so), before libpng sizes its row buffers.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (!IsImageSizeAllowed(width, height, width)) return -1;  // rows of at least a byte a pixel
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);  // after unpacking, pixels stay in stored order
    bool expanded = (colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (expanded) png_set_expand(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    size_t rowBytes = png_get_rowbytes(png, info);
    if (!IsImageSizeAllowed(width, height, int64_t(rowBytes))) return -1;
    state->rows = static_cast<png_bytep*>(ZqAlloc(height * sizeof(png_bytep)));
    state->pixels = static_cast<uint8_t*>(ZqAlloc(rowBytes * height));
    if (state->rows == nullptr || state->pixels == nullptr) return -1;
    for (png_uint_32 y = 0; y < height; y++) state->rows[y] = state->pixels + rowBytes * y;
    png_read_image(png, state->rows);
    png_read_end(png, nullptr);

    SetPngColorFormat(state, colorType, expanded, &out->format);
    out->width = int(width);
    out->height = int(height);
    out->pitch = int(rowBytes);
    out->pixels = state->pixels;
    return 0;
}

// The jump point. Only `state` (the caller's) changes between setjmp and a jump.
int RunPngDecode(PngDecodeState* state, StreamSource* source, GraphImage* out) {
    if (setjmp(png_jmpbuf(state->png)) == 0) state->result = ReadPngImage(state, source, out);
    if (state->result != 0) ZqFree(state->pixels);
    ZqFree(state->rows);
    png_destroy_read_struct(&state->png, &state->info, nullptr);
    return state->result;
}

}  // namespace

int DecodePngGraphImage(StreamSource* source, GraphImage* image) {
    PngDecodeState state{};
    state.result = -1;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngSilentError, PngSilentWarning);
    if (state.png == nullptr) return -1;
    state.info = png_create_info_struct(state.png);
    if (state.info == nullptr) {
        png_destroy_read_struct(&state.png, nullptr, nullptr);
        return -1;
    }
    GraphImage out{};
    if (RunPngDecode(&state, source, &out) != 0) return -1;
    *image = out;
    return 0;
}
