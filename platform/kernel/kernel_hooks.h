// kernel_hooks.h - state of the kernel group that the test seams replace
// (platform/kernel/testing/kernel_seams.h). Not for library code.
#pragma once

#include <atomic>

#include "platform/kernel/kernel.h"

// When set, reported instead of the machine's values.
extern const MEMORYSTATUS* KernelFakeMemoryStatus;
extern const OSVERSIONINFOA* KernelFakeVersion;
extern UINT KernelOemCodePage;

// Number of further HeapAlloc calls that fail (failure injection).
extern std::atomic<int> KernelHeapFailures;
