// Size and remaining-time texts. See progress_text.h.
#include "library/network/progress_text.h"

#include <cstring>

#include "library/core/format.h"
#include "library/core/text.h"

enum { ByteSizeTextBytes = 32, RemainingTimeTextBytes = 64 };

int FormatByteSizeText(int bytes, char* out) {
    const double value = bytes;
    if (value > 858993459.2) {
        FormatText(out, ByteSizeTextBytes, "%.1f", value / 1073741824.0);
        return 'G';
    }
    if (value > 838860.8) {
        FormatText(out, ByteSizeTextBytes, "%.1f", value / 1048576.0);
        return 'M';
    }
    FormatText(out, ByteSizeTextBytes, "%.1f", value / 1024.0);
    if (std::strcmp(out, "-0.0") == 0) CopyText(out, "0.0");
    return 'k';
}

int FormatRemainingTimeText(int milliseconds, char* out) {
    enum { Day = 86400000, Hour = 3600000, Minute = 60000, Second = 1000 };
    int ms = milliseconds;
    out[0] = '\0';
    // Each piece goes after the text so far.
    auto append = [out](const char* format, int value) {
        const size_t used = std::strlen(out);
        FormatText(out + used, RemainingTimeTextBytes - used, format, value);
    };
    bool days = false, hours = false;
    if (ms >= Day) {
        append("%d日 ", ms / Day);
        ms %= Day;
        days = true;
    }
    if (ms >= Hour) {
        append("%d時間 ", ms / Hour);
        ms %= Hour;
        hours = true;
    }
    if (ms >= Minute && !days) {
        append("%d分 ", ms / Minute);
        ms %= Minute;
    }
    if (!days && !hours) append("%d秒", ms / Second);
    return 0;
}
