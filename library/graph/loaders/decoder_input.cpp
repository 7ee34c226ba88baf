// decoder_input.cpp - size limits and bounded stream reads for the image decoders.
#include "library/graph/loaders/decoder_input.h"

#include "library/core/size_refusal.h"
#include "library/file/stream.h"

int IsImageSizeAllowed(int64_t width, int64_t height, int64_t bytesPerRow) {
    if (width < 1 || height < 1 || bytesPerRow < 1) return 0;
    if (width > kMaxImageSide || height > kMaxImageSide || bytesPerRow > kMaxImageBytes ||
        bytesPerRow * height > kMaxImageBytes || width * height > kMaxImagePixels) {
        NoteSizeRefusal(width, height);
        return 0;
    }
    return 1;
}

int IsFillPlausible(int64_t decodedBytes, int64_t streamBytes) {
    return decodedBytes <= kMaxUncheckedFillBytes || decodedBytes / kMaxFillRatio <= streamBytes;
}

int64_t StreamBytesLeft(StreamSource* source) {
    int64_t position = source->ops.tell(source->handle);
    source->ops.seek(source->handle, 0, 2);
    int64_t end = source->ops.tell(source->handle);
    source->ops.seek(source->handle, position, 0);
    return end > position ? end - position : 0;
}

int ReadStreamBytes(StreamSource* source, void* buffer, size_t size) {
    if (size == 0) return 0;
    // One-byte elements: the count returned is the number of bytes delivered,
    // whatever the stream does with partial elements.
    return source->ops.read(buffer, 1, size, source->handle) == size ? 0 : -1;
}

void SeekStreamTo(StreamSource* source, int64_t offset) { source->ops.seek(source->handle, offset, 0); }
