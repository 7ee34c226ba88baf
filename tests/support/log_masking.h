// log_masking.h - Log.txt text with its run-to-run numbers masked, for comparisons.
//
// Plain string scanning: std::regex draws a false -Wmaybe-uninitialized from
// libstdc++ under the sanitizers.
#pragma once

#include <cctype>
#include <string>

// Replaces the "<ms>:" stamp at the start of every line with `replacement` + ":"
// (or removes it, stamp and colon, when `keepColon` is false).
inline std::string ReplaceLineStamps(const std::string& log, const std::string& replacement, bool keepColon) {
    std::string out;
    size_t i = 0;
    while (i < log.size()) {
        size_t j = i;
        while (j < log.size() && std::isdigit(static_cast<unsigned char>(log[j]))) j++;
        if (j > i && j < log.size() && log[j] == ':') {
            out += replacement;
            if (keepColon) out += ':';
            i = j + 1;
        }
        size_t end = log.find('\n', i);
        end = end == std::string::npos ? log.size() : end + 1;
        out.append(log, i, end - i);
        i = end;
    }
    return out;
}

// Replaces every run of digits that directly follows `prefix` with "#".
inline std::string MaskDigitsAfter(const std::string& log, const std::string& prefix) {
    std::string out;
    size_t i = 0;
    for (size_t at; (at = log.find(prefix, i)) != std::string::npos;) {
        size_t j = at + prefix.size();
        out.append(log, i, j - i);
        size_t k = j;
        while (k < log.size() && std::isdigit(static_cast<unsigned char>(log[k]))) k++;
        if (k > j) out += '#';
        i = k;
    }
    out.append(log, i, std::string::npos);
    return out;
}

// Replaces every run of digits that directly precedes `suffix` with "#".
inline std::string MaskDigitsBefore(const std::string& log, const std::string& suffix) {
    std::string out;
    size_t i = 0;
    for (size_t at; (at = log.find(suffix, i)) != std::string::npos;) {
        size_t start = at;
        while (start > i && std::isdigit(static_cast<unsigned char>(log[start - 1]))) start--;
        out.append(log, i, start - i);
        if (start < at) out += '#';
        out += suffix;
        i = at + suffix.size();
    }
    out.append(log, i, std::string::npos);
    return out;
}
