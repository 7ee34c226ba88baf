// kernel_object.h - the common head of every kernel object behind a HANDLE.
//
// Threads, events, files and find handles are all closed with CloseHandle and some
// of them are waited on with WaitForSingleObject. Each object type puts a
// PlatformObject first and fills in the operations it supports:
//
//     struct PlainFile { PlatformObject head; int fd; };
//     static int ClosePlainFile(PlatformObject* object) { ...; delete file; return TRUE; }
//     file->head = {PlatformObjectFile, ClosePlainFile, nullptr};
//
// CloseHandle calls `close` (which frees the object); WaitForSingleObject calls
// `wait`, and fails for objects that have none.
#pragma once

#include "platform/wintypes.h"

enum PlatformObjectKind : uint32_t {
    PlatformObjectThread = 0x54485244,  // "THRD"
    PlatformObjectEvent = 0x45564E54,   // "EVNT"
    PlatformObjectFile = 0x46494C45,    // "FILE"
    PlatformObjectFind = 0x46494E44,    // "FIND"
};

struct PlatformObject {
    uint32_t kind;
    BOOL (*close)(PlatformObject* object);               // releases the object itself
    DWORD (*wait)(PlatformObject* object, DWORD milliseconds);  // WAIT_* result; null: not waitable
};
