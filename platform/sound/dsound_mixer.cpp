// dsound_mixer.cpp - the software mixer of the sound buffers and the SDL2 output that
// pulls from it (see dsound.h).
#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sound/dsound_internal.h"

void DsoundUpdateGains(IDirectSoundBuffer* b) {
    // Hundredths of a decibel to amplitude: 10^(v / 2000).
    auto amp = [](LONG hundredths) { return std::pow(10.0, hundredths / 2000.0); };
    const double base = amp(b->volume);
    const double left = b->pan > 0 ? base * amp(-b->pan) : base;
    const double right = b->pan < 0 ? base * amp(b->pan) : base;
    b->gainLeft = static_cast<int32_t>(left * 65536.0);
    b->gainRight = static_cast<int32_t>(right * 65536.0);
}

namespace {

// One frame of the buffer as a stereo pair of 16-bit values.
inline void ReadFrame(const IDirectSoundBuffer* b, const uint8_t* data, DWORD frame, int32_t& l, int32_t& r) {
    const uint8_t* p = data + static_cast<size_t>(frame) * b->format.nBlockAlign;
    if (b->format.wBitsPerSample == 16) {
        int16_t s[2];
        std::memcpy(s, p, b->format.nChannels * 2u);
        l = s[0];
        r = b->format.nChannels == 2 ? s[1] : s[0];
    } else {
        l = (p[0] - 128) * 256;
        r = b->format.nChannels == 2 ? (p[1] - 128) * 256 : l;
    }
}

// Adds `frames` output frames of one playing buffer into the stereo sums, reading it
// at its frequency with linear interpolation, and moves its play position on.
void MixBuffer(IDirectSoundBuffer* b, int32_t* sums, int frames, int outRate) {
    const DWORD rate = b->frequency ? b->frequency : b->format.nSamplesPerSec;
    const uint64_t step = (static_cast<uint64_t>(rate) << 32) / static_cast<uint64_t>(outRate);
    const uint64_t end = static_cast<uint64_t>(b->frames) << 32;
    const uint8_t* data = b->samples->data();
    for (int i = 0; i < frames; ++i) {
        const DWORD frame = static_cast<DWORD>(b->position >> 32);
        DWORD next = frame + 1;
        if (next >= b->frames) next = b->looping ? 0 : frame;
        int32_t l0, r0, l1, r1;
        ReadFrame(b, data, frame, l0, r0);
        ReadFrame(b, data, next, l1, r1);
        const int32_t frac = static_cast<int32_t>((b->position >> 16) & 0xFFFF);
        const int32_t l = l0 + static_cast<int32_t>((static_cast<int64_t>(l1 - l0) * frac) >> 16);
        const int32_t r = r0 + static_cast<int32_t>((static_cast<int64_t>(r1 - r0) * frac) >> 16);
        sums[2 * i] += static_cast<int32_t>((static_cast<int64_t>(l) * b->gainLeft) >> 16);
        sums[2 * i + 1] += static_cast<int32_t>((static_cast<int64_t>(r) * b->gainRight) >> 16);
        b->position += step;
        if (b->position >= end) {
            if (!b->looping) {
                b->playing = false;
                b->position = 0;
                return;
            }
            b->position %= end;
        }
    }
}

// The output device's thread: mixes into the device's own format.
void FillDevice(void* userdata, Uint8* stream, int length) {
    auto* ds = static_cast<IDirectSound*>(userdata);
    std::lock_guard<std::mutex> lock(DsoundMutex());
    const auto& live = DsoundTests().live;
    if (std::find(live.begin(), live.end(), ds) == live.end()) {
        std::memset(stream, 0, static_cast<size_t>(length));
        return;
    }
    const DsoundOutput& o = ds->output;
    const int frameBytes = o.channels * o.bits / 8;
    const int frames = length / frameBytes;
    thread_local std::vector<int16_t> stereo;
    stereo.resize(static_cast<size_t>(frames) * 2);
    DsoundMixStereo(ds, stereo.data(), frames);
    for (int i = 0; i < frames; ++i) {
        const int l = stereo[2 * i], r = stereo[2 * i + 1];
        if (o.bits == 16) {
            int16_t* out = reinterpret_cast<int16_t*>(stream) + i * o.channels;
            if (o.channels == 2) {
                out[0] = static_cast<int16_t>(l);
                out[1] = static_cast<int16_t>(r);
            } else {
                out[0] = static_cast<int16_t>((l + r) / 2);
            }
        } else {
            Uint8* out = stream + i * o.channels;
            if (o.channels == 2) {
                out[0] = static_cast<Uint8>((l >> 8) + 128);
                out[1] = static_cast<Uint8>((r >> 8) + 128);
            } else {
                out[0] = static_cast<Uint8>((((l + r) / 2) >> 8) + 128);
            }
        }
    }
    std::memset(stream + frames * frameBytes, 0, static_cast<size_t>(length - frames * frameBytes));
}

void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// alsa-lib, through which SDL opens the sound card, reports each step of a failed
// device look-up on standard error: without a sound card a program would fill its
// terminal at start-up. Reporting a failed start-up is the library's business (in its
// log), so alsa's reports are dropped. Like SDL, this loads alsa-lib at run time, and
// keeps it loaded so that the handler stays.
void QuietAudioLibraries(void) {
    static std::once_flag once;
    std::call_once(once, [] {
        void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (alsa == nullptr) return;
        using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
        auto setHandler = reinterpret_cast<int (*)(ErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
        if (setHandler != nullptr) setHandler(IgnoreAlsaError);
    });
}

}  // namespace

void DsoundMixStereo(IDirectSound* ds, int16_t* out, int frames) {
    if (frames <= 0) return;
    std::vector<int32_t>& sums = ds->mixScratch;
    sums.assign(static_cast<size_t>(frames) * 2, 0);
    for (IDirectSoundBuffer* b : ds->buffers)
        if (!b->primary && b->playing) MixBuffer(b, sums.data(), frames, ds->output.rate);
    for (const DsoundMixSource& source : ds->sources)
        source.render(source.context, sums.data(), frames, ds->output.rate);
    for (size_t i = 0; i < sums.size(); ++i) out[i] = static_cast<int16_t>(std::clamp(sums[i], -32768, 32767));
}

IDirectSound* DsoundMusicOutputLocked(void) {
    const auto& live = DsoundTests().live;
    for (auto it = live.rbegin(); it != live.rend(); ++it)
        if ((*it)->initialized) return *it;
    return nullptr;
}

void DsoundAddMixSourceLocked(IDirectSound* ds, DsoundMixSource source) { ds->sources.push_back(source); }

void DsoundRemoveMixSourceLocked(const void* context) {
    for (IDirectSound* ds : DsoundTests().live) {
        auto& list = ds->sources;
        auto same = [context](const DsoundMixSource& s) { return s.context == context; };
        list.erase(std::remove_if(list.begin(), list.end(), same), list.end());
    }
}

bool DsoundOpenOutput(IDirectSound* ds, int rate, int channels, int bits) {
    if (DsoundTests().manualOutput) {
        std::lock_guard<std::mutex> lock(DsoundMutex());
        ds->output = DsoundOutput{0, rate, channels, bits};
        return true;
    }
    QuietAudioLibraries();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024;
    want.callback = FillDevice;
    want.userdata = ds;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(DsoundMutex());
        ds->output = DsoundOutput{device, rate, channels, bits};
    }
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void DsoundCloseOutput(SDL_AudioDeviceID device) {
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
