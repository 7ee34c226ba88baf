// kernel_files_seams.cpp - test seams of the kernel group's file calls.
#include "platform/kernel/testing/kernel_files_seams.h"

#include "platform/kernel/kernel_files.h"
#include "platform/kernel/kernel_files_hooks.h"

void SetFakeCurrentDirectory(const char* libraryPath) { KernelFilesSetDirectoryOverride(libraryPath); }

void HoldFileReads(bool hold) { KernelFilesHoldReads(hold); }

unsigned long CountFileOpenCalls(void) { return KernelFilesOpenCount(); }

unsigned long CountFileReadCalls(void) { return KernelFilesReadCount(); }
