// library_call_timing.h - times the game's calls into the library, for the frame
// benchmark (bench/game_frames.cpp).
//
// Included ahead of each of the game's source files when the benchmark builds its own
// copy of the game (bench/CMakeLists.txt): every entry point the game calls each frame
// becomes a macro that runs the call inside a LibraryCallScope, which adds the call's
// real time to the total of its kind. The game's code stays as it is; its own work
// (moving objects, the hit tests) is what the totals leave out.
#pragma once

#include "library/core/zqlib.h"

enum LibraryCallKind {
    LibraryDraw,     // clearing, boxes and graphs
    LibraryText,     // strings drawn and measured
    LibraryPresent,  // the present
    LibraryInput,    // keys and the message pump (WaitWithMessages, ProcessMessage)
    LibraryOther,    // the clock, random numbers, colour values
    LibraryCallKinds
};

// Microseconds spent in each kind of call since the program started.
extern double LibraryCallMicros[LibraryCallKinds];

struct LibraryCallScope {
    explicit LibraryCallScope(LibraryCallKind kind);
    ~LibraryCallScope();
    LibraryCallKind kind;
    double start;
};

#define ZQ_TIMED_CALL(kind, call) (LibraryCallScope(kind), call)
#define ClearCurrentScreen(...) ZQ_TIMED_CALL(LibraryDraw, ClearCurrentScreen(__VA_ARGS__))
#define DrawBoxShape(...) ZQ_TIMED_CALL(LibraryDraw, DrawBoxShape(__VA_ARGS__))
#define DrawGraphAt(...) ZQ_TIMED_CALL(LibraryDraw, DrawGraphAt(__VA_ARGS__))
#define DrawGraphMirroredAt(...) ZQ_TIMED_CALL(LibraryDraw, DrawGraphMirroredAt(__VA_ARGS__))
#define DrawGraphPartAt(...) ZQ_TIMED_CALL(LibraryDraw, DrawGraphPartAt(__VA_ARGS__))
#define DrawTextAt(...) ZQ_TIMED_CALL(LibraryText, DrawTextAt(__VA_ARGS__))
#define DrawFormattedTextAt(...) ZQ_TIMED_CALL(LibraryText, DrawFormattedTextAt(__VA_ARGS__))
#define MeasureTextWidth(...) ZQ_TIMED_CALL(LibraryText, MeasureTextWidth(__VA_ARGS__))
#define PresentScreen(...) ZQ_TIMED_CALL(LibraryPresent, PresentScreen(__VA_ARGS__))
#define CheckKeyDown(...) ZQ_TIMED_CALL(LibraryInput, CheckKeyDown(__VA_ARGS__))
#define ProcessMessage(...) ZQ_TIMED_CALL(LibraryInput, ProcessMessage(__VA_ARGS__))
#define WaitWithMessages(...) ZQ_TIMED_CALL(LibraryInput, WaitWithMessages(__VA_ARGS__))
#define GetTimeMilliseconds(...) ZQ_TIMED_CALL(LibraryOther, GetTimeMilliseconds(__VA_ARGS__))
#define GetRandomInt(...) ZQ_TIMED_CALL(LibraryOther, GetRandomInt(__VA_ARGS__))
#define ComposeColorValue(...) ZQ_TIMED_CALL(LibraryOther, ComposeColorValue(__VA_ARGS__))
