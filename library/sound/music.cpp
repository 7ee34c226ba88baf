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
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_files.h"
#include "platform/sound/mci.h"

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

// A DirectMusic segment of the MIDI data, loaded and downloaded to the performance;
// null when the loader or the download refuses it.
IDirectMusicSegment8* LoadMidiSegment(const void* midi, int bytes) {
    const SoundDeviceState& d = SoundDeviceStateRecord;
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = static_cast<const BYTE*>(midi);
    desc.llMemLength = bytes;
    void* made = nullptr;
    if (FAILED(IDirectMusicLoader8_GetObject(d.loader, &desc, IID_IDirectMusicSegment8, &made))) return nullptr;
    auto* segment = static_cast<IDirectMusicSegment8*>(made);
    if (FAILED(IDirectMusicSegment8_Download(segment, d.performance))) {
        IDirectMusicLoader8_ReleaseObjectByUnknown(d.loader, segment);
        IDirectMusicSegment8_Release(segment);
        return nullptr;
    }
    return segment;
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
    if (record == nullptr) return -1;
    // DirectMusic mode holds the loaded segment; MCI plays a copy of the data from a file.
    if (DirectMusicMode()) {
        record->segment = LoadMidiSegment(midi, bytes);
    } else if ((record->midiMemory = ZqAlloc(static_cast<size_t>(bytes))) != nullptr) {
        std::memcpy(record->midiMemory, midi, static_cast<size_t>(bytes));
        record->midiMemorySize = bytes;
    }
    if (record->segment == nullptr && record->midiMemory == nullptr) {
        ZqFree(record);
        return -1;
    }
    record->check = m.nextCheck;
    m.nextCheck = (m.nextCheck + 1) % HandleCheckLimit;
    m.musicHandles[slot] = record;
    ++m.musicHandleCount;
    if (slot >= m.musicHighWater) m.musicHighWater = slot + 1;
    return MakeResourceHandle(HandleKindMusic, record->check, slot);
}

int PlayMusicHandle(ResourceHandle handle, int loop) {
    MusicState& m = MusicStateRecord;
    if (!SoundStarted()) return -1;
    MusicHandleRecord* record = GetMusicHandleRecord(handle);
    if (record == nullptr) return -1;
    if (DirectMusicMode()) {
        // The segment replaces whatever plays as the performance's primary segment.
        if (record->segment == nullptr) return -1;
        IDirectMusicSegment8_SetRepeats(record->segment, loop ? DMUS_SEG_REPEAT_INFINITE : 0);
        if (FAILED(IDirectMusicPerformance8_PlaySegmentEx(SoundDeviceStateRecord.performance, record->segment, nullptr,
                                                          nullptr, 0, 0, nullptr, nullptr, nullptr)))
            return -1;
        record->playing = 1;
        record->startSeen = 0;
        return 0;
    }
    if (record->midiMemory == nullptr) return -1;
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

int HandleMciNotifyMessage(uintptr_t flags, intptr_t device) {
    // Switching pieces closes the old device, whose "aborted" arrives once the new one
    // plays; taken for the new piece's end it would close the new piece or, looping,
    // replay it, which supersedes the play and posts the next notification, for ever.
    if (static_cast<UINT>(device) != MusicStateRecord.mciDeviceId || flags == MCI_NOTIFY_ABORTED ||
        flags == MCI_NOTIFY_SUPERSEDED)
        return 0;
    return HandleMciPlayNotify();
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
