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

// Width and height run from 1 to kMaxImageSide; the decoded pixels (and any
// intermediate buffer sized from the header) hold at most kMaxImageBytes.
constexpr int kMaxImageSide = 32767;
constexpr int64_t kMaxImageBytes = int64_t(1) << 27;  // 128 MiB, e.g. 8192 x 4096 x 4

// 1 when a width x height image of bytesPerRow bytes per row fits the limits.
int IsImageSizeAllowed(int64_t width, int64_t height, int64_t bytesPerRow);

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
