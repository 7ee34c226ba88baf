// The software blitters next to SDL2's software blitter and pixman on the same memory:
// a 32 x 32 sprite drawn 64 times over a 640 x 480 screen, a 150 x 200 block (the game's
// screen) and a 640 x 480 block, for each operation the blitters share with a peer.
// Counter "pix/s": destination pixels drawn per second. memcpy of the same bytes runs as
// its own row, so copies can be set against it.
//
// Run: bench_softrender_blit --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Names: operation/size/implementation ("ours", "ours-mmx" with the MMX flag set, "sdl",
// "sdl-rle", "pixman", "memcpy").
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/display/blend_tables.h"
#include "library/display/screen_state.h"
#include "library/graph/draw_state.h"
#include "library/softrender/blit.h"
#include "library/softrender/memimg.h"
#include "library/softrender/primitives.h"

#ifdef __has_include
#if __has_include(<pixman.h>)
#include <pixman.h>
#define ZQ_HAVE_PIXMAN 1
#endif
#endif

namespace {

struct Size {
    const char* name;
    int width, height;  // source block
    int destWidth, destHeight;
    int draws;  // draws per iteration
};
const Size kSizes[] = {{"32x32", 32, 32, 640, 480, 64}, {"150x200", 150, 200, 150, 200, 1}, {"640x480", 640, 480, 640, 480, 1}};

enum SourceLook { Opaque, Keyed, WithAlpha };

// A sprite-like picture: a disc on a key-coloured background, with an alpha ramp at its
// edge for alpha sources; colours are noise.
void Paint(uint8_t* pixels, int pitch, int w, int h, int bpp, SourceLook look, uint32_t key, bool alpha16) {
    std::mt19937 rng(9);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
            const double r = std::sqrt(dx * dx + dy * dy) * 2;  // 0 in the centre, 1 at the edge
            uint32_t v = uint32_t(rng());
            if (look == Keyed && r > 0.9) v = key;
            if (look == WithAlpha) {
                const uint32_t a = r > 1.0 ? 0 : r < 0.8 ? 255 : uint32_t((1.0 - r) / 0.2 * 255);
                v = alpha16 ? (v & 0xFFFF) | a << 16 : (v & 0xFFFFFF) | a << 24;
            }
            std::memcpy(pixels + size_t(y) * pitch + size_t(x) * bpp, &v, size_t(bpp));
        }
    }
}

struct ImageDeleter {
    void operator()(MEMIMG* m) const {
        ReleaseMemImg(m);
        delete m;
    }
};
using Image = std::unique_ptr<MEMIMG, ImageDeleter>;

Image MakeImage(int kind, int w, int h, int alpha, int extras, SourceLook look, uint32_t key) {
    Image image(new MEMIMG{});
    SetupMemImg(image.get(), w, h, -1, key, kind, 0, alpha, extras);
    Paint(image->pixels, image->pitch, w, h, MemImgBytesPerPixel(image.get()), look, key,
          kind == MemImgFormat16 && alpha);
    if (extras) BuildMemImgRunStream(image.get());
    return image;
}

SDL_Surface* WrapSdl(const MEMIMG* image, Uint32 format) {
    return SDL_CreateRGBSurfaceWithFormatFrom(image->pixels, image->width, image->height,
                                              SDL_BITSPERPIXEL(format), image->pitch, format);
}

// The draw state of one operation.
struct Blend {
    int mode = BlendNone, p = 0;
    uint32_t brightness = 0xFFFFFF;
    int mmx = 0;
    void Apply() const {
        g_DrawState.blendMode = mode;
        g_DrawState.blendParam = p;
        g_DrawState.brightness = brightness;
        g_Screen.SoftRenderUseMMX = mmx;
    }
};

