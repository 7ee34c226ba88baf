// debug_output.h - the debugger output channel of the kernel group.
//
// Texts go to standard error only when ZQ_DEBUG_OUTPUT=1 is set in the environment,
// so standard output stays clean for the program's own texts.
#pragma once

void OutputDebugStringA(const char* text);
