// kernel_files_hooks.h - state of the file calls that the test seams replace
// (platform/kernel/testing/kernel_files_seams.h). Not for library code.
#pragma once

// Reported by GetCurrentDirectoryA instead of the real directory; null restores it.
void KernelFilesSetDirectoryOverride(const char* libraryPath);
// While held, every ReadFile waits before it reads.
void KernelFilesHoldReads(bool hold);
// CreateFileA calls so far.
unsigned long KernelFilesOpenCount(void);
// ReadFile calls so far.
unsigned long KernelFilesReadCount(void);
