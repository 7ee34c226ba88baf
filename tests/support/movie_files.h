// movie_files.h - small movie and non-movie files written by the tests at run time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/movies/dshow.h"

// The colour of pixel (x, y) of frame k in every test movie, as 0x00RRGGBB.
uint32_t FramePixel(int frame, int x, int y);

struct AviLayout {
    int width = 5;          // 5 * 3 bytes: rows padded to 16 bytes in the file
    int height = 3;
    int frames = 4;
    int framesPerSecond = 10;
    int audioRate = 0;      // 0: no audio track; else mono 16-bit PCM of the movie's length
    int storedWidth = -1;   // width written into the headers (-1: width)
    int storedHeight = -1;
    size_t fileBytes = 0;   // 0: as written; else a JUNK chunk pads the file to this size
};

// Writes an uncompressed AVI: bottom-up BGR24 frames with rows padded to 4 bytes.
bool WriteRawAvi(const std::string& path, const AviLayout& layout);
// Writes a Matroska file with lossless FFV1 frames (through libavformat and libavcodec).
bool WriteFfv1Matroska(const std::string& path, int width, int height, int frames, int framesPerSecond);

// A movie encoded through libavcodec and interleaved by libavformat's muxer, the way
// the usual tools write such files (an MPEG program stream or an Ogg file puts its
// sound later in the file than the pictures it goes with).
struct EncodedMovieSettings {
    const char* container = "matroska";   // libavformat muxer name
    const char* videoEncoder = "ffv1";     // libavcodec encoder names
    const char* audioEncoder = nullptr;    // none: no sound track
    int width = 16;
    int height = 16;
    int frames = 1;
    int framesPerSecond = 25;
    int64_t videoBitRate = 0;              // 0: the encoder's default
    int audioRate = 44100;                 // stereo, a 440 Hz tone
};
bool WriteEncodedMovie(const std::string& path, const EncodedMovieSettings& settings);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// A PNG signature and header chunk followed by damaged data.
std::vector<uint8_t> CorruptPngBytes();
// Bytes from a fixed-seed generator.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

// Frame k of the test movies as it should read in a surface of the given format: each
// pixel as the layer's pixel converter writes an opaque colour.
std::vector<uint32_t> ExpectedFrame(int frame, int width, int height, const DDPIXELFORMAT& format);

// XRGB8888, BGR24 and RGB565 pixel formats for sample surfaces.
DDPIXELFORMAT PixelFormat(DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a = 0);
