// last_error.cpp - the calling thread's last error. See last_error.h.
#include "platform/kernel/last_error.h"

namespace {

thread_local DWORD LastError = ERROR_SUCCESS;

}  // namespace

DWORD GetLastError(void) { return LastError; }

void SetLastError(DWORD error) { LastError = error; }
