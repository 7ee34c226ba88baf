// Helpers for the mask-screen and movie tests.
//
// MovieTest brings the game's screen up as the graph tests do (graph_test_support.h),
// with the clock standing still after start-up, so the stream time, the 18 ms rule and
// which frame is due change only when a test moves the clock. Movies come from the
// fake engine of the movie-stream layer (scripted frames, held updates, counters) or,
// for the end-to-end tests, from FFmpeg reading files the tests write.
#pragma once

#include <dirent.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "graph/graph_test_support.h"
#include "library/core/zqlib.h"
#include "library/display/present.h"
#include "library/graph/mask_screen.h"
#include "library/graph/movie.h"
#include "support/movie_files.h"

constexpr STREAM_TIME kFrameTime = 1000000;  // 100 ms per frame, in 100 ns units

class MovieTest : public GraphTest {
protected:
    void TearDown() override {
        GraphTest::TearDown();
        ResetMovieSeams();
    }

    void StartMovies(Output output = Output::Gdi, DesktopFormat desktop = DesktopFormat::Rgb565,
                     bool fakeEngine = true) {
        ResetMovieSeams();
        if (fakeEngine) UseFakeMovieEngine();
        // Temporary copies land in the test's own directory, where a test can see them
        // (the test program puts TMPDIR back before the next test).
        tempDir_ = dir_ + "/temp";
        ASSERT_EQ(0, system(("mkdir -p '" + tempDir_ + "'").c_str()));
        setenv("TMPDIR", tempDir_.c_str(), 1);
        Start(output, desktop);
        SetVirtualClockStep(0);
        SetVirtualClockMilliseconds(clockMs_);
    }

    // Moves the clock on (stream time runs with it while a movie plays).
    void Advance(DWORD milliseconds) {
        clockMs_ += milliseconds;
        SetVirtualClockMilliseconds(clockMs_);
    }

    // A movie of the fake engine under `name`; the file exists (so the loader tries it
    // as a movie) but holds nothing any image decoder takes.
    void AddMovie(const std::string& name, int frames, int width = 4, int height = 3) {
        WriteFile(name, "not an image at all");
        std::vector<std::vector<uint32_t>> all;
        for (int k = 0; k < frames; k++) all.push_back(FrameColours(k, width, height));
        AddFakeMovieFile(name.c_str(), width, height, kFrameTime, all);
    }

    // Frame k of the test movies as 0xRRGGBB values, row by row.
    static std::vector<uint32_t> FrameColours(int k, int width, int height) {
        std::vector<uint32_t> rgb;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) rgb.push_back(FramePixel(k, x, y));
        return rgb;
    }
    // Frame k of the graph's movie as the graph keeps it: as the movie layer writes it
    // into a sample surface of the movie's frame format, then as the graph's format
    // keeps that colour.
    static std::vector<uint32_t> FrameInGraph(int graph, int k) {
        const MovieRecord* movie = MovieOf(graph);
        const ColorFormat& f = movie->frameFormat;
        const DDPIXELFORMAT frame = PixelFormat(f.bitsPerPixel, f.redMask, f.greenMask, f.blueMask, f.alphaMask);
        std::vector<uint32_t> rgb;
        for (uint32_t raw : ExpectedFrame(k, movie->frameWidth, movie->frameHeight, frame)) {
            rgb.push_back(Quantized(GraphFormat(graph), Rgb(&f, raw)));
        }
        return rgb;
    }
    static const ColorFormat* GraphFormat(int graph) {
        const GraphRecord* record = GetGraphRecord(graph);
        const Surface2DRecord* piece = GetSurface2DRecord(record->pieces[0]);
        SurfaceDataRecord* data = GetSurfaceDataRecord(piece->surfaceData);
        if (data->surface == nullptr) return data->image.colorFormat;
        static ColorFormat format;
        DDPIXELFORMAT pixelFormat{};
        pixelFormat.dwSize = sizeof pixelFormat;
        IDirectDrawSurface7_GetPixelFormat(data->surface, &pixelFormat);
        InitColorFormatFromDDPixelFormat(&pixelFormat, &format);
        return &format;
    }

    static MovieRecord* MovieOf(int graph) { return GetMovieRecord(GetGraphRecord(graph)->movieHandle); }

    // The files in the temporary directory (the movie layer's copies).
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(tempDir_.c_str())) {
            while (dirent* e = readdir(d)) {
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            }
            closedir(d);
        }
        return names;
    }

    std::string LogSince(size_t mark) const { return MaskedLog().substr(mark); }

    std::string tempDir_;
    DWORD clockMs_ = 200000;
};
