// kernel_seams.h - fixed machine facts and heap failures for tests.
#pragma once

#include "platform/kernel/kernel.h"

// Replace what GlobalMemoryStatus / GetVersionExA report; null restores the machine's.
// The record is copied.
void SetFakeMemoryStatus(const MEMORYSTATUS* status);
void SetFakeVersionInfo(const OSVERSIONINFOA* info);

// The OEM code page GetOEMCP reports (0 restores 932).
void SetFakeOemCodePage(UINT codePage);

// The next `count` HeapAlloc calls fail.
void FailNextHeapAllocations(int count);