// One operation at one size: the images and the draw positions.
struct Scene {
    Size size;
    Image source, dest;
    std::vector<std::pair<int, int>> at;
    Scene(const Size& s, int kind, int alpha, int extras, SourceLook look, uint32_t key) : size(s) {
        source = MakeImage(kind, s.width, s.height, alpha, extras, look, key);
        dest = MakeImage(kind, s.destWidth, s.destHeight, 0, 0, Opaque, 0);
        std::mt19937 rng(2);
        for (int i = 0; i < s.draws; i++)
            at.push_back(s.draws == 1 ? std::make_pair(0, 0)
                                      : std::make_pair(int(rng() % uint32_t(s.destWidth - s.width)),
                                                       int(rng() % uint32_t(s.destHeight - s.height))));
    }
    int64_t PixelsPerIteration() const { return int64_t(size.width) * size.height * size.draws; }
};

std::vector<std::unique_ptr<Scene>> g_Scenes;
std::vector<SDL_Surface*> g_SdlSurfaces;

void Register(const std::string& name, Scene* scene, std::function<void(Scene&)> drawAll) {
    benchmark::RegisterBenchmark(name.c_str(), [scene, drawAll](benchmark::State& state) {
        g_DrawState.clipRect = RECT{0, 0, scene->size.destWidth, scene->size.destHeight};
        for (auto _ : state) {
            drawAll(*scene);
            benchmark::ClobberMemory();
        }
        state.counters["pix/s"] = benchmark::Counter(double(state.iterations() * scene->PixelsPerIteration()),
                                                     benchmark::Counter::kIsRate);
    });
}

Scene* NewScene(const Size& s, int kind, int alpha, int extras, SourceLook look, uint32_t key = 0) {
    g_Scenes.push_back(std::make_unique<Scene>(s, kind, alpha, extras, look, key));
    return g_Scenes.back().get();
}

// Ours: the 1:1 blitter under the blend settings.
void RegisterOurs(const std::string& name, Scene* scene, Blend blend, int transparent) {
    Register(name, scene, [blend, transparent](Scene& s) {
        blend.Apply();
        for (auto [x, y] : s.at) DrawImageOnMemImg(s.dest.get(), s.source.get(), x, y, transparent, nullptr);
    });
}

// SDL: a blit of surfaces that wrap the scene's images (or a source of its own).
void RegisterSdl(const std::string& name, Scene* scene, SDL_Surface* source, SDL_Surface* dest) {
    g_SdlSurfaces.push_back(source);
    g_SdlSurfaces.push_back(dest);
    Register(name, scene, [source, dest](Scene& s) {
        for (auto [x, y] : s.at) {
            SDL_Rect to{x, y, s.size.width, s.size.height};
            SDL_BlitSurface(source, nullptr, dest, &to);
        }
    });
}

#ifdef ZQ_HAVE_PIXMAN
pixman_image_t* WrapPixman(const MEMIMG* image, pixman_format_code_t format) {
    return pixman_image_create_bits(format, image->width, image->height, reinterpret_cast<uint32_t*>(image->pixels),
                                    image->pitch);
}
void RegisterPixman(const std::string& name, Scene* scene, pixman_op_t op, pixman_image_t* source,
                    pixman_image_t* mask, pixman_image_t* dest) {
    Register(name, scene, [op, source, mask, dest](Scene& s) {
        for (auto [x, y] : s.at)
            pixman_image_composite32(op, source, mask, dest, 0, 0, 0, 0, x, y, s.size.width, s.size.height);
    });
}
pixman_image_t* SolidMask(uint16_t alpha) {
    const pixman_color_t c{alpha, alpha, alpha, alpha};
    return pixman_image_create_solid_fill(&c);
}
#endif

std::string Name(const char* op, const Size& s, const char* who) { return std::string(op) + "/" + s.name + "/" + who; }

// ---- Operations ----

