// graph_loader.h - image files into decoded images and graphs.
//
// The loader chain tries each built-in decoder in turn (BMP, JPEG, PNG, "BGRA", TGA,
// DDS), rewinding the stream to its start before each. The decoder front end opens a
// file through the file-operation table, or a memory stream, runs the chain and can
// mirror the image or turn it into the bitmap form. An image may come with an alpha
// image "<name>_a<ext>"; a missing one is not an error.
//
//     int sheet = LoadGraphFromFile("image01.png", 1);
//     int cells[10];
//     LoadDividedGraphFromFile("bakuhatu5.png", 10, 10, 1, 32, 32, cells, 1);
//
// Every stream a call opens is closed and every image it decoded is freed, whatever
// the outcome.
#pragma once

#include <cstddef>

#include "library/graph/graph_create.h"
#include "library/graph/graph_image.h"

struct StreamSource;

using GraphImageLoader = int (*)(StreamSource* source, GraphImage* image);
extern const GraphImageLoader GraphImageLoaderTable[];  // ended by a null entry

int RunGraphImageLoaders(StreamSource* source, GraphImage* image);  // 0, -1 when none took it

// BMP-output flag set: *bmpHeader receives a tracked BmpInfoBlock and *bmpBits the
// pixels (both the caller's to free); otherwise *image receives the decoded image.
int DecodeImageData(const char* fileName, const void* memory, int memorySize, int fromMemory, int bmpOutput,
                    int mirror, GraphImage* image, BmpInfoBlock** bmpHeader, void** bmpBits);
int DecodeImageToGraphImage(const char* fileName, const void* memory, int memorySize, int fromMemory,
                            GraphImage* image, int mirror);
// -1 main image failed; 0 both decoded; 1 only the main image.
int DecodeImageWithAlphaFile(const char* fileName, const void* memory, int memorySize, int fromMemory,
                             const void* alphaMemory, int alphaMemorySize, int alphaFromMemory, GraphImage* image,
                             GraphImage* alphaImage, int mirror);
// The alpha image's name: "_a" before the last "." of the whole name, or at its end.
// 0, or -1 when it does not fit the buffer.
enum { AlphaFileNameCapacity = 264 };
int BuildAlphaFileName(const char* fileName, char* out, size_t capacity);

int LoadGraphFromFile(const char* fileName, int hardwareRequest);
int LoadDividedGraphFromFile(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int hardwareRequest);
int LoadImageToGraphCore(const char* fileName, int not3D);
int LoadImageToDivGraphsCore(const char* fileName, int count, int across, int down, int cellWidth, int cellHeight,
                             int* handles, int not3D);
