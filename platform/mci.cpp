// mci.cpp - the MIDI sequencer device of MCI, played by FluidSynth (see mci.h).
#include "platform/mci.h"

#include <SDL.h>
#include <fluidsynth.h>
#include <strings.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel_paths.h"
#include "platform/mci_hooks.h"
#include "platform/window.h"

namespace {

struct MidiDevice {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    SDL_AudioDeviceID output = 0;
    std::string path;
    HWND notifyWindow = nullptr;  // set while a play with MCI_NOTIFY runs
    bool playing = false;
};

std::mutex& Mutex(void) {
    static std::mutex m;
    return m;
}

std::map<MCIDEVICEID, MidiDevice*>& Devices(void) {
    static std::map<MCIDEVICEID, MidiDevice*> devices;
    return devices;
}

MCIDEVICEID nextDeviceId = 1;
constexpr int OutputRate = 44100;

const char* const soundFontPaths[] = {
    "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf3/MuseScore_General.sf3",
};

std::string FindSoundFont(void) {
    const MciHooks& hooks = MciHooksRecord();
    if (hooks.soundFont != nullptr) return access(hooks.soundFont, R_OK) == 0 ? hooks.soundFont : "";
    for (const char* path : soundFontPaths)
        if (access(path, R_OK) == 0) return path;
    return "";
}

void Notify(MidiDevice* d, MCIDEVICEID id, WPARAM result) {
    if (d->notifyWindow != nullptr) PostMessageA(d->notifyWindow, MM_MCINOTIFY, result, static_cast<LPARAM>(id));
    d->notifyWindow = nullptr;
}

// Renders frames of the device's synthesizer; the end of the piece posts the
// notification. Called with the mutex held.
void RenderLocked(MCIDEVICEID id, MidiDevice* d, int16_t* out, int frames) {
    fluid_synth_write_s16(d->synth, frames, out, 0, 2, out, 1, 2);
    if (d->playing && d->player != nullptr && fluid_player_get_status(d->player) == FLUID_PLAYER_DONE) {
        d->playing = false;
        Notify(d, id, MCI_NOTIFY_SUCCESSFUL);
    }
}

void FillOutput(void* userdata, Uint8* stream, int length) {
    const auto id = static_cast<MCIDEVICEID>(reinterpret_cast<uintptr_t>(userdata));
    std::lock_guard<std::mutex> lock(Mutex());
    auto it = Devices().find(id);
    if (it == Devices().end()) {
        SDL_memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    RenderLocked(id, it->second, reinterpret_cast<int16_t*>(stream), length / 4);
}

void StopPlayer(MidiDevice* d) {
    if (d->player != nullptr) {
        fluid_player_stop(d->player);
        delete_fluid_player(d->player);
        d->player = nullptr;
    }
    fluid_synth_all_sounds_off(d->synth, -1);
    d->playing = false;
}

void DestroyDevice(MidiDevice* d) {
    if (d->player != nullptr) delete_fluid_player(d->player);
    if (d->synth != nullptr) delete_fluid_synth(d->synth);
    if (d->settings != nullptr) delete_fluid_settings(d->settings);
    delete d;
}

MCIERROR Open(uintptr_t flags, MCI_OPEN_PARMSA* p) {
    if (p == nullptr || !(flags & MCI_OPEN_ELEMENT) || p->lpstrElementName == nullptr) return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_OPEN_TYPE) && (p->lpstrDeviceType == nullptr || strcasecmp(p->lpstrDeviceType, "sequencer") != 0))
        return MCIERR_DEVICE_TYPE_REQUIRED;
    std::string native;
    if (MapToHostPath(p->lpstrElementName, false, &native) != 0 || access(native.c_str(), R_OK) != 0)
        return MCIERR_FILE_NOT_FOUND;
    if (!fluid_is_midifile(native.c_str())) return MCIERR_INVALID_FILE;
    const std::string font = FindSoundFont();
    if (font.empty()) return MCIERR_SEQ_NOMIDIPRESENT;

