// dmusic.cpp - DirectMusic's class factory, the music object and its port list, the
// loader and the segments it makes (see dmusic.h; the performance is in
// dmusic_performance.cpp).
#include "platform/sound/dmusic.h"

#include <iconv.h>

#include <cstring>
#include <map>
#include <new>

#include "platform/sound/dmusic_internal.h"
#include "platform/sound/dsound_internal.h"

const GUID CLSID_DirectMusicLoader = {0x5D50D001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x4C, 0x4F, 0x41, 0x44}};
const GUID CLSID_DirectMusicPerformance = {0x5D50D002u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x50, 0x45, 0x52, 0x46}};
const GUID CLSID_DirectMusic = {0x5D50D003u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x43}};
const GUID CLSID_DirectMusicSegment = {0x5D50D004u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x53, 0x45, 0x47, 0x4D}};
const GUID IID_IDirectMusicLoader8 = {0x5D50E001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x4C, 0x4F, 0x41, 0x38}};
const GUID IID_IDirectMusicPerformance8 = {0x5D50E002u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x50, 0x45, 0x52, 0x38}};
const GUID IID_IDirectMusic = {0x5D50E003u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x00}};
const GUID IID_IDirectMusic8 = {0x5D50E004u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x38}};
const GUID IID_IDirectMusicSegment8 = {0x5D50E005u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x53, 0x45, 0x47, 0x38}};
const GUID GUID_PerfMasterVolume = {0x5D50F001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x4D, 0x56, 0x4F, 0x4C, 0x00, 0x00}};

namespace {

using Lock = std::lock_guard<std::mutex>;

// The most MIDI data one segment holds.
constexpr LONGLONG MidiLimit = 16 << 20;

const GUID synthPortGuid = {0x5D50F101u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x53, 0x59, 0x4E, 0x54, 0x48, 0x00}};

std::map<const void*, DmusicKind>& Live(void) {
    static std::map<const void*, DmusicKind> live;
    return live;
}

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// A standard MIDI file: the "MThd" chunk of at least six bytes with format 0 to 2, one
// track or more and a non-zero division, followed by the first "MTrk" chunk.
bool StandardMidiFile(const uint8_t* data, LONGLONG size) {
    if (size < 22 || std::memcmp(data, "MThd", 4) != 0) return false;
    const uint32_t headerLength = Be32(data + 4);
    if (headerLength < 6 || headerLength > static_cast<uint64_t>(size) - 16) return false;
    if (Be16(data + 8) > 2 || Be16(data + 10) == 0 || Be16(data + 12) == 0) return false;
    return std::memcmp(data + 8 + headerLength, "MTrk", 4) == 0;
}

}  // namespace

DmusicTestSettings& DmusicTests(void) {
    static DmusicTestSettings settings;
    return settings;
}

bool DmusicAlive(const void* object, DmusicKind kind) {
    if (object == nullptr) return false;
    auto it = Live().find(object);
    return it != Live().end() && it->second == kind;
}

void DmusicTrack(const void* object, DmusicKind kind) { Live()[object] = kind; }
void DmusicForget(const void* object) { Live().erase(object); }

int DmusicLiveCount(void) {
    Lock lock(DsoundMutex());
    return static_cast<int>(Live().size());
}

void DmusicReleaseSegmentLocked(IDirectMusicSegment8* s) {
    if (--s->refs > 0) return;
    DmusicForget(s);
    delete s;
}

IDirectMusic* DmusicNewMusicObject(void) {
    auto* dm = new (std::nothrow) IDirectMusic;
    if (dm == nullptr) return nullptr;
    Lock lock(DsoundMutex());
    DmusicTrack(dm, DmusicKind::Music);
    return dm;
}

