// module.cpp - the modules the layer serves by name (see module.h).
#include "platform/kernel/module.h"

#include <strings.h>

#include <cstring>

#include <atomic>

#include "platform/sound/dsound.h"
#include "platform/kernel/module_hooks.h"

namespace {

struct ModuleExport {
    const char* name;
    void* address;
};

struct KnownModule {
    const char* name;
    const ModuleExport* exports;
    int exportCount;
};

const ModuleExport dsoundExports[] = {
    {"DirectSoundEnumerateA", reinterpret_cast<void*>(&DirectSoundEnumerateA)},
};

const KnownModule knownModules[] = {
    {"DSOUND.DLL", dsoundExports, 1},
};

// A module handle is the address of its table entry.
const KnownModule* FindModule(HMODULE module) {
    for (const KnownModule& m : knownModules)
        if (reinterpret_cast<HMODULE>(const_cast<KnownModule*>(&m)) == module) return &m;
    return nullptr;
}

}  // namespace

ModuleHooks& ModuleHooksRecord(void) {
    static ModuleHooks hooks;
    return hooks;
}

HMODULE LoadLibraryA(const char* name) {
    if (name == nullptr) return nullptr;
    const ModuleHooks& hooks = ModuleHooksRecord();
    for (const KnownModule& m : knownModules) {
        if (strcasecmp(m.name, name) != 0) continue;
        if (hooks.failLoad != nullptr && strcasecmp(hooks.failLoad, name) == 0) return nullptr;
        return reinterpret_cast<HMODULE>(const_cast<KnownModule*>(&m));
    }
    return nullptr;
}

void* GetProcAddress(HMODULE module, const char* exportName) {
    const KnownModule* m = FindModule(module);
    if (m == nullptr || exportName == nullptr) return nullptr;
    const ModuleHooks& hooks = ModuleHooksRecord();
    for (int i = 0; i < m->exportCount; ++i) {
        if (strcmp(m->exports[i].name, exportName) != 0) continue;
        if (hooks.hideExport != nullptr && strcmp(hooks.hideExport, exportName) == 0) return nullptr;
        return m->exports[i].address;
    }
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) { return FindModule(module) != nullptr ? TRUE : FALSE; }
