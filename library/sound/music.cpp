// music.cpp - music handles: MIDI played through MCI from a temporary file (DirectSound
// mode) or as DirectMusic segments, with the per-frame status poll, the MCI notification
// that repeats or closes the piece, and the one kept handle released at shutdown.
#include <cstdio>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/message_pump.h"
#include "library/core/system_state.h"
#include "library/sound/sound.h"
#include "library/sound/sound_internal.h"
#include "platform/kernel.h"
#include "platform/kernel_files.h"
#include "platform/mci.h"

MusicState MusicStateRecord;

namespace {

constexpr int MusicHandleKindBits = HandleKindConstant(HandleKindMusic);

bool SoundStarted(void) { return SoundDeviceStateRecord.directSound != nullptr; }
bool DirectMusicMode(void) { return SoundDeviceStateRecord.mode == SoundModeDirectMusic; }

// Writes the MIDI data to the temporary file; false when it cannot.
bool WriteTempMidiFile(const MusicHandleRecord* record) {
    MusicState& m = MusicStateRecord;
    if (m.tempMidiPath[0] == '\0') {
        char directory[MAX_PATH - 32];  // room for the name behind it
        const DWORD n = GetTempPathA(sizeof directory, directory);
        if (n == 0 || n >= sizeof directory) return false;
        std::snprintf(m.tempMidiPath, sizeof m.tempMidiPath, "%szqmusic_%u.mid", directory,
                      static_cast<unsigned>(GetCurrentProcessId()));
    }
    HANDLE file = CreateFileA(m.tempMidiPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, record->midiMemory, static_cast<DWORD>(record->midiMemorySize), &written, nullptr);
    CloseHandle(file);
    m.tempMidiFileExists = 1;
    return ok && written == static_cast<DWORD>(record->midiMemorySize);
}

}  // namespace

MusicHandleRecord* GetMusicHandleRecord(ResourceHandle handle) {
    if (handle < 0 || HandleKindOf(handle) != HandleKindMusic) return nullptr;
    const int slot = HandleSlot(handle);
    if (slot >= MusicHandleMax) return nullptr;
    MusicHandleRecord* record = MusicStateRecord.musicHandles[slot];
    if (record == nullptr || (record->check << 16) != (handle & HandleCheckMask)) return nullptr;
    return record;
}

ResourceHandle AddMusicHandle(const void* midi, int bytes) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted() || midi == nullptr || bytes <= 0) return -1;
    int slot = 0;
    while (slot < MusicHandleMax && m.musicHandles[slot] != nullptr) ++slot;
    if (slot == MusicHandleMax) return -1;
    auto* record = static_cast<MusicHandleRecord*>(ZqAllocZero(sizeof(MusicHandleRecord)));
    void* copy = ZqAlloc(static_cast<size_t>(bytes));
    if (record == nullptr || copy == nullptr) {
        ZqFree(record);
        ZqFree(copy);
        return -1;
    }
    std::memcpy(copy, midi, static_cast<size_t>(bytes));
    record->check = m.nextCheck;
    m.nextCheck = (m.nextCheck + 1) % HandleCheckLimit;
    record->midiMemory = copy;
    record->midiMemorySize = bytes;
    m.musicHandles[slot] = record;
    ++m.musicHandleCount;
    if (slot >= m.musicHighWater) m.musicHighWater = slot + 1;
    return MakeResourceHandle(HandleKindMusic, record->check, slot);
}

int PlayMusicHandle(ResourceHandle handle, int loop) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    MusicHandleRecord* record = GetMusicHandleRecord(handle);
    if (record == nullptr || record->midiMemory == nullptr) return -1;
    if (DirectMusicMode()) return -1;  // segments are made only by DirectMusic's loader
    if (m.mciPlaying) {
        m.midiLoop = 0;
        HandleMciPlayNotify();
    }
    if (!WriteTempMidiFile(record)) return -1;
    MCI_OPEN_PARMSA open{};
    open.lpstrDeviceType = "sequencer";
    open.lpstrElementName = m.tempMidiPath;
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<uintptr_t>(&open)) != 0)
        return -1;
    m.mciDeviceId = open.wDeviceID;
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<uintptr_t>(GetAppWindowHandle());
    if (mciSendCommandA(m.mciDeviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<uintptr_t>(&play)) != 0) {
        mciSendCommandA(m.mciDeviceId, MCI_CLOSE, 0, 0);
        return -1;
    }
    m.midiLoop = loop ? 1 : 0;
    m.mciPlaying = 1;
    record->playing = 1;
    record->startSeen = 0;
    return 0;
}

