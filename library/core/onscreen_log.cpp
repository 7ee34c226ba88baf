// The on-screen log. See onscreen_log.h.
#include "library/core/onscreen_log.h"

#include <cstring>

#include "library/core/memory_bytes.h"
#include "library/display/color_format.h"
#include "library/display/screen_state.h"
#include "library/font/font.h"
#include "library/graph/draw_front.h"

static OnScreenLogState& State() { return SystemStateRecord.onScreenLog; }

static void NewLine(OnScreenLogState& log, const OnScreenLogScreen& screen) {
    int visible = screen.height / log.lineHeight;
    if (visible > OnScreenLogLineCount) visible = OnScreenLogLineCount;
    if (log.currentLine + 1 < visible) {
        log.currentLine++;
    } else if (log.currentLine > 0) {
        MoveMemoryBytes(log.lines[0], log.lines[1], size_t(log.currentLine) * OnScreenLogLineBytes);
    }
    FillMemoryBytes(log.lines[log.currentLine], 0, OnScreenLogLineBytes);
    log.lineWidth = 0;
    log.bytesInLine = 0;
}

// Adds one character (1 or 2 bytes); returns its length.
static int AddCharacter(OnScreenLogState& log, const OnScreenLogScreen& screen, const char* bytes) {
    int length = (IsDoubleByteLead(static_cast<unsigned char>(bytes[0])) && bytes[1] != '\0') ? 2 : 1;
    int width = screen.measure(bytes, length, log.font);
    if (width < 0) width = 0;
    if (log.bytesInLine + length >= OnScreenLogLineBytes || log.lineWidth + width >= screen.width) {
        NewLine(log, screen);
    }
    log.lineWidth += width;
    char* line = log.lines[log.currentLine];
    std::memcpy(line + log.bytesInLine, bytes, size_t(length));
    log.bytesInLine += length;
    line[log.bytesInLine] = '\0';
    return length;
}

int LayOutOnScreenLogText(OnScreenLogState* log, const OnScreenLogScreen* screen, const char* text) {
    if (log->lineHeight <= 0) log->lineHeight = 16;
    if (log->tabWidth <= 0) log->tabWidth = 4;
    for (const char* p = text; *p != '\0';) {
        switch (*p) {
            case '\n':
                NewLine(*log, *screen);
                p++;
                break;
            case '\t':
                for (int i = 0; i < log->tabWidth; i++) AddCharacter(*log, *screen, " ");
                p++;
                break;
            case 7: case 8: case 11: case 12: case 13: case '?':
                p++;
                break;
            default:
                p += AddCharacter(*log, *screen, p);
                break;
        }
    }
    return 0;
}

static int MeasureWithFont(const char* bytes, int length, int font) {
    return MeasureTextWidthWithFont(bytes, length, font, 0);
}

static void EnsureFont(OnScreenLogState& log) {
    if (log.fontMissing != 1) return;
    log.font = CreateFontToHandle(nullptr, 16, 4, FontTypeOutlined, -1, -1, 0, -1, -1);
    if (log.font == -1) return;  // no font: try again at the next use
    log.fontMissing = 0;
    SetFontDeletedFlagPointer(log.font, &log.fontMissing);
}

// Starts the log on first use; 0 when it is ready (font made sure of), else -1.
static int PrepareLog() {
    OnScreenLogState& log = State();
    if (!log.initialised && InitOnScreenLog() != 0) return -1;
    EnsureFont(log);
    return 0;
}

static void ClearLines(OnScreenLogState& log) {
    FillMemoryBytes(log.lines, 0, sizeof(log.lines));
    log.currentLine = 0;
    log.bytesInLine = 0;
    log.lineWidth = 0;
}

int InitOnScreenLog(void) {
    if (GetDirectDrawObject() == nullptr || GetAppWindowHandle() == nullptr) return -1;
    OnScreenLogState& log = State();
    if (log.initialised) return 0;
    log.initialised = 1;
    log.lineHeight = 16;
    log.font = -1;
    log.fontMissing = 1;
    EnsureFont(log);
    log.shown = 0;
    log.tabWidth = 4;
    ClearLines(log);
    return 0;
}

int AddOnScreenLogText(const char* text) {
    if (PrepareLog() != 0) return 0;
    OnScreenLogScreen screen{};
    GetScreenPixelSize(&screen.width, &screen.height);
    screen.measure = MeasureWithFont;
    return LayOutOnScreenLogText(&State(), &screen, text);
}

int ClearOnScreenLog(void) {
    if (PrepareLog() != 0) return 0;
    ClearLines(State());
    return 0;
}

int DrawOnScreenLog(void) {
    if (PrepareLog() != 0) return 0;
    OnScreenLogState& log = State();
    int height = 0;
    GetScreenPixelSize(nullptr, &height);
    int visible = height / log.lineHeight;
    if (visible > OnScreenLogLineCount) visible = OnScreenLogLineCount;
    const int white = RgbToScreenPixel(255, 255, 255);
    const int black = RgbToScreenPixel(0, 0, 0);
    for (int i = 0; i < visible; i++) {
        DrawTextWithFontHandle(0, i * log.lineHeight, log.lines[i], white, log.font, black, 0);
    }
    return 0;
}

int CheckOnScreenLogShown(void) { return State().shown; }

int EndOnScreenLog(void) {
    OnScreenLogState& log = State();
    if (!log.initialised) return 0;
    if (log.fontMissing == 0) DestroyFontHandle(log.font);
    log.fontMissing = 1;
    log.font = -1;
    log.initialised = 0;
    return 0;
}
