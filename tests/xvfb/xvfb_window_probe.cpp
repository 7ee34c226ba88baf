// Starts the library as the game does (a 150 x 200 window titled "Cinderwhirl"),
// prints the X window id once the window is up, and pumps until ProcessMessage
// returns -1 (the window was closed from outside). Exit code 0 when the loop ended
// by the close, 2 when start-up failed, 3 when nothing closed the window in time.
#include <SDL.h>
#include <SDL_syswm.h>
#include <stdio.h>
#include <unistd.h>

#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "platform/kernel/clock.h"
#include "platform/window/testing/window_seams.h"

int main() {
    SetWindowTitleText("Cinderwhirl");
    ChangeWindowMode(1);
    SetScreenMode(150, 200, 16, 60);
    if (InitializeLibrary() == -1) return 2;
    SDL_Window* sdl = WindowSeamSdlWindow(SystemStateRecord.window.mainWindow);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (sdl == nullptr || !SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11) return 2;
    printf("window 0x%lx\n", static_cast<unsigned long>(info.info.x11.window));
    fflush(stdout);
    DWORD start = timeGetTime();
    int result = 3;
    while (timeGetTime() - start < 60000) {
        if (ProcessMessage() == -1) {
            result = 0;
            break;
        }
        Sleep(10);
    }
    ShutdownLibrary();
    printf("loop ended %s\n", result == 0 ? "by close" : "by time");
    return result;
}