int CheckMusicPlaying(ResourceHandle handle) {
    if (!SoundStarted()) return -1;
    MusicHandleRecord* record = GetMusicHandleRecord(handle);
    if (record == nullptr) return -1;
    return DirectMusicMode() ? record->playing : MusicStateRecord.mciPlaying;
}

int StopMusicHandle(ResourceHandle handle) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    MusicHandleRecord* record = GetMusicHandleRecord(handle);
    if (record == nullptr) return -1;
    m.midiLoop = 0;
    if (!DirectMusicMode()) {
        HandleMciPlayNotify();
        for (int i = 0; i < 5; ++i) ProcessMessageCore();
    } else {
        IDirectMusicPerformance8_StopEx(SoundDeviceStateRecord.performance, record->segment, 0, 0);
    }
    if (m.tempMidiFileExists == 1) {
        DeleteFileA(m.tempMidiPath);
        m.tempMidiFileExists = 0;
    }
    record->playing = 0;
    record->startSeen = 0;
    return 0;
}

int DeleteMusicHandle(ResourceHandle handle) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    MusicHandleRecord* record = GetMusicHandleRecord(handle);
    if (record == nullptr) return -1;
    if (CheckMusicPlaying(handle) == 1) StopMusicHandle(handle);
    if (record->segment != nullptr) {
        IDirectMusicSegment8_Unload(record->segment, SoundDeviceStateRecord.performance);
        IDirectMusicLoader8_ReleaseObjectByUnknown(SoundDeviceStateRecord.loader, record->segment);
        IDirectMusicSegment8_Release(record->segment);
        record->segment = nullptr;
    }
    if (record->midiMemory != nullptr) {
        std::memset(record->midiMemory, 0, static_cast<size_t>(record->midiMemorySize));
        ZqFree(record->midiMemory);
        record->midiMemory = nullptr;
    }
    const int slot = HandleSlot(handle);
    ZqFree(record);
    m.musicHandles[slot] = nullptr;
    --m.musicHandleCount;
    if (slot == m.musicHighWater - 1) {
        int top = slot;
        while (top > 0 && m.musicHandles[top - 1] == nullptr) --top;
        m.musicHighWater = m.musicHandleCount == 0 ? 0 : top;
    }
    return 0;
}

int DeleteAllMusicHandles(void) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    for (int slot = 0; slot < MusicHandleMax; ++slot) {
        if (m.musicHandles[slot] == nullptr) continue;
        DeleteMusicHandle(slot | m.musicHandles[slot]->check << 16 | MusicHandleKindBits);
    }
    return 0;
}

int UpdateMusicPlayFlags(void) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    if (!DirectMusicMode()) return 0;
    for (int slot = 0; slot < m.musicHighWater; ++slot) {
        MusicHandleRecord* record = m.musicHandles[slot];
        if (record == nullptr || record->playing != 1) continue;
        const bool plays =
            IDirectMusicPerformance8_IsPlaying(SoundDeviceStateRecord.performance, record->segment, nullptr) != S_FALSE;
        if (record->startSeen == 0) {
            if (plays) record->startSeen = 1;
        } else {
            record->playing = plays ? 1 : 0;
        }
    }
    return 0;
}

int HandleMciPlayNotify(void) {
    MusicState& m = MusicStateRecord;
    if (m.midiLoop == 1) {
        MCI_PLAY_PARMS play{};
        play.dwCallback = reinterpret_cast<uintptr_t>(GetAppWindowHandle());
        play.dwFrom = 0;
        mciSendCommandA(m.mciDeviceId, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<uintptr_t>(&play));
        m.mciPlaying = 1;
    } else if (m.mciPlaying == 1) {
        mciSendCommandA(m.mciDeviceId, MCI_CLOSE, 0, 0);
        m.mciPlaying = 0;
    }
    return 0;
}

int ReleaseKeptSoundHandle(void) {
    MusicState& m = MusicStateRecord;
    if (m.keptHandle == 0) return 0;
    if (m.keptHandleIsSound == 1) {
        StopSoundHandle(m.keptHandle);
        DeleteSoundHandle(m.keptHandle);
    } else {
        StopMusicHandle(m.keptHandle);
        DeleteMusicHandle(m.keptHandle);
    }
    m.keptHandle = 0;
    return 0;
}
