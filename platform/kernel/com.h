// com.h - the component-object start and end calls of the platform layer.
//
// The layer's objects need no apartment; CoInitialize only counts the calls per
// thread so the contract holds: S_OK for the first call on a thread, S_FALSE for a
// repeated one, and every call is matched by one CoUninitialize.
#pragma once

#include "platform/wintypes.h"

HRESULT CoInitialize(void* reserved);
void CoUninitialize(void);
