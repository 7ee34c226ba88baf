// library_call_timing.cpp - the totals of library_call_timing.h.
//
// A call made while another is being timed (a colour value computed in the arguments
// of a text call) counts toward the outer call only, so no time is counted twice.
// Under callgrind (valgrind's headers present when built), collection is switched on
// for exactly the outermost calls: run with --collect-atstart=no and the instructions
// collected are the library's alone.
#include "library_call_timing.h"

#include <time.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ZQ_TOGGLE_INSTRUCTION_COUNT() CALLGRIND_TOGGLE_COLLECT
#else
#define ZQ_TOGGLE_INSTRUCTION_COUNT() ((void)0)
#endif

double LibraryCallMicros[LibraryCallKinds];

namespace {

int g_depth;  // calls being timed; the game calls the library from one thread

double NowMicros() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

}  // namespace

LibraryCallScope::LibraryCallScope(LibraryCallKind callKind) : kind(callKind), start(0) {
    if (g_depth++ != 0) return;
    start = NowMicros();
    ZQ_TOGGLE_INSTRUCTION_COUNT();
}

LibraryCallScope::~LibraryCallScope() {
    if (--g_depth != 0) return;
    ZQ_TOGGLE_INSTRUCTION_COUNT();
    LibraryCallMicros[kind] += NowMicros() - start;
}
