// Code-page characters and texts through iconv. See gdi_font_codepage.h.
#include "platform/gdi/gdi_font_codepage.h"

#include <iconv.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace {

std::string IconvName(UINT codePage) {
    char name[16];
    std::snprintf(name, sizeof name, "CP%u", codePage);
    return name;
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One converter per code page into UTF-32, opened once: glyph requests come often.
struct ConverterCache {
    std::map<UINT, iconv_t> toUnicode;
    ~ConverterCache() {
        for (auto& [codePage, converter] : toUnicode)
            if (converter != kNoConverter) iconv_close(converter);
    }
};
std::mutex g_lock;
ConverterCache g_cache;

iconv_t ToUnicodeConverter(UINT codePage) {
    auto found = g_cache.toUnicode.find(codePage);
    if (found != g_cache.toUnicode.end()) return found->second;
    iconv_t converter = iconv_open("UTF-32LE", IconvName(codePage).c_str());
    g_cache.toUnicode.emplace(codePage, converter);
    return converter;
}

} // namespace

uint32_t CodePageCharToUnicode(UINT codePage, const uint8_t* bytes, size_t count) {
    std::lock_guard<std::mutex> hold(g_lock);
    iconv_t converter = ToUnicodeConverter(codePage);
    if (converter == kNoConverter || count == 0) return 0;
    iconv(converter, nullptr, nullptr, nullptr, nullptr); // a fresh shift state
    char in[4] = {};
    for (size_t i = 0; i < count && i < sizeof in; ++i) in[i] = static_cast<char>(bytes[i]);
    uint8_t out[8] = {};
    char* from = in;
    size_t fromLeft = count < sizeof in ? count : sizeof in;
    char* to = reinterpret_cast<char*>(out);
    size_t toLeft = sizeof out;
    if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<size_t>(-1) || fromLeft != 0 ||
        sizeof out - toLeft != 4)
        return 0;
    return out[0] | out[1] << 8 | out[2] << 16 | static_cast<uint32_t>(out[3]) << 24;
}

bool CodePageTextToUtf8(UINT codePage, const char* text, size_t length, std::string* utf8) {
    iconv_t converter = iconv_open("UTF-8", IconvName(codePage).c_str());
    if (converter == kNoConverter) return false;
    std::string in(text, length);
    std::string out(length * 4 + 4, '\0');
    char* from = in.data();
    size_t fromLeft = in.size();
    char* to = out.data();
    size_t toLeft = out.size();
    size_t result = iconv(converter, &from, &fromLeft, &to, &toLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || fromLeft != 0) return false;
    out.resize(out.size() - toLeft);
    *utf8 = std::move(out);
    return true;
}

bool CodePageIsLeadByte(UINT codePage, uint8_t byte) {
    if (codePage == 949) return byte >= 0x80;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
