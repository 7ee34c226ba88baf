// mci.cpp - the MIDI sequencer device of MCI, played by FluidSynth (see mci.h).
//
// Each open device is a synthesizer mixed into the DirectSound output (as DirectMusic's
// performance is), so MIDI plays wherever sound plays, on a single-device output too.
// The DirectSound mutex guards the devices: the output's thread renders them under it.
#include "platform/sound/mci.h"

#include <strings.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/sound/dsound_internal.h"
#include "platform/kernel/kernel_paths.h"
#include "platform/sound/mci_hooks.h"
#include "platform/sound/midi_synth.h"
#include "platform/window/window.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

struct MidiDevice {
    MCIDEVICEID id = 0;
    MidiSynth synth;
    fluid_player_t* player = nullptr;
    MidiRounds rounds;
    bool over = false;  // the player's piece has ended
    std::string path;
    HWND notifyWindow = nullptr;  // set while a play with MCI_NOTIFY runs
    bool playing = false;
};

std::map<MCIDEVICEID, MidiDevice*>& Devices(void) {
    static std::map<MCIDEVICEID, MidiDevice*> devices;
    return devices;
}

MCIDEVICEID nextDeviceId = 1;

MidiDevice* FindLocked(MCIDEVICEID id) {
    auto it = Devices().find(id);
    return it == Devices().end() ? nullptr : it->second;
}

void Notify(MidiDevice* d, WPARAM result) {
    if (d->notifyWindow != nullptr) PostMessageA(d->notifyWindow, MM_MCINOTIFY, result, static_cast<LPARAM>(d->id));
    d->notifyWindow = nullptr;
}

// The output's mix source: adds the device's next frames; the end of the piece posts
// the notification.
void RenderDevice(void* context, int32_t* sums, int frames, int) {
    auto* d = static_cast<MidiDevice*>(context);
    MixMidiSynth(&d->synth, d->playing ? d->player : nullptr, 1, &d->rounds, &d->over, sums, frames);
    if (d->playing && d->over) {
        d->playing = false;
        Notify(d, MCI_NOTIFY_SUCCESSFUL);
    }
}

void StopPlayerLocked(MidiDevice* d) {
    if (d->player != nullptr) {
        fluid_player_stop(d->player);
        delete_fluid_player(d->player);
        d->player = nullptr;
    }
    fluid_synth_all_sounds_off(d->synth.synth, -1);
    d->playing = false;
}

MCIERROR Open(uintptr_t flags, MCI_OPEN_PARMSA* p) {
    if (p == nullptr || !(flags & MCI_OPEN_ELEMENT) || p->lpstrElementName == nullptr) return MCIERR_MISSING_PARAMETER;
    if ((flags & MCI_OPEN_TYPE) && (p->lpstrDeviceType == nullptr || strcasecmp(p->lpstrDeviceType, "sequencer") != 0))
        return MCIERR_DEVICE_TYPE_REQUIRED;
    std::string native;
    if (MapToHostPath(p->lpstrElementName, false, &native) != 0 || access(native.c_str(), R_OK) != 0)
        return MCIERR_FILE_NOT_FOUND;
    if (!fluid_is_midifile(native.c_str())) return MCIERR_INVALID_FILE;
    int rate;
    {
        Lock lock(DsoundMutex());
        IDirectSound* output = DsoundMusicOutputLocked();
        if (output == nullptr) return MCIERR_SEQ_NOMIDIPRESENT;
        rate = output->output.rate;
    }
    auto* d = new MidiDevice;
    d->path = native;
    // Loading the soundfont takes a while: not while the output waits for the mutex.
    if (!CreateMidiSynth(rate, &d->synth)) {
        delete d;
        return MCIERR_SEQ_NOMIDIPRESENT;
    }
    Lock lock(DsoundMutex());
    IDirectSound* output = DsoundMusicOutputLocked();
    if (output == nullptr) {
        DestroyMidiSynth(&d->synth);
        delete d;
        return MCIERR_SEQ_NOMIDIPRESENT;
    }
    d->id = nextDeviceId++;
    Devices()[d->id] = d;
    DsoundAddMixSourceLocked(output, DsoundMixSource{RenderDevice, d});
    p->wDeviceID = d->id;
    return 0;
}

MCIERROR Play(MCIDEVICEID id, uintptr_t flags, MCI_PLAY_PARMS* p) {
    Lock lock(DsoundMutex());
    MidiDevice* d = FindLocked(id);
    if (d == nullptr) return MCIERR_INVALID_DEVICE_ID;
    if (d->playing) Notify(d, MCI_NOTIFY_SUPERSEDED);
    // Each play starts the piece from its beginning with a fresh player.
    StopPlayerLocked(d);
    d->player = new_fluid_player(d->synth.synth);
    if (d->player == nullptr || fluid_player_add(d->player, d->path.c_str()) != FLUID_OK ||
        fluid_player_play(d->player) != FLUID_OK) {
        StopPlayerLocked(d);
        return MCIERR_INVALID_FILE;
    }
    d->playing = true;
    d->over = false;
    d->rounds = MidiRounds{};
    d->notifyWindow = (flags & MCI_NOTIFY) && p != nullptr ? reinterpret_cast<HWND>(p->dwCallback) : nullptr;
    return 0;
}

MCIERROR Stop(MCIDEVICEID id) {
    Lock lock(DsoundMutex());
    MidiDevice* d = FindLocked(id);
    if (d == nullptr) return MCIERR_INVALID_DEVICE_ID;
    if (d->playing) Notify(d, MCI_NOTIFY_ABORTED);
    StopPlayerLocked(d);
    return 0;
}

MCIERROR Close(MCIDEVICEID id) {
    MidiDevice* d;
    {
        Lock lock(DsoundMutex());
        d = FindLocked(id);
        if (d == nullptr) return MCIERR_INVALID_DEVICE_ID;
        Devices().erase(id);
        DsoundRemoveMixSourceLocked(d);
        if (d->playing) Notify(d, MCI_NOTIFY_ABORTED);
        StopPlayerLocked(d);
    }
    // No output renders it any more.
    DestroyMidiSynth(&d->synth);
    delete d;
    return 0;
}

}  // namespace

MciHooks& MciHooksRecord(void) {
    static MciHooks hooks;
    return hooks;
}

int MciOpenDeviceCount(void) {
    Lock lock(DsoundMutex());
    return static_cast<int>(Devices().size());
}

MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, uintptr_t flags, uintptr_t params) {
    switch (message) {
    case MCI_OPEN: return Open(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(params));
    case MCI_PLAY: return Play(device, flags, reinterpret_cast<MCI_PLAY_PARMS*>(params));
    case MCI_STOP: return Stop(device);
    case MCI_CLOSE: return Close(device);
    }
    return MCIERR_UNRECOGNIZED_COMMAND;
}
