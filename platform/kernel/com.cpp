// Per-thread start counts of the component-object layer (see com.h).
#include "platform/kernel/com.h"

static thread_local int comStartCount = 0;

HRESULT CoInitialize(void* reserved) {
    if (reserved != nullptr) return E_INVALIDARG;
    return comStartCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize(void) {
    if (comStartCount > 0) --comStartCount;
}
