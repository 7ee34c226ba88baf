// progress_text.h - short display texts for a download's progress.
//
//     char text[64];
//     char unit = FormatByteSizeText(1536, text);      // "1.5", 'k'
//     FormatRemainingTimeText(125000, text);            // "2分 5秒"
#pragma once

// A byte count in kilo-, mega- or gigabytes with one decimal (a figure never exceeds
// 819.2 before the next unit takes over); the unit letter 'k', 'M' or 'G'. `out`
// needs 32 bytes.
int FormatByteSizeText(int bytes, char* out);
// Milliseconds as at most two Japanese units: days and hours, hours and minutes, or
// minutes and seconds; every piece but the seconds ends with a blank. `out` needs
// 64 bytes. Returns 0.
int FormatRemainingTimeText(int milliseconds, char* out);
