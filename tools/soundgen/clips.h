// The game's eight sound clips: their names, formats and the synthesis of each.
#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace kestrova {

struct ClipSpec {
    std::string_view name; // lower case; also the file's base name
    int sampleRate;
    int bitsPerSample;
    double seconds;
};

const std::array<ClipSpec, 8>& clipTable();

// Number of samples a clip holds: its length rounded to whole samples.
int sampleCount(const ClipSpec& clip);

// Mono samples in -1 .. 1, the same every run; starts and ends at silence.
std::vector<float> synthesiseClip(const ClipSpec& clip);

} // namespace kestrova
