// noise_image.h - software images filled with seeded noise, owned by a unique_ptr, for
// the rasteriser benchmarks.
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "library/softrender/memimg.h"

struct NoiseImageDeleter {
    void operator()(MEMIMG* m) const {
        ReleaseMemImg(m);
        delete m;
    }
};
using NoiseImage = std::unique_ptr<MEMIMG, NoiseImageDeleter>;

// A w x h image of the given format kind, every byte from a fixed-seed generator.
inline NoiseImage MakeNoiseImage(int kind, int w, int h) {
    NoiseImage image(new MEMIMG{});
    SetupMemImg(image.get(), w, h, -1, 0, kind, 0, 0, 0);
    std::mt19937 rng(5);
    for (int i = 0; i < image->pitch * h; i++) image->pixels[i] = uint8_t(rng());
    return image;
}
