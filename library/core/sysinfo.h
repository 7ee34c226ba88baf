// sysinfo.h - the system-information block written into the log at start-up.
//
// LogSystemInfo identifies the OS (as an OS code), the processor (CPUID vendor,
// brand, time-stamp counter, MMX) and measures the processor clock over 100 ms of
// the millisecond clock; the results go into SystemState's `head`. It also raises
// the multimedia-timer resolution to its finest value for the whole run.
#pragma once

#include <cstdint>

int LogSystemInfo(void);

// The OS name suffix and code for a version record: "XP" and 0x107 for NT 5.1.
// Returns 1 when the table has a row for it, else 0 (the suffix is then empty and
// the code is left as it was).
int LookupOsNameAndCode(uint32_t platformId, uint32_t major, uint32_t minor, const char* servicePack,
                        char suffix[16], int32_t* osCode);