void OpaqueCopies() {
    for (const Size& s : kSizes) {
        for (int kind : {MemImgFormat16, MemImgFormat32}) {
            const char* op = kind == MemImgFormat16 ? "copy565" : "copy8888";
            Scene* scene = NewScene(s, kind, 0, 0, Opaque);
            RegisterOurs(Name(op, s, "ours"), scene, Blend{}, 0);
            const Uint32 sdlFormat = kind == MemImgFormat16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
            RegisterSdl(Name(op, s, "sdl"), scene, WrapSdl(scene->source.get(), sdlFormat),
                        WrapSdl(scene->dest.get(), sdlFormat));
#ifdef ZQ_HAVE_PIXMAN
            const pixman_format_code_t px = kind == MemImgFormat16 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8;
            RegisterPixman(Name(op, s, "pixman"), scene, PIXMAN_OP_SRC, WrapPixman(scene->source.get(), px), nullptr,
                           WrapPixman(scene->dest.get(), px));
#endif
            // memcpy of the same rows.
            Register(Name(op, s, "memcpy"), scene, [](Scene& sc) {
                const size_t row = size_t(sc.size.width) * MemImgBytesPerPixel(sc.source.get());
                for (auto [x, y] : sc.at)
                    for (int r = 0; r < sc.size.height; r++)
                        std::memcpy(MemImgPixelAddress(sc.dest.get(), x, y + r),
                                    MemImgPixelAddress(sc.source.get(), 0, r), row);
            });
        }
    }
}

void KeyedCopies() {
    const uint32_t key = 0xF81F;
    for (const Size& s : kSizes) {
        Scene* plain = NewScene(s, MemImgFormat16, 0, 0, Keyed, key);
        RegisterOurs(Name("keyed565", s, "ours"), plain, Blend{}, 1);
        Scene* runs = NewScene(s, MemImgFormat16, 0, 1, Keyed, key);
        RegisterOurs(Name("keyed565", s, "ours-runs"), runs, Blend{}, 1);
        SDL_Surface* source = WrapSdl(plain->source.get(), SDL_PIXELFORMAT_RGB565);
        SDL_SetColorKey(source, SDL_TRUE, key);
        RegisterSdl(Name("keyed565", s, "sdl"), plain, source, WrapSdl(plain->dest.get(), SDL_PIXELFORMAT_RGB565));
        SDL_Surface* rle = WrapSdl(runs->source.get(), SDL_PIXELFORMAT_RGB565);
        SDL_SetColorKey(rle, SDL_TRUE, key);
        SDL_SetSurfaceRLE(rle, 1);
        RegisterSdl(Name("keyed565", s, "sdl-rle"), runs, rle, WrapSdl(runs->dest.get(), SDL_PIXELFORMAT_RGB565));
    }
}

// Source alpha: ARGB8888 onto XRGB8888, and our 16-bit alpha format onto RGB565 (the
// peers read the ARGB8888 source there).
void SourceAlpha() {
    struct Target {
        const char* op;
        int kind;
        Uint32 sdlFormat;
        int pixmanFormat;
    };
#ifndef ZQ_HAVE_PIXMAN
    enum { PIXMAN_x8r8g8b8, PIXMAN_r5g6b5 };
#endif
    const Target targets[] = {{"alpha8888", MemImgFormat32, SDL_PIXELFORMAT_XRGB8888, PIXMAN_x8r8g8b8},
                              {"alpha565", MemImgFormat16, SDL_PIXELFORMAT_RGB565, PIXMAN_r5g6b5}};
    for (const Size& s : kSizes) {
        Scene* argb = NewScene(s, MemImgFormat32, 1, 0, WithAlpha);
        for (const Target& t : targets) {
            Scene* scene = t.kind == MemImgFormat32 ? argb : NewScene(s, t.kind, 1, 0, WithAlpha);
            RegisterOurs(Name(t.op, s, "ours"), scene, Blend{}, 1);
            RegisterSdl(Name(t.op, s, "sdl"), scene, WrapSdl(argb->source.get(), SDL_PIXELFORMAT_ARGB8888),
                        WrapSdl(scene->dest.get(), t.sdlFormat));
#ifdef ZQ_HAVE_PIXMAN
            RegisterPixman(Name(t.op, s, "pixman"), scene, PIXMAN_OP_OVER,
                           WrapPixman(argb->source.get(), PIXMAN_a8r8g8b8), nullptr,
                           WrapPixman(scene->dest.get(), pixman_format_code_t(t.pixmanFormat)));
#endif
        }
    }
}

