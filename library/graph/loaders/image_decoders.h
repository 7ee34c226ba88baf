// image_decoders.h - the built-in image decoders of the loader chain.
//
// Each decoder reads one image from a stream source positioned at the start of the
// data and fills a GraphImage: rows top to bottom, pixels from the tracked allocator,
// the colour format describing them. It returns 0 when it took the data and -1 when
// the data is not its format or cannot be decoded; on -1 nothing stays allocated and
// the image record is left untouched. Decoders never log: the chain decides what to
// say. Every byte read is treated as hostile (see decoder_input.h for the limits).
#pragma once

struct StreamSource;
struct GraphImage;

int DecodeBmpGraphImage(StreamSource* source, GraphImage* image);
int DecodeJpegGraphImage(StreamSource* source, GraphImage* image);
int DecodePngGraphImage(StreamSource* source, GraphImage* image);
int DecodeBgraGraphImage(StreamSource* source, GraphImage* image);
int DecodeTgaGraphImage(StreamSource* source, GraphImage* image);
int DecodeDdsGraphImage(StreamSource* source, GraphImage* image);
