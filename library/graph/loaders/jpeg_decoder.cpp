// jpeg_decoder.cpp - JPEG images through the installed libjpeg (interface 62).
//
// A source manager of our own feeds libjpeg from the stream in 4096-byte blocks.
// A stream that ends early gets an end-of-image marker and libjpeg's "Premature end
// of JPEG file" warning, so the rows decoded so far survive; an empty one fails
// with "Empty input file". Output: Gray8 for one component, 24-bit BGR for three
// (libjpeg writes the BGR order itself) and for four: CMYK and YCCK files, which
// libjpeg gives as CMYK, hold their inks inverted as Adobe's programs store them,
// so red = C x K / 255 and so on. Rows are decoded straight into the tracked
// output (CMYK through one row of libjpeg's), pitch = width x 1 or 3. Dimensions,
// libjpeg's working memory and the number of scans are bounded so that no file
// makes a huge allocation or runs for long.
//
// libjpeg reports errors through the error manager's error exit, which long-jumps
// back here. The function that sets the jump point holds no C++ object with a
// destructor; the record it cleans up lives in the caller.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <csetjmp>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "library/core/alloc.h"
#include "library/core/size_refusal.h"
#include "library/file/stream.h"
#include "library/graph/graph_image.h"
#include "library/graph/loaders/decoder_input.h"
#include "library/graph/loaders/image_decoders.h"

#ifndef JCS_EXTENSIONS
#error "the JPEG decoder needs libjpeg's BGR output (JCS_EXT_BGR)"
#endif

namespace {

constexpr size_t kJpegBufferSize = 4096;
constexpr int kMaxJpegScans = 256;  // progressive files use a few dozen at most
constexpr int kRowsPerRead = 16;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;  // where JpegErrorExit returns to
};

struct JpegStreamSourceManager {
    jpeg_source_mgr pub;
    JOCTET* buffer;
    int startOfFile;
    StreamSource* source;
    int64_t remaining;  // bytes left in the stream
};

// Everything a long jump must find, owned by the caller of the jump point.
struct JpegDecodeState {
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    jpeg_progress_mgr progress;
    uint8_t* pixels;
    int result;  // -1 until the image is complete
};

// libjpeg's own messages would go to standard error: a file that is not a JPEG (the
// loader offers every file to each decoder in turn) or one cut short is the caller's
// to report, so they stay silent.
void JpegSilentMessage(j_common_ptr) {}

// libjpeg's own size limit (65500 a side) is a refusal for size like ours.
void JpegErrorExit(j_common_ptr cinfo) {
    if (cinfo->err->msg_code == JERR_IMAGE_TOO_BIG) {
        const j_decompress_ptr dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
        NoteSizeRefusal(dinfo->image_width, dinfo->image_height);
    }
    longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Ends the decode silently once a file declares more scans than any real one has.
void JpegLimitScans(j_common_ptr cinfo) {
    j_decompress_ptr dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number > kMaxJpegScans) {
        longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
    }
}

void JpegInitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegStreamSourceManager*>(cinfo->src)->startOfFile = 1;
}

boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
    JpegStreamSourceManager* src = reinterpret_cast<JpegStreamSourceManager*>(cinfo->src);
    size_t n = src->remaining < int64_t(kJpegBufferSize) ? size_t(src->remaining) : kJpegBufferSize;
    // Only the bytes that actually arrived count.
    if (n > 0) n = src->source->ops.read(src->buffer, 1, n, src->source->handle);
    src->remaining -= int64_t(n);
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = JOCTET(0xFF);
        src->buffer[1] = JOCTET(JPEG_EOI);
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = 0;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    if (count <= 0) return;
    while (count > long(src->bytes_in_buffer)) {
        count -= long(src->bytes_in_buffer);
        src->fill_input_buffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}

void JpegTermSource(j_decompress_ptr) {}

void SetJpegStreamSource(j_decompress_ptr cinfo, StreamSource* source) {
    if (cinfo->src == nullptr) {
        auto* src = static_cast<JpegStreamSourceManager*>(
            cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegStreamSourceManager)));
        src->buffer = static_cast<JOCTET*>(
            cinfo->mem->alloc_small(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kJpegBufferSize));
        cinfo->src = &src->pub;
    }
    JpegStreamSourceManager* src = reinterpret_cast<JpegStreamSourceManager*>(cinfo->src);
    src->pub.init_source = JpegInitSource;
    src->pub.fill_input_buffer = JpegFillInputBuffer;
    src->pub.skip_input_data = JpegSkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = JpegTermSource;
    src->source = source;
    src->remaining = StreamBytesLeft(source);
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
}