void ConstantAlpha() {
    for (const Size& s : kSizes) {
        for (int p : {128, 77}) {
            const std::string op = "const-alpha" + std::to_string(p) + "-565";
            Scene* scene = NewScene(s, MemImgFormat16, 0, 0, Opaque);
            RegisterOurs(Name(op.c_str(), s, "ours"), scene, Blend{BlendAlpha, p}, 0);
            SDL_Surface* source = WrapSdl(scene->source.get(), SDL_PIXELFORMAT_RGB565);
            SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_BLEND);
            SDL_SetSurfaceAlphaMod(source, Uint8(p));
            RegisterSdl(Name(op.c_str(), s, "sdl"), scene, source, WrapSdl(scene->dest.get(), SDL_PIXELFORMAT_RGB565));
#ifdef ZQ_HAVE_PIXMAN
            RegisterPixman(Name(op.c_str(), s, "pixman"), scene, PIXMAN_OP_OVER,
                           WrapPixman(scene->source.get(), PIXMAN_r5g6b5), SolidMask(uint16_t(p * 257)),
                           WrapPixman(scene->dest.get(), PIXMAN_r5g6b5));
#endif
        }
    }
}

// Add 255, multiply, subtract and brightness, 32- and 16-bit.
void ChannelModes() {
    struct Mode {
        const char* op;
        int kind;
        Blend blend;
        SDL_BlendMode sdl;
        bool colorMod;
        int pixmanOp;  // -1: no peer
        bool mmxToo;
    } modes[] = {
        {"add255-8888", MemImgFormat32, {BlendAdd, 255}, SDL_BLENDMODE_ADD, false, PIXMAN_OP_ADD, true},
        {"add255-565", MemImgFormat16, {BlendAdd, 255}, SDL_BLENDMODE_ADD, false, PIXMAN_OP_ADD, false},
        {"sub255-8888", MemImgFormat32, {BlendSubtract, 255}, SDL_BLENDMODE_INVALID, false, -1, true},
        {"multiply-8888", MemImgFormat32, {BlendMultiply, 0}, SDL_BLENDMODE_MOD, false, PIXMAN_OP_MULTIPLY, false},
        {"multiply-565", MemImgFormat16, {BlendMultiply, 0}, SDL_BLENDMODE_MOD, false, -1, false},
        {"bright-8888", MemImgFormat32, {BlendNone, 0, 0x80C0FF}, SDL_BLENDMODE_NONE, true, PIXMAN_OP_SRC, false},
        {"bright-565", MemImgFormat16, {BlendNone, 0, 0x80C0FF}, SDL_BLENDMODE_NONE, true, -1, false},
    };
    for (const Size& s : kSizes) {
        for (const Mode& m : modes) {
            Scene* scene = NewScene(s, m.kind, 0, 0, Opaque);
            RegisterOurs(Name(m.op, s, "ours"), scene, m.blend, 0);
            if (m.mmxToo) {
                Blend mmx = m.blend;
                mmx.mmx = 1;
                RegisterOurs(Name(m.op, s, "ours-mmx"), scene, mmx, 0);
            }
            const Uint32 format = m.kind == MemImgFormat16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_XRGB8888;
            if (m.sdl != SDL_BLENDMODE_INVALID) {
                SDL_Surface* source = WrapSdl(scene->source.get(), format);
                SDL_SetSurfaceBlendMode(source, m.sdl);
                if (m.colorMod) SDL_SetSurfaceColorMod(source, 0x80, 0xC0, 0xFF);
                RegisterSdl(Name(m.op, s, "sdl"), scene, source, WrapSdl(scene->dest.get(), format));
            }
#ifdef ZQ_HAVE_PIXMAN
            if (m.pixmanOp >= 0) {
                const pixman_format_code_t px = m.kind == MemImgFormat16 ? PIXMAN_r5g6b5 : PIXMAN_a8r8g8b8;
                pixman_image_t* mask = nullptr;
                if (m.colorMod) {  // brightness as a component-alpha solid mask
                    const pixman_color_t c{0x8080, 0xC0C0, 0xFFFF, 0xFFFF};
                    mask = pixman_image_create_solid_fill(&c);
                    pixman_image_set_component_alpha(mask, 1);
                }
                RegisterPixman(Name(m.op, s, "pixman"), scene, pixman_op_t(m.pixmanOp),
                               WrapPixman(scene->source.get(), px), mask, WrapPixman(scene->dest.get(), px));
            }
#endif
        }
    }
}

