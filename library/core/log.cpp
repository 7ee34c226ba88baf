// The log file. See log.h.
#include "library/core/log.h"

#include <cstdarg>
#include <cstring>

#include "library/core/alloc.h"
#include "library/core/apilock.h"
#include "library/core/startup.h"
#include "library/core/format.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/timing.h"
#include "platform/kernel/debug_output.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/log_file_io.h"

enum { LogFormatCapacity = 1024, LogInlineTextLimit = 255 };

static const char PlainLogFileName[] = "Log.txt";

char* MakeDatedLogFileName(char* out, const int f[6]) {
    FormatText(out, 64, "Log%d_%d_%d_%d_%d_%d.txt", f[0], f[1], f[2], f[3], f[4], f[5]);
    return out;
}

// Start directory + file name, built once.
static void BuildLogFilePath(LogState& log, const char* startDirectory) {
    if (log.fileName[0] == '\0') CopyTextBounded(log.fileName, sizeof(log.fileName), PlainLogFileName);
    log.filePath[0] = '\0';
    size_t length = std::strlen(startDirectory);
    if (length > 0) {
        CopyTextBounded(log.filePath, sizeof(log.filePath), startDirectory);
        const char* lastSlash = FindLastCharInText(startDirectory, '\\');
        const char* lastForward = FindLastCharInText(startDirectory, '/');
        const char* end = startDirectory + length - 1;
        if (lastSlash != end && lastForward != end) AppendTextBounded(log.filePath, sizeof(log.filePath), "\\");
    }
    AppendTextBounded(log.filePath, sizeof(log.filePath), log.fileName);
}

int StartLogFile(void) {
    SystemState& s = SystemStateRecord;
    if (s.settings.loggingOff || s.settings.userWindowMode) return 1;
    LogState& log = s.log;
    if (s.settings.datedLogName) {
        int fields[6];
        GetLocalDateFields(fields);
        MakeDatedLogFileName(log.fileName, fields);
    } else {
        CopyTextBounded(log.fileName, sizeof(log.fileName), PlainLogFileName);
    }
    BuildLogFilePath(log, s.startDirectory);
    RecreateLogFile(log.filePath);
    log.indentLevel = 0;
    log.midLine = 0;
    log.startTime = static_cast<uint32_t>(GetTimeMillisecondsCore(0));
    return 1;
}

int EndLogFile(void) { return 0; }

int IncLogIndent(void) {
    SystemStateRecord.log.indentLevel++;
    return 0;
}

int DecLogIndent(void) {
    if (SystemStateRecord.log.indentLevel > 0) SystemStateRecord.log.indentLevel--;
    return 0;
}

// Copies text into out, writing each bare line feed as CR LF, up to the first line
// feed that already has a CR before it; from there the rest is copied unchanged.
// out needs 2 * strlen(text) + 1 bytes. Returns the output length.
static size_t ConvertLineFeeds(const char* text, char* out) {
    char* o = out;
    const char* p = text;
    for (;;) {
        const char* lf = FindCharInText(p, '\n');
        if (lf == nullptr || (lf > text && lf[-1] == '\r')) break;
        size_t run = size_t(lf - p);
        std::memcpy(o, p, run);
        o += run;
        *o++ = '\r';
        *o++ = '\n';
        p = lf + 1;
    }
    size_t rest = std::strlen(p);
    std::memcpy(o, p, rest + 1);
    return size_t(o - out) + rest;
}

static void AppendToLogFile(LogState& log, const SystemSettings& settings, const char* text, size_t length) {
    int file = OpenLogFileForAppend(log.filePath);
    if (file < 0) return;
    if (log.midLine == 0) {
        if (!settings.noLogStamp) {
            char stamp[16];
            int elapsed = static_cast<int>(static_cast<uint32_t>(GetTimeMillisecondsCore(0)) - log.startTime);
            FormatText(stamp, sizeof(stamp), "%d:", elapsed);
            WriteLogFileBytes(file, stamp, std::strlen(stamp));
        }
        for (int i = 0; i < log.indentLevel; i++) {
            WriteLogFileBytes(file, "\t", 1);
            OutputDebugStringA("\t");
        }
    }
    WriteLogFileBytes(file, text, length);
    OutputDebugStringA(text);
    log.midLine = text[length - 1] != '\n' ? 1 : 0;
    CloseLogFile(file);
}

int WriteLogText(const char* text) {
    SystemState& s = SystemStateRecord;
    // An empty text writes nothing (no stamp either) and leaves mid-line as it was.
    if (text == nullptr || text[0] == '\0') return -1;
    size_t length = std::strlen(text);
    char inlineBuffer[2 * LogInlineTextLimit + 1];
    char* converted = inlineBuffer;
    if (length > LogInlineTextLimit) {
        converted = static_cast<char*>(ZqAlloc(2 * length + 1));
    }
    const char* output = text;
    size_t outputLength = length;
    if (converted != nullptr) {
        outputLength = ConvertLineFeeds(text, converted);
        output = converted;
    }

    if (s.settings.userWindowMode) {
        OutputDebugStringA(output);
    } else if (!s.settings.loggingOff && s.startDirectory[0] != '\0') {
        if (s.log.filePath[0] == '\0') BuildLogFilePath(s.log, s.startDirectory);
        AppendToLogFile(s.log, s.settings, output, outputLength);
    }

    if (converted != nullptr && converted != inlineBuffer) ZqFree(converted);
    return -1;
}

int WriteLogFormat(const char* format, ...) {
    char buffer[LogFormatCapacity];
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(buffer, LogFormatCapacity - 1, format, arguments);
    va_end(arguments);
    AppendText(buffer, "\n");
    return WriteLogText(buffer);
}

void FatalErrorExit(const char* text) {
    WriteLogText(text);
    WriteLogText("\n");
    ShutdownLibraryCore();
    TearDownApiLock();
    ExitProcess(static_cast<UINT>(-1));
}

void FatalErrorExitFormat(const char* format, ...) {
    char buffer[LogFormatCapacity];
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(buffer, LogFormatCapacity, format, arguments);
    va_end(arguments);
    FatalErrorExit(buffer);
}
