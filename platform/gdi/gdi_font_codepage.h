// gdi_font_codepage.h - characters and texts of the Windows code pages, through iconv.
//
// Code pages are named by number: 932 (Shift-JIS), 949 (Korean), 1252 (Western), and
// any other that iconv knows as "CP<number>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

// The Unicode code point of the one character that `count` bytes spell in the code
// page; 0 when they spell no character, or more or less than one.
uint32_t CodePageCharToUnicode(UINT codePage, const uint8_t* bytes, size_t count);

// The text turned into UTF-8; false (and *utf8 untouched) when it is not valid there.
bool CodePageTextToUtf8(UINT codePage, const char* text, size_t length, std::string* utf8);

// Whether the byte starts a two-byte character of the code page (949: any byte with
// bit 7 set; every other code page is taken as Shift-JIS: 0x81-0x9F and 0xE0-0xFC).
bool CodePageIsLeadByte(UINT codePage, uint8_t byte);
