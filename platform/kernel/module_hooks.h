// module_hooks.h - what the test seams change in the module loader (module.h).
#pragma once

struct ModuleHooks {
    const char* failLoad = nullptr;    // this module name fails to load
    const char* hideExport = nullptr;  // this export is not found
};
ModuleHooks& ModuleHooksRecord(void);
