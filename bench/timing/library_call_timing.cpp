// library_call_timing.cpp - the totals of library_call_timing.h.
#include "library_call_timing.h"

#include <time.h>

double LibraryCallMicros[LibraryCallKinds];

static double NowMicros() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

LibraryCallScope::LibraryCallScope(LibraryCallKind callKind) : kind(callKind), start(NowMicros()) {}
LibraryCallScope::~LibraryCallScope() { LibraryCallMicros[kind] += NowMicros() - start; }