    // FluidSynth reports to stderr unless told otherwise.
    for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
    auto* d = new MidiDevice;
    d->path = native;
    d->settings = new_fluid_settings();
    if (d->settings != nullptr) fluid_settings_setnum(d->settings, "synth.sample-rate", OutputRate);
    d->synth = d->settings ? new_fluid_synth(d->settings) : nullptr;
    if (d->synth == nullptr || fluid_synth_sfload(d->synth, font.c_str(), 1) == FLUID_FAILED) {
        DestroyDevice(d);
        return MCIERR_SEQ_NOMIDIPRESENT;
    }
    MCIDEVICEID id;
    {
        std::lock_guard<std::mutex> lock(Mutex());
        id = nextDeviceId++;
        Devices()[id] = d;
    }
    if (!MciHooksRecord().manualOutput) {
        SDL_AudioSpec want{}, have{};
        want.freq = OutputRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = FillOutput;
        want.userdata = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
        SDL_AudioDeviceID output = 0;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
            output = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
            if (output == 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        if (output == 0) {
            std::lock_guard<std::mutex> lock(Mutex());
            Devices().erase(id);
            DestroyDevice(d);
            return MCIERR_SEQ_NOMIDIPRESENT;
        }
        d->output = output;
        SDL_PauseAudioDevice(output, 0);
    }
    p->wDeviceID = id;
    return 0;
}

MCIERROR Play(MCIDEVICEID id, uintptr_t flags, MCI_PLAY_PARMS* p) {
    std::lock_guard<std::mutex> lock(Mutex());
    auto it = Devices().find(id);
    if (it == Devices().end()) return MCIERR_INVALID_DEVICE_ID;
    MidiDevice* d = it->second;
    if (d->playing) Notify(d, id, MCI_NOTIFY_SUPERSEDED);
    // Each play starts the piece from its beginning with a fresh player.
    StopPlayer(d);
    d->player = new_fluid_player(d->synth);
    if (d->player == nullptr || fluid_player_add(d->player, d->path.c_str()) != FLUID_OK ||
        fluid_player_play(d->player) != FLUID_OK) {
        StopPlayer(d);
        return MCIERR_INVALID_FILE;
    }
    d->playing = true;
    d->notifyWindow = (flags & MCI_NOTIFY) && p != nullptr ? reinterpret_cast<HWND>(p->dwCallback) : nullptr;
    return 0;
}

MCIERROR Close(MCIDEVICEID id) {
    MidiDevice* d;
    {
        std::lock_guard<std::mutex> lock(Mutex());
        auto it = Devices().find(id);
        if (it == Devices().end()) return MCIERR_INVALID_DEVICE_ID;
        d = it->second;
        Devices().erase(it);
        if (d->playing) Notify(d, id, MCI_NOTIFY_ABORTED);
    }
    // Closing the output waits for its thread, which renders under the mutex.
    if (d->output != 0) {
        SDL_CloseAudioDevice(d->output);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    StopPlayer(d);
    DestroyDevice(d);
    return 0;
}

}  // namespace

MciHooks& MciHooksRecord(void) {
    static MciHooks hooks;
    return hooks;
}

bool MciRenderForTest(MCIDEVICEID device, int frames, std::vector<int16_t>* out) {
    std::lock_guard<std::mutex> lock(Mutex());
    auto it = Devices().find(device);
    if (it == Devices().end()) return false;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    RenderLocked(device, it->second, samples.data(), frames);
    if (out != nullptr) *out = std::move(samples);
    return true;
}

int MciOpenDeviceCount(void) {
    std::lock_guard<std::mutex> lock(Mutex());
    return static_cast<int>(Devices().size());
}

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, uintptr_t flags, uintptr_t params) {
    switch (message) {
    case MCI_OPEN: return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(params));
    case MCI_PLAY: return Play(device, flags, reinterpret_cast<MCI_PLAY_PARMS*>(params));
    case MCI_STOP: {
        std::lock_guard<std::mutex> lock(Mutex());
        auto it = Devices().find(device);
        if (it == Devices().end()) return MCIERR_INVALID_DEVICE_ID;
        if (it->second->playing) Notify(it->second, device, MCI_NOTIFY_ABORTED);
        StopPlayer(it->second);
        return 0;
    }
    case MCI_CLOSE: return Close(device);
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}