// Scaled nearest (a source of half the size, twice enlarged; counted in destination
// pixels) and 1:1 mirrored.
void ScaledAndMirrored() {
    for (const Size& s : kSizes) {
        Scene* big = NewScene(s, MemImgFormat16, 0, 0, Opaque);
        big->source = MakeImage(MemImgFormat16, s.width / 2, s.height / 2, 0, 0, Opaque, 0);
        Register(Name("scaled2x-565", s, "ours"), big, [](Scene& sc) {
            Blend{}.Apply();
            for (auto [x, y] : sc.at) {
                const RECT rect{x, y, x + sc.size.width, y + sc.size.height};
                DrawStretchedImageOnMemImg(sc.dest.get(), sc.source.get(), &rect, 0, nullptr);
            }
        });
        SDL_Surface* sdlSource = WrapSdl(big->source.get(), SDL_PIXELFORMAT_RGB565);
        SDL_Surface* sdlDest = WrapSdl(big->dest.get(), SDL_PIXELFORMAT_RGB565);
        g_SdlSurfaces.push_back(sdlSource);
        g_SdlSurfaces.push_back(sdlDest);
        Register(Name("scaled2x-565", s, "sdl"), big, [sdlSource, sdlDest](Scene& sc) {
            for (auto [x, y] : sc.at) {
                SDL_Rect to{x, y, sc.size.width, sc.size.height};
                SDL_BlitScaled(sdlSource, nullptr, sdlDest, &to);
            }
        });
#ifdef ZQ_HAVE_PIXMAN
        pixman_image_t* pxSource = WrapPixman(big->source.get(), PIXMAN_r5g6b5);
        pixman_transform_t scale;
        pixman_transform_init_scale(&scale, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
        pixman_image_set_transform(pxSource, &scale);
        pixman_image_set_filter(pxSource, PIXMAN_FILTER_NEAREST, nullptr, 0);
        RegisterPixman(Name("scaled2x-565", s, "pixman"), big, PIXMAN_OP_SRC, pxSource, nullptr,
                       WrapPixman(big->dest.get(), PIXMAN_r5g6b5));
#endif
        // Mirrored at 1:1 (the game's enemies), opaque and keyed; SDL cannot mirror.
        Scene* mirrored = NewScene(s, MemImgFormat16, 0, 0, Keyed, 0xF81F);
        for (int transparent = 0; transparent < 2; transparent++) {
            Register(Name(transparent ? "mirror-keyed565" : "mirror-565", s, "ours"), mirrored, [transparent](Scene& sc) {
                Blend{}.Apply();
                for (auto [x, y] : sc.at) {
                    const RECT rect{x + sc.size.width, y, x, y + sc.size.height};
                    DrawStretchedImageOnMemImg(sc.dest.get(), sc.source.get(), &rect, transparent, nullptr);
                }
            });
        }
#ifdef ZQ_HAVE_PIXMAN
        pixman_image_t* flipSource = WrapPixman(mirrored->source.get(), PIXMAN_r5g6b5);
        const pixman_transform_t flip{{{-pixman_fixed_1, 0, pixman_int_to_fixed(s.width)},
                                       {0, pixman_fixed_1, 0},
                                       {0, 0, pixman_fixed_1}}};
        pixman_image_set_transform(flipSource, &flip);
        pixman_image_set_filter(flipSource, PIXMAN_FILTER_NEAREST, nullptr, 0);
        RegisterPixman(Name("mirror-565", s, "pixman"), mirrored, PIXMAN_OP_SRC, flipSource, nullptr,
                       WrapPixman(mirrored->dest.get(), PIXMAN_r5g6b5));
#endif
    }
}

void BoxFill() {
    for (const Size& s : kSizes) {
        Scene* scene = NewScene(s, MemImgFormat16, 0, 0, Opaque);
        Register(Name("fill565", s, "ours"), scene, [](Scene& sc) {
            Blend{}.Apply();
            for (auto [x, y] : sc.at)
                FillMemImgBoxBlend(sc.dest.get(), x, y, x + sc.size.width, y + sc.size.height, 0x1234);
        });
        SDL_Surface* dest = WrapSdl(scene->dest.get(), SDL_PIXELFORMAT_RGB565);
        g_SdlSurfaces.push_back(dest);
        Register(Name("fill565", s, "sdl"), scene, [dest](Scene& sc) {
            for (auto [x, y] : sc.at) {
                SDL_Rect r{x, y, sc.size.width, sc.size.height};
                SDL_FillRect(dest, &r, 0x1234);
            }
        });
#ifdef ZQ_HAVE_PIXMAN
        Register(Name("fill565", s, "pixman"), scene, [](Scene& sc) {
            for (auto [x, y] : sc.at)
                pixman_fill(reinterpret_cast<uint32_t*>(sc.dest->pixels), sc.dest->pitch / 4, 16, x, y, sc.size.width,
                            sc.size.height, 0x1234);
        });
#endif
    }
}

// The game's frame on its 150 x 200 RGB565 screen: three boxes, 40 keyed sprites of
// 16 x 16 (half of them mirrored) and 10 digits of 8 x 12 drawn through a narrowed clip.
void GameFrame() {
    static Size frameSize{"frame", 150, 200, 150, 200, 1};
    Scene* scene = NewScene(frameSize, MemImgFormat16, 0, 0, Opaque);
    static Image sprite = MakeImage(MemImgFormat16, 16, 16, 0, 1, Keyed, 0xF81F);
    static Image digits = MakeImage(MemImgFormat16, 80, 12, 0, 1, Keyed, 0xF81F);
    Register("game-frame/150x200/ours", scene, [](Scene& sc) {
        Blend{}.Apply();
        MEMIMG* screen = sc.dest.get();
        g_DrawState.clipRect = RECT{0, 0, 150, 200};
        FillMemImgRectRaw(screen, nullptr, 0);
        FillMemImgBoxBlend(screen, 0, 0, 150, 60, 0x001F);
        FillMemImgBoxBlend(screen, 0, 60, 150, 140, 0x0010);
        FillMemImgBoxBlend(screen, 0, 140, 150, 200, 0x0008);
        for (int i = 0; i < 40; i++) {
            const int x = (i * 37) % 134, y = (i * 53) % 184;
            if (i % 2) {
                const RECT r{x + 16, y, x, y + 16};
                DrawStretchedImageOnMemImg(screen, sprite.get(), &r, 1, nullptr);
            } else {
                DrawImageOnMemImg(screen, sprite.get(), x, y, 1, nullptr);
            }
        }
        for (int i = 0; i < 10; i++) {
            g_DrawState.clipRect = RECT{4 + 8 * i, 4, 12 + 8 * i, 16};
            const int digit = (i * 3) % 10;
            DrawImageOnMemImg(screen, digits.get(), 4 + 8 * i - 8 * digit, 4, 1, nullptr);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    BuildBlendTables();
    OpaqueCopies();
    KeyedCopies();
    SourceAlpha();
    ConstantAlpha();
    ChannelModes();
    ScaledAndMirrored();
    BoxFill();
    GameFrame();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (SDL_Surface* s : g_SdlSurfaces) SDL_FreeSurface(s);
    g_Scenes.clear();
    return 0;
}
