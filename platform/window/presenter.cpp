// presenter.cpp - the desktop's client rectangles into SDL windows.
#include "platform/window/presenter.h"

#include <SDL.h>

#include <vector>

#include "platform/window/desktop.h"

struct DesktopPresenter {
    SDL_Window* window;
    SDL_Renderer* renderer;
    SDL_Texture* texture;
    int textureWidth;
    int textureHeight;
    Uint32 textureFormat;
    std::vector<uint32_t> expanded; // an 8-bit desktop's rectangle through its palette
};

namespace {

Uint32 SdlFormatOf(const PixelLayout& layout) {
    if (layout.indexed) return SDL_PIXELFORMAT_RGB888;                // expanded to XRGB8888
    if (layout.bytesPerPixel == 2) return layout.greenMask == 0x07E0u ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB555;
    if (layout.bytesPerPixel == 3) return SDL_PIXELFORMAT_BGR24; // bytes blue, green, red
    return SDL_PIXELFORMAT_RGB888;                                // XRGB8888
}

} // namespace

DesktopPresenter* CreateDesktopPresenter(SDL_Window* window) {
    if (!window) return nullptr;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) return nullptr;
    return new DesktopPresenter{window, renderer, nullptr, 0, 0, 0, {}};
}

void DestroyDesktopPresenter(DesktopPresenter* presenter) {
    if (!presenter) return;
    if (presenter->texture) SDL_DestroyTexture(presenter->texture);
    SDL_DestroyRenderer(presenter->renderer);
    delete presenter;
}

int PresentDesktopRect(DesktopPresenter* presenter, const RECT& source) {
    if (!presenter) return -1;
    PixelView desktop = DesktopView();
    RECT r = IntersectRects(source, ViewBounds(desktop));
    if (IsRectEmpty(r)) return 0;
    int w = r.right - r.left, h = r.bottom - r.top;
    Uint32 format = SdlFormatOf(desktop.layout);
    if (!presenter->texture || presenter->textureWidth != w || presenter->textureHeight != h ||
        presenter->textureFormat != format) {
        if (presenter->texture) SDL_DestroyTexture(presenter->texture);
        presenter->texture = SDL_CreateTexture(presenter->renderer, format, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!presenter->texture) return -1;
        SDL_SetTextureScaleMode(presenter->texture, SDL_ScaleModeNearest);
        presenter->textureWidth = w;
        presenter->textureHeight = h;
        presenter->textureFormat = format;
        SDL_RenderSetLogicalSize(presenter->renderer, w, h);
    }
    const void* pixels = PixelAt(desktop, r.left, r.top);
    int pitch = desktop.pitch;
    if (desktop.layout.indexed) {
        // Indices are shown through the palette the display has now.
        presenter->expanded.resize(static_cast<size_t>(w) * h);
        const PixelView rgb{reinterpret_cast<uint8_t*>(presenter->expanded.data()), w * 4, w, h, LayoutXrgb8888(),
                            nullptr};
        CopyPixels(rgb, 0, 0, desktop, r);
        pixels = presenter->expanded.data();
        pitch = w * 4;
    }
    if (SDL_UpdateTexture(presenter->texture, nullptr, pixels, pitch) != 0) return -1;
    SDL_SetRenderDrawColor(presenter->renderer, 0, 0, 0, 255);
    SDL_RenderClear(presenter->renderer);
    if (SDL_RenderCopy(presenter->renderer, presenter->texture, nullptr, nullptr) != 0) return -1;
    SDL_RenderPresent(presenter->renderer);
    return 0;
}
