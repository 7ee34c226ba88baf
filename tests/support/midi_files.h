// A standard MIDI file for the MIDI players' tests, and a measure of what they render.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Format 0, 96 ticks a quarter note at the default 120 beats a minute: middle C struck
// at the start and released after 48 ticks, so the piece lasts a quarter of a second.
inline const std::vector<uint8_t> kOneNoteMidi = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
    'M', 'T', 'r', 'k', 0, 0, 0, 12, 0, 0x90, 60, 64, 48, 0x80, 60, 0, 0, 0xFF, 0x2F, 0};

// The largest absolute sample value.
inline int PeakAmplitude(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}
