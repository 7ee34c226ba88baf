// module.h - loading a system library by name and finding its exports.
//
// There are no dynamic libraries of the platform here: the layer knows the few modules
// the library loads by name and serves their exports from its own code. Names compare
// without case; an unknown module fails to load, an unknown export gives null.
//
//     HMODULE dll = LoadLibraryA("DSOUND.DLL");
//     auto enumerate = (HRESULT (*)(...))GetProcAddress(dll, "DirectSoundEnumerateA");
//     FreeLibrary(dll);
//
// Known modules: "DSOUND.DLL" (export "DirectSoundEnumerateA", dsound.h).
#pragma once

#include "platform/wintypes.h"

HMODULE LoadLibraryA(const char* name);
void* GetProcAddress(HMODULE module, const char* exportName);
BOOL FreeLibrary(HMODULE module);
