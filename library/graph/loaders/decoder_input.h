// decoder_input.h - what every image decoder shares: the size limit and bounded reads.
//
// Image files are hostile. Before a decoder allocates anything it checks the size
// the file declares against one limit, and it reads only through these helpers,
// which count the bytes actually delivered, so a short or lying stream is refused
// instead of decoded from stale memory.
#pragma once

#include <cstddef>
#include <cstdint>

struct StreamSource;

// Width and height run from 1 to kMaxImageSide, the longest side a graph holds;
// the decoded pixels (and any intermediate buffer sized from the header) hold at
// most kMaxImageBytes, and so does the image once a graph keeps it at 4 bytes a
// pixel, the widest format of a graph: every image a decoder accepts fits a surface
// or a software image, whatever its own bytes per pixel.
constexpr int kMaxImageSide = 65535;
constexpr int64_t kMaxImageBytes = int64_t(1) << 30;  // 1 GiB, e.g. 16384 x 16384 x 4
constexpr int64_t kMaxImagePixels = kMaxImageBytes / 4;

// Decoders that fill their whole output whatever the data holds (JPEG completes a
// cut stream, run-length BMP skips over pixels) believe a header's size beyond
// kMaxUncheckedFillBytes only from a stream of at least one byte per
// kMaxFillRatio decoded bytes, more than any real file of that size packs; so a
// few hostile bytes cannot make them fill a gigabyte.
constexpr int64_t kMaxUncheckedFillBytes = int64_t(1) << 27;
constexpr int64_t kMaxFillRatio = 2048;

// 1 when a width x height image of bytesPerRow bytes per row fits the limits. A size
// beyond them is noted as refused (size_refusal.h), so the loader can say the file
// is too large; sides below 1 are malformed, not large, and are refused silently.
int IsImageSizeAllowed(int64_t width, int64_t height, int64_t bytesPerRow);

// 1 when a stream of streamBytes can stand for decodedBytes of filled output.
int IsFillPlausible(int64_t decodedBytes, int64_t streamBytes);

// Bytes from the current position to the end of the stream (the position is kept).
int64_t StreamBytesLeft(StreamSource* source);

// Reads exactly `size` bytes: 0 when all of them arrived, -1 otherwise.
int ReadStreamBytes(StreamSource* source, void* buffer, size_t size);

// Seeks to an absolute offset from the start of the stream.
void SeekStreamTo(StreamSource* source, int64_t offset);

inline uint16_t ReadLe16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}
