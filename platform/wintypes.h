// wintypes.h - the basic value types of the platform layer.
//
// The library was written against a 32-bit desktop API; the platform layer keeps
// that API's contract (argument and result types, handle values, rectangles) so the
// library code reads as it was designed. Only what the library uses is declared.
// Sizes follow the contract (DWORD is 32 bits, LONG is 32 bits); handles and the
// message parameters are pointer-sized on x86-64.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Opaque handles. Each kind is a distinct pointer type so the compiler keeps them apart.
struct PlatformObject;       // kernel objects: threads, events, files, find handles
struct PlatformWindow;
struct PlatformDC;
struct PlatformGdiObject;    // fonts, bitmaps, brushes, regions
struct PlatformMenu;
struct PlatformModule;
struct PlatformIcon;
struct PlatformCursor;

using HANDLE = PlatformObject*;
using HWND = PlatformWindow*;
using HDC = PlatformDC*;
using HGDIOBJ = PlatformGdiObject*;
using HFONT = PlatformGdiObject*;
using HBITMAP = PlatformGdiObject*;
using HBRUSH = PlatformGdiObject*;
using HRGN = PlatformGdiObject*;
using HMENU = PlatformMenu*;
using HINSTANCE = PlatformModule*;
using HMODULE = PlatformModule*;
using HICON = PlatformIcon*;
using HCURSOR = PlatformCursor*;

// The value an open call returns on failure.
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define S_OK static_cast<HRESULT>(0)
#define S_FALSE static_cast<HRESULT>(1)
#define E_FAIL static_cast<HRESULT>(0x80004005u)
#define E_OUTOFMEMORY static_cast<HRESULT>(0x8007000Eu)
#define E_INVALIDARG static_cast<HRESULT>(0x80070057u)
#define E_NOTIMPL static_cast<HRESULT>(0x80004001u)
#define E_POINTER static_cast<HRESULT>(0x80004003u)
#define E_NOINTERFACE static_cast<HRESULT>(0x80004002u)

// A 16-byte interface or class identifier.
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// File times: 100-nanosecond ticks since 1601-01-01 UTC, split into two words.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

#ifndef MAX_PATH
#define MAX_PATH 260
#endif
