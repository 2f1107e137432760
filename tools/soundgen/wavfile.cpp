#include "wavfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kestrova {
namespace {

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    putU16(out, value & 0xffff);
    putU16(out, value >> 16);
}

void putTag(std::vector<std::uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

} // namespace

std::vector<std::uint8_t> encodeWav(const std::vector<float>& samples, const WavFormat& format)
{
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16)
        throw std::invalid_argument("sample size must be 8 or 16 bits");
    if (format.sampleRate <= 0)
        throw std::invalid_argument("sample rate must be positive");

    const std::uint32_t bytesPerSample = static_cast<std::uint32_t>(format.bitsPerSample / 8);
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size()) * bytesPerSample;
    const bool padded = dataSize % 2 != 0; // RIFF chunks are word aligned

    std::vector<std::uint8_t> out;
    out.reserve(44 + dataSize + 1);
    putTag(out, "RIFF");
    putU32(out, 36 + dataSize + (padded ? 1 : 0));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putU32(out, 16);
    putU16(out, 1); // PCM
    putU16(out, 1); // mono
    putU32(out, static_cast<std::uint32_t>(format.sampleRate));
    putU32(out, static_cast<std::uint32_t>(format.sampleRate) * bytesPerSample);
    putU16(out, bytesPerSample);
    putU16(out, static_cast<std::uint32_t>(format.bitsPerSample));
    putTag(out, "data");
    putU32(out, dataSize);

    for (float sample : samples) {
        const double clipped = std::clamp(static_cast<double>(sample), -1.0, 1.0);
        if (format.bitsPerSample == 8) {
            out.push_back(static_cast<std::uint8_t>(std::lround(128.0 + clipped * 127.0)));
        } else {
            const auto value = static_cast<std::int16_t>(std::lround(clipped * 32767.0));
            putU16(out, static_cast<std::uint16_t>(value));
        }
    }
    if (padded)
        out.push_back(0);
    return out;
}

std::string writeBytesToFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return "cannot create " + path + ": " + std::strerror(errno);
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const int writeError = written != bytes.size() ? errno : 0;
    if (std::fclose(file) != 0 || writeError != 0) {
        std::remove(path.c_str());
        return "cannot write " + path + ": " + std::strerror(writeError != 0 ? writeError : errno);
    }
    return {};
}

} // namespace kestrova
