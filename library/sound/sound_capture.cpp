// sound_capture.cpp - the capture file: 44100 Hz 16-bit stereo frames written behind a
// 46-byte space that gets the WAV header once the capture is closed and the number of
// frames is known.
#include <cstring>

#include "library/sound/sound_internal.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"

SoundCaptureState SoundCaptureStateRecord;

namespace {

constexpr int CaptureHeaderBytes = 46;

void PutLe16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
}

void BuildCaptureHeader(uint8_t h[CaptureHeaderBytes], uint32_t frames) {
    const unsigned channels = 2, rate = 44100, bits = 16;
    const unsigned blockAlign = bits / 8 * channels;
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 4 * frames + 38);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 18);
    PutLe16(h + 20, WAVE_FORMAT_PCM);
    PutLe16(h + 22, channels);
    PutLe32(h + 24, rate);
    PutLe32(h + 28, blockAlign * rate);
    PutLe16(h + 32, blockAlign);
    PutLe16(h + 34, bits);
    PutLe16(h + 36, 0);
    std::memcpy(h + 38, "data", 4);
    PutLe32(h + 42, 4 * frames);
}

}  // namespace

int OpenSoundCaptureFile(const char* path) {
    SoundCaptureState& c = SoundCaptureStateRecord;
    if (c.captureActive || SoundDeviceStateRecord.directSound == nullptr) return -1;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    uint8_t space[CaptureHeaderBytes] = {};
    DWORD written = 0;
    if (!WriteFile(file, space, sizeof space, &written, nullptr) || written != sizeof space) {
        CloseHandle(file);
        return -1;
    }
    c.captureFile = file;
    c.captureSampleCount = 0;
    c.captureActive = 1;
    return 0;
}

int WriteSoundCaptureFrames(const MixFrame* frames, int count) {
    SoundCaptureState& c = SoundCaptureStateRecord;
    if (!c.captureActive || count < 0) return -1;
    uint8_t bytes[4096];
    int done = 0;
    while (done < count) {
        const int n = count - done < 1024 ? count - done : 1024;
        for (int i = 0; i < n; ++i) {
            PutLe16(bytes + 4 * i, static_cast<uint16_t>(frames[done + i].left));
            PutLe16(bytes + 4 * i + 2, static_cast<uint16_t>(frames[done + i].right));
        }
        DWORD written = 0;
        if (!WriteFile(c.captureFile, bytes, static_cast<DWORD>(4 * n), &written, nullptr) ||
            written != static_cast<DWORD>(4 * n))
            return -1;
        c.captureSampleCount += n;
        done += n;
    }
    return 0;
}

int CloseSoundCaptureFile(void) {
    SoundCaptureState& c = SoundCaptureStateRecord;
    if (c.captureActive == 0) return -1;
    uint8_t header[CaptureHeaderBytes];
    BuildCaptureHeader(header, static_cast<uint32_t>(c.captureSampleCount));
    SetFilePointer(c.captureFile, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(c.captureFile, header, sizeof header, &written, nullptr);
    CloseHandle(c.captureFile);
    c.captureFile = nullptr;
    c.captureActive = 0;
    return 0;
}
