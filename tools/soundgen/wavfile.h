// Encoding of mono PCM samples as a RIFF WAVE file, the format the game's sounds ship in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

struct WavFormat {
    int sampleRate = 11025;
    int bitsPerSample = 8; // 8 (unsigned) or 16 (signed little-endian)
};

// Samples are in -1 .. 1; values outside are clipped. Throws std::invalid_argument
// for a sample size other than 8 or 16 bits or a rate that is not positive.
std::vector<std::uint8_t> encodeWav(const std::vector<float>& samples, const WavFormat& format);

// Writes the bytes to a new file at path; returns an empty string, or what went wrong.
std::string writeBytesToFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace kestrova
