// dmusic.cpp - DirectMusic, absent from this layer (see dmusic.h).
#include "platform/dmusic.h"

#include <iconv.h>

#include <cstring>

const GUID CLSID_DirectMusicLoader = {0x5D50D001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x4C, 0x4F, 0x41, 0x44}};
const GUID CLSID_DirectMusicPerformance = {0x5D50D002u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x50, 0x45, 0x52, 0x46}};
const GUID CLSID_DirectMusic = {0x5D50D003u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x43}};
const GUID IID_IDirectMusicLoader8 = {0x5D50E001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x4C, 0x4F, 0x41, 0x38}};
const GUID IID_IDirectMusicPerformance8 = {0x5D50E002u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x50, 0x45, 0x52, 0x38}};
const GUID IID_IDirectMusic = {0x5D50E003u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x00}};
const GUID IID_IDirectMusic8 = {0x5D50E004u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x44, 0x4D, 0x55, 0x53, 0x49, 0x38}};
const GUID GUID_PerfMasterVolume = {0x5D50F001u, 0x2B1C, 0x4C77, {0x9A, 0x10, 0x4D, 0x56, 0x4F, 0x4C, 0x00, 0x00}};

HRESULT DirectMusicCreateInstance(REFCLSID, DWORD, REFIID, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return REGDB_E_CLASSNOTREG;
}

HRESULT IDirectMusic_QueryInterface(IDirectMusic*, REFIID, void** out) {
    if (out != nullptr) *out = nullptr;
    return E_POINTER;
}
ULONG IDirectMusic_Release(IDirectMusic*) { return 0; }
HRESULT IDirectMusic8_EnumPort(IDirectMusic*, DWORD, DMUS_PORTCAPS*) { return E_POINTER; }
ULONG IDirectMusicLoader8_Release(IDirectMusicLoader8*) { return 0; }
HRESULT IDirectMusicLoader8_ReleaseObjectByUnknown(IDirectMusicLoader8*, void*) { return E_POINTER; }
HRESULT IDirectMusicPerformance8_InitAudio(IDirectMusicPerformance8*, IDirectMusic**, IDirectSound**, HWND, DWORD,
                                           DWORD, DWORD, DMUS_AUDIOPARAMS*) {
    return E_POINTER;
}
HRESULT IDirectMusicPerformance8_GetGlobalParam(IDirectMusicPerformance8*, REFIID, void*, DWORD) { return E_POINTER; }
HRESULT IDirectMusicPerformance8_Stop(IDirectMusicPerformance8*, IDirectMusicSegment8*, IDirectMusicSegmentState*,
                                      int64_t, DWORD) {
    return E_POINTER;
}
HRESULT IDirectMusicPerformance8_StopEx(IDirectMusicPerformance8*, void*, int64_t, DWORD) { return E_POINTER; }
HRESULT IDirectMusicPerformance8_IsPlaying(IDirectMusicPerformance8*, IDirectMusicSegment8*,
                                           IDirectMusicSegmentState*) {
    return E_POINTER;
}
HRESULT IDirectMusicPerformance8_CloseDown(IDirectMusicPerformance8*) { return E_POINTER; }
ULONG IDirectMusicPerformance8_Release(IDirectMusicPerformance8*) { return 0; }
HRESULT IDirectMusicSegment8_Unload(IDirectMusicSegment8*, IDirectMusicPerformance8*) { return E_POINTER; }
ULONG IDirectMusicSegment8_Release(IDirectMusicSegment8*) { return 0; }

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
