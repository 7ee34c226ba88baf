// Machine facts and heap failures for tests. See kernel_seams.h.
#include "platform/kernel/testing/kernel_seams.h"

#include "platform/kernel/kernel_hooks.h"

static MEMORYSTATUS FakeMemory;
static OSVERSIONINFOA FakeVersion;

void SetFakeMemoryStatus(const MEMORYSTATUS* status) {
    if (status == nullptr) {
        KernelFakeMemoryStatus = nullptr;
        return;
    }
    FakeMemory = *status;
    KernelFakeMemoryStatus = &FakeMemory;
}

void SetFakeVersionInfo(const OSVERSIONINFOA* info) {
    if (info == nullptr) {
        KernelFakeVersion = nullptr;
        return;
    }
    FakeVersion = *info;
    KernelFakeVersion = &FakeVersion;
}

void SetFakeOemCodePage(UINT codePage) { KernelOemCodePage = codePage == 0 ? 932 : codePage; }

void FailNextHeapAllocations(int count) { KernelHeapFailures = count; }
