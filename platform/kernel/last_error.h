// last_error.h - the calling thread's last error, and the error values the layer uses.
//
// A failed file call (kernel_files.h) or GDI call (platform/gdi/gdi.h, gdi_font.h)
// leaves its reason here, with the value the library's platform gives for the same
// failure; a successful call leaves the value as it was, except where a call's contract
// says it clears it (SetFilePointer, GetFileSize). Each thread has its own value, so a
// failure on one thread never shows in another thread's log line. DirectDraw, Direct3D
// and the other COM-style groups answer with their HRESULT instead.
#pragma once

#include "platform/wintypes.h"

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_NO_MORE_FILES 18u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_BAD_NETPATH 53u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_INVALID_NAME 123u
#define ERROR_NEGATIVE_SEEK 131u
#define ERROR_BUSY 170u

DWORD GetLastError(void);
void SetLastError(DWORD error);
