// handles.h - the integer handle layout shared by every resource table.
//
//   bit 31     error (only in negative values such as -1)
//   bits 27-30 HandleKind
//   bits 16-26 check number 0..2047, stored in the record, refuses stale handles
//   bits 0-15  slot index
#pragma once

#include <cstdint>

// A handle of any resource table; -1 (or any negative value) is the error value.
using ResourceHandle = int;

enum HandleKind {
    HandleKindGraph = 1,
    HandleKindSound = 2,
    HandleKindMovie = 3,
    HandleKindFont = 4,
    HandleKindSurface2D = 5,
    HandleKindSurface3D = 6,
    HandleKindSurfaceData = 7,
    HandleKindMaskData = 8,
    HandleKindNetWork = 9,
    HandleKindTextEntry = 10,
    HandleKindMusic = 11,
};

enum {
    HandleErrorBit = (int)0x80000000u,
    HandleKindMask = 0x78000000,
    HandleCheckMask = 0x07FF0000,
    HandleSlotMask = 0x0000FFFF,
    HandleCheckLimit = 2048,
};

constexpr int HandleKindConstant(int kind) { return kind << 27; }
constexpr int MakeResourceHandle(int kind, int check, int slot) {
    return slot | (check << 16) | (kind << 27);
}
constexpr int HandleSlot(int handle) { return handle & HandleSlotMask; }
constexpr int HandleCheck(int handle) { return (handle & HandleCheckMask) >> 16; }
constexpr int HandleKindOf(int handle) { return (handle & HandleKindMask) >> 27; }
