// window_present.cpp - the window group shows the virtual desktop in its SDL windows.
//
// Each top-level SDL window gets a presenter (presenter.h). The desktop (desktop.h)
// learns where a window's client area lies from the window records (the layer's
// frames are empty, so a window's rectangle is its client area, in desktop
// coordinates), and every present reaches the windows whose client area it touches:
// the client rectangle of each, or the whole desktop while a full-screen display mode
// is in force. A display-mode change is announced to every top-level window with
// WM_DISPLAYCHANGE. Presenters live on the SDL thread; presents from other threads are not
// shown (the library presents from its main thread, which is the SDL thread).
#include <map>
#include <vector>

#include "platform/window/desktop.h"
#include "platform/pixels.h"
#include "platform/window/presenter.h"
#include "platform/window/window_internal.h"

namespace {

std::map<SDL_Window*, DesktopPresenter*>& Presenters() {
    static auto* presenters = new std::map<SDL_Window*, DesktopPresenter*>();  // SDL thread only
    return *presenters;
}

bool LocateClient(HWND window, RECT* clientOnDesktop) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    const WindowRecord* rec = FindWindowRecord(window);
    if (rec == nullptr) return false;
    *clientOnDesktop = rec->rect;
    return true;
}

void PresentToWindows(const RECT& changed) {
    if (!OnSdlThread()) return;
    struct Target {
        DesktopPresenter* presenter;
        RECT source;
    };
    std::vector<Target> targets;
    const bool fullScreen = DesktopHasModeInForce();
    const RECT desktop{0, 0, DesktopWidth(), DesktopHeight()};
    {
        std::lock_guard<std::mutex> lock(Windows().mutex);
        for (auto& entry : Windows().windows) {
            const WindowRecord& rec = *entry.second;
            if (rec.parent != nullptr || rec.sdl == nullptr || !rec.visible) continue;
            auto found = Presenters().find(rec.sdl);
            if (found == Presenters().end()) continue;
            RECT source = fullScreen ? desktop : rec.rect;
            if (IsRectEmpty(IntersectRects(source, changed))) continue;
            targets.push_back({found->second, source});
        }
    }
    for (const Target& target : targets) PresentDesktopRect(target.presenter, target.source);
}

// Every top-level window hears of the new mode, as the system tells them.
void AnnounceDisplayChange(int width, int height, int bitsPerPixel) {
    std::lock_guard<std::mutex> lock(Windows().mutex);
    for (auto& entry : Windows().windows) {
        if (entry.second->parent != nullptr) continue;
        PostLocked(entry.first, WM_DISPLAYCHANGE, static_cast<WPARAM>(bitsPerPixel), MAKELPARAM(width, height));
    }
}

}  // namespace

void InstallDesktopPresentation(void) {
    SetWindowClientLocator(LocateClient);
    SetDesktopPresentHook(PresentToWindows);
    SetDesktopModeChangeHook(AnnounceDisplayChange);
}

void AttachDesktopPresenter(SDL_Window* sdl) {
    if (sdl == nullptr || Presenters().count(sdl) != 0) return;
    if (DesktopPresenter* presenter = CreateDesktopPresenter(sdl)) Presenters()[sdl] = presenter;
}

void DetachDesktopPresenter(SDL_Window* sdl) {
    auto found = Presenters().find(sdl);
    if (found == Presenters().end()) return;
    DestroyDesktopPresenter(found->second);
    Presenters().erase(found);
}
