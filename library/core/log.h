// log.h - the library's log file ("Log.txt") and the fatal-error exit.
//
// Every progress and failure text goes through WriteLogText, which appends it to
// the log file in the start directory: a new entry begins with "<ms>:" and one TAB
// per indent level; bare line feeds become CR LF. WriteLogText always returns -1,
// so a failing path ends with `return WriteLogText("...");`.
//
// The file is opened, appended and closed on every call. StartLogFile (at start-up,
// after the start directory is known) creates it anew and fixes its absolute path.
// The settings (logging off, dated name, no stamp, user-window mode) and the state
// live in SystemState (system_state.h).
#pragma once

int StartLogFile(void);
int EndLogFile(void);
int WriteLogText(const char* text);
int WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
int IncLogIndent(void);
int DecLogIndent(void);

// Logs the text and a newline, shuts the library down and ends the process with -1.
[[noreturn]] void FatalErrorExit(const char* text);
[[noreturn]] void FatalErrorExitFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The dated log name for a start at the given local date and time:
// "Log2026_3_9_14_5_7.txt". `out` needs 64 bytes.
char* MakeDatedLogFileName(char* out, const int dateFields[6]);
