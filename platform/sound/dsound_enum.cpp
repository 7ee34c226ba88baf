// dsound_enum.cpp - the output-device list of DirectSoundEnumerateA (see dsound.h).
#include <SDL.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "platform/sound/dsound.h"

namespace {

// SDL names devices in UTF-8; the library reads Shift-JIS. Characters without a
// Shift-JIS form become '?'.
std::string ToShiftJis(const char* utf8) {
    std::string out;
    iconv_t cd = iconv_open("CP932//TRANSLIT", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string in(utf8);
    char* src = in.data();
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char buffer[256];
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back('?');
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
    if (callback == nullptr) return DSERR_INVALIDPARAM;
    std::vector<std::string> names;
    // Only while the audio subsystem runs (an output is open): starting and ending it
    // here would load and unload the system's audio backends for a list of names.
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0) {
        const int count = SDL_GetNumAudioDevices(0);
        for (int i = 0; i < count; ++i) {
            const char* name = SDL_GetAudioDeviceName(i, 0);
            if (name != nullptr) names.push_back(ToShiftJis(name));
        }
    }
    if (!callback(nullptr, "Primary Sound Driver", "", context)) return DS_OK;
    for (size_t i = 0; i < names.size(); ++i) {
        // Each device gets a GUID of its own, numbered in list order.
        GUID guid = {0x5D50C000u + static_cast<DWORD>(i), 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x45, 0x56, 0, 0, 0}};
        if (!callback(&guid, names[i].c_str(), "sdl2", context)) break;
    }
    return DS_OK;
}