// Inverted CMYK rows, one at a time through libjpeg's row, into BGR rows.
void ReadCmykRows(j_decompress_ptr cinfo, uint8_t* pixels, size_t rowBytes) {
    JSAMPARRAY row = cinfo->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              cinfo->output_width * 4, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        uint8_t* out = pixels + rowBytes * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, row, 1);
        const uint8_t* in = row[0];
        for (JDIMENSION x = 0; x < cinfo->output_width; x++, in += 4, out += 3) {
            const unsigned k = in[3];
            out[0] = uint8_t((in[2] * k + 127) / 255);
            out[1] = uint8_t((in[1] * k + 127) / 255);
            out[2] = uint8_t((in[0] * k + 127) / 255);
        }
    }
}

// From the header to the last row. Returns -1 for files over the limits or of an
// unsupported component count; libjpeg's own errors long-jump out of here.
int ReadJpegImage(JpegDecodeState* state, StreamSource* source, GraphImage* out) {
    j_decompress_ptr cinfo = &state->cinfo;
    // Working memory beyond this would need a backing store, which fails cleanly.
    cinfo->mem->max_memory_to_use = long(2 * kMaxImageBytes);
    state->progress.progress_monitor = JpegLimitScans;
    cinfo->progress = &state->progress;
    const int64_t streamBytes = StreamBytesLeft(source);
    SetJpegStreamSource(cinfo, source);
    jpeg_read_header(cinfo, TRUE);
    if (cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(cinfo);

    const bool cmyk = cinfo->out_color_space == JCS_CMYK;
    const int components = cinfo->output_components;
    if (cmyk ? components != 4 : components != 1 && components != 3) return -1;
    const int64_t rowBytes = int64_t(cinfo->output_width) * (cmyk ? 3 : components);
    if (!IsImageSizeAllowed(cinfo->output_width, cinfo->output_height, rowBytes) ||
        !IsFillPlausible(rowBytes * cinfo->output_height, streamBytes)) {
        return -1;
    }
    jpeg_start_decompress(cinfo);

    state->pixels = static_cast<uint8_t*>(ZqAlloc(size_t(rowBytes) * cinfo->output_height));
    if (state->pixels == nullptr) return -1;
    if (cmyk) {
        ReadCmykRows(cinfo, state->pixels, size_t(rowBytes));
    } else {
        while (cinfo->output_scanline < cinfo->output_height) {
            JSAMPROW rows[kRowsPerRead];
            JDIMENSION first = cinfo->output_scanline, count = cinfo->output_height - first;
            if (count > kRowsPerRead) count = kRowsPerRead;
            for (JDIMENSION i = 0; i < count; i++) rows[i] = state->pixels + size_t(rowBytes) * (first + i);
            jpeg_read_scanlines(cinfo, rows, count);
        }
    }
    jpeg_finish_decompress(cinfo);

    if (components == 1) {
        InitGray8ColorFormat(&out->format);
    } else {
        InitRgb24ColorFormat(&out->format);
    }
    out->width = int(cinfo->output_width);
    out->height = int(cinfo->output_height);
    out->pitch = int(rowBytes);
    out->pixels = state->pixels;
    return 0;
}

// The jump point. Only `state` (the caller's) changes between setjmp and a jump.
int RunJpegDecode(JpegDecodeState* state, StreamSource* source, GraphImage* out) {
    if (setjmp(state->error.jump) == 0) {
        jpeg_create_decompress(&state->cinfo);
        state->result = ReadJpegImage(state, source, out);
    }
    if (state->result != 0) ZqFree(state->pixels);
    jpeg_destroy_decompress(&state->cinfo);
    return state->result;
}

}  // namespace

int DecodeJpegGraphImage(StreamSource* source, GraphImage* image) {
    JpegDecodeState state;
    std::memset(&state, 0, sizeof state);
    state.result = -1;
    state.cinfo.err = jpeg_std_error(&state.error.pub);
    state.error.pub.error_exit = JpegErrorExit;
    state.error.pub.output_message = JpegSilentMessage;
    GraphImage out{};
    if (RunJpegDecode(&state, source, &out) != 0) return -1;
    *image = out;
    return 0;
}