HRESULT DirectMusicCreateInstance(REFCLSID clsid, DWORD, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    {
        Lock lock(DsoundMutex());
        const DmusicTestSettings& t = DmusicTests();
        if (t.failClass && IsEqualGUID(clsid, t.failedClass)) return REGDB_E_CLASSNOTREG;
    }
    // Without the soundfont there is no synthesizer to play anything on.
    if (FindGeneralMidiSoundFont().empty()) return REGDB_E_CLASSNOTREG;
    if (IsEqualGUID(clsid, CLSID_DirectMusic)) {
        if (!IsEqualGUID(iid, IID_IDirectMusic) && !IsEqualGUID(iid, IID_IDirectMusic8)) return E_NOINTERFACE;
        *out = DmusicNewMusicObject();
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    if (IsEqualGUID(clsid, CLSID_DirectMusicLoader)) {
        if (!IsEqualGUID(iid, IID_IDirectMusicLoader8)) return E_NOINTERFACE;
        auto* loader = new (std::nothrow) IDirectMusicLoader8;
        if (loader == nullptr) return E_OUTOFMEMORY;
        Lock lock(DsoundMutex());
        DmusicTrack(loader, DmusicKind::Loader);
        *out = loader;
        return S_OK;
    }
    if (IsEqualGUID(clsid, CLSID_DirectMusicPerformance)) {
        if (!IsEqualGUID(iid, IID_IDirectMusicPerformance8)) return E_NOINTERFACE;
        auto* perf = new (std::nothrow) IDirectMusicPerformance8;
        if (perf == nullptr) return E_OUTOFMEMORY;
        Lock lock(DsoundMutex());
        DmusicTrack(perf, DmusicKind::Performance);
        *out = perf;
        return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
}

// ---- the music object ----

HRESULT IDirectMusic_QueryInterface(IDirectMusic* dm, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Lock lock(DsoundMutex());
    if (!DmusicAlive(dm, DmusicKind::Music)) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IDirectMusic) && !IsEqualGUID(iid, IID_IDirectMusic8)) return E_NOINTERFACE;
    ++dm->refs;
    *out = dm;
    return S_OK;
}

ULONG IDirectMusic_Release(IDirectMusic* dm) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(dm, DmusicKind::Music)) return 0;
    if (--dm->refs > 0) return static_cast<ULONG>(dm->refs);
    DmusicForget(dm);
    delete dm;
    return 0;
}

HRESULT IDirectMusic8_EnumPort(IDirectMusic* dm, DWORD index, DMUS_PORTCAPS* caps) {
    {
        Lock lock(DsoundMutex());
        if (!DmusicAlive(dm, DmusicKind::Music)) return E_POINTER;
    }
    if (caps == nullptr) return E_POINTER;
    if (caps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
    if (index > 0) return S_FALSE;
    std::string font = FindGeneralMidiSoundFont();
    font = font.substr(font.find_last_of('/') + 1);
    const std::string description = "General MIDI Software Synthesizer (" + font + ")";
    std::memset(reinterpret_cast<uint8_t*>(caps) + sizeof caps->dwSize, 0, sizeof *caps - sizeof caps->dwSize);
    caps->dwFlags = DMUS_PC_SOFTWARESYNTH | DMUS_PC_GMINHARDWARE;
    caps->guidPort = synthPortGuid;
    caps->dwClass = DMUS_PC_OUTPUTCLASS;
    caps->dwType = DMUS_PORT_USER_MODE_SYNTH;
    caps->dwMaxChannelGroups = 1;
    caps->dwMaxVoices = 256;
    caps->dwMaxAudioChannels = 2;
    // The file name is shown as far as it is ASCII.
    for (size_t i = 0; i < description.size() && i < 127; ++i) {
        const auto c = static_cast<unsigned char>(description[i]);
        caps->wszDescription[i] = c < 0x80 ? c : '?';
    }
    return S_OK;
}

// ---- the loader ----

ULONG IDirectMusicLoader8_Release(IDirectMusicLoader8* loader) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(loader, DmusicKind::Loader)) return 0;
    if (--loader->refs > 0) return static_cast<ULONG>(loader->refs);
    for (IDirectMusicSegment8* s : loader->cache) DmusicReleaseSegmentLocked(s);
    DmusicForget(loader);
    delete loader;
    return 0;
}

HRESULT IDirectMusicLoader8_GetObject(IDirectMusicLoader8* loader, const DMUS_OBJECTDESC* desc, REFIID iid,
                                      void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    {
        Lock lock(DsoundMutex());
        if (!DmusicAlive(loader, DmusicKind::Loader)) return E_POINTER;
    }
    if (desc == nullptr || desc->dwSize != sizeof(DMUS_OBJECTDESC) || !(desc->dwValidData & DMUS_OBJ_CLASS))
        return E_INVALIDARG;
    if (!IsEqualGUID(desc->guidClass, CLSID_DirectMusicSegment)) return E_NOTIMPL;
    if (!IsEqualGUID(iid, IID_IDirectMusicSegment8)) return E_NOINTERFACE;
    if (!(desc->dwValidData & DMUS_OBJ_MEMORY)) return E_NOTIMPL;  // files and streams are not read here
    if (desc->pbMemData == nullptr || desc->llMemLength <= 0) return E_INVALIDARG;
    if (desc->llMemLength > MidiLimit) return E_OUTOFMEMORY;
    if (!StandardMidiFile(desc->pbMemData, desc->llMemLength)) return DMUS_E_UNSUPPORTED_STREAM;
    auto* segment = new (std::nothrow) IDirectMusicSegment8;
    if (segment == nullptr) return E_OUTOFMEMORY;
    try {
        segment->midi.assign(desc->pbMemData, desc->pbMemData + desc->llMemLength);
        Lock lock(DsoundMutex());
        if (!DmusicAlive(loader, DmusicKind::Loader)) {
            delete segment;
            return E_POINTER;
        }
        loader->cache.push_back(segment);
        segment->refs = 2;  // the caller's and the cache's
        DmusicTrack(segment, DmusicKind::Segment);
    } catch (const std::bad_alloc&) {
        delete segment;
        return E_OUTOFMEMORY;
    }
    *out = segment;
    return S_OK;
}

HRESULT IDirectMusicLoader8_ReleaseObjectByUnknown(IDirectMusicLoader8* loader, void* object) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(loader, DmusicKind::Loader)) return E_POINTER;
    auto& cache = loader->cache;
    for (auto it = cache.begin(); it != cache.end(); ++it) {
        if (*it != object) continue;
        IDirectMusicSegment8* s = *it;
        cache.erase(it);
        DmusicReleaseSegmentLocked(s);
        return S_OK;
    }
    return S_FALSE;
}

// ---- segments ----

HRESULT IDirectMusicSegment8_SetRepeats(IDirectMusicSegment8* segment, DWORD repeats) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(segment, DmusicKind::Segment)) return E_POINTER;
    segment->repeats = repeats;
    return S_OK;
}

// The soundfont holds every instrument, so there is nothing to move; the performance
// must be able to play, as the platform's download needs its ports.
static HRESULT CheckDownloadTarget(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(segment, DmusicKind::Segment) || !DmusicAlive(perf, DmusicKind::Performance)) return E_POINTER;
    return perf->initialized && !perf->closed ? S_OK : E_FAIL;
}

HRESULT IDirectMusicSegment8_Download(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf) {
    return CheckDownloadTarget(segment, perf);
}

HRESULT IDirectMusicSegment8_Unload(IDirectMusicSegment8* segment, IDirectMusicPerformance8* perf) {
    return CheckDownloadTarget(segment, perf);
}

ULONG IDirectMusicSegment8_Release(IDirectMusicSegment8* segment) {
    Lock lock(DsoundMutex());
    if (!DmusicAlive(segment, DmusicKind::Segment)) return 0;
    const int left = segment->refs - 1;
    DmusicReleaseSegmentLocked(segment);
    return static_cast<ULONG>(left);
}

int WideCharToAnsi(const uint16_t* text, int length, char* out, int outSize) {
    if (text == nullptr || out == nullptr || outSize <= 0 || length < 0) return 0;
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char* src = reinterpret_cast<char*>(const_cast<uint16_t*>(text));
    size_t srcLeft = static_cast<size_t>(length) * 2;
    char* dst = out;
    size_t dstLeft = static_cast<size_t>(outSize) - 1;
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return 0;
    *dst = '\0';
    return static_cast<int>(dst - out) + 1;
}
