// The sound clips as the game ships them: compiled-in WAVE files of the right
// format and length, made the same way every build.
#include "clips.h"
#include "resources/soundresources.h"
#include "wavfile.h"

#include <QByteArray>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kestrova {
namespace {

struct ExpectedClip {
    const char* name;
    int sampleRate;
    int bits;
    double seconds;
};

// The formats the game's sound table asks for, written out independently of the generator.
constexpr ExpectedClip kExpected[] = {
    {"entered", 22050, 8, 0.79}, {"startgame", 11025, 8, 0.30}, {"placecard", 11025, 8, 0.14},
    {"replace", 11025, 16, 0.29}, {"invalid", 11025, 8, 0.25}, {"winner", 22050, 8, 1.06},
    {"winner1", 11025, 8, 1.77}, {"winner2", 11025, 8, 2.14},
};

std::uint32_t readU32(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t readU16(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// A reader that walks the chunks as any player would, so the test does not
// depend on the writer putting them in one particular order.
struct ParsedWav {
    std::string error;
    std::uint16_t formatTag = 0, channels = 0, blockAlign = 0, bits = 0;
    std::uint32_t sampleRate = 0, byteRate = 0;
    QByteArray data;
};

ParsedWav parseWav(const QByteArray& bytes)
{
    ParsedWav wav;
    if (bytes.size() < 12 || bytes.left(4) != "RIFF" || bytes.mid(8, 4) != "WAVE") {
        wav.error = "not a RIFF WAVE file";
        return wav;
    }
    if (readU32(bytes, 4) != static_cast<std::uint32_t>(bytes.size() - 8)) {
        wav.error = "RIFF size does not match the file";
        return wav;
    }
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray tag = bytes.mid(at, 4);
        const std::uint32_t size = readU32(bytes, at + 4);
        if (at + 8 + size > static_cast<std::uint32_t>(bytes.size())) {
            wav.error = "chunk runs past the end";
            return wav;
        }
        if (tag == "fmt " && size >= 16) {
            wav.formatTag = readU16(bytes, at + 8);
            wav.channels = readU16(bytes, at + 10);
            wav.sampleRate = readU32(bytes, at + 12);
            wav.byteRate = readU32(bytes, at + 16);
            wav.blockAlign = readU16(bytes, at + 20);
            wav.bits = readU16(bytes, at + 22);
            haveFormat = true;
        } else if (tag == "data") {
            wav.data = bytes.mid(at + 8, size);
        }
        at += 8 + size + (size % 2);
    }
    if (!haveFormat || wav.data.isEmpty())
        wav.error = "format or data chunk missing";
    return wav;
}

// Sample k as a fraction of full scale, -1 .. 1.
double sampleAt(const ParsedWav& wav, qsizetype k)
{
    if (wav.bits == 8)
        return (static_cast<unsigned char>(wav.data[k]) - 128) / 128.0;
    return static_cast<std::int16_t>(readU16(wav.data, 2 * k)) / 32768.0;
}

QByteArray resourceBytes(const char* name)
{
    QFile file(soundResourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

TEST(SoundClips, everyClipIsCompiledInAsMonoPcmOfItsFormatAndLength)
{
    for (const ExpectedClip& expected : kExpected) {
        SCOPED_TRACE(expected.name);
        const QByteArray bytes = resourceBytes(expected.name);
        ASSERT_FALSE(bytes.isEmpty()) << "missing from the resources";
        const ParsedWav wav = parseWav(bytes);
        ASSERT_EQ(wav.error, "");
        EXPECT_EQ(wav.formatTag, 1); // uncompressed PCM
        EXPECT_EQ(wav.channels, 1);
        EXPECT_EQ(wav.sampleRate, static_cast<std::uint32_t>(expected.sampleRate));
        EXPECT_EQ(wav.bits, expected.bits);
        EXPECT_EQ(wav.blockAlign, expected.bits / 8);
        EXPECT_EQ(wav.byteRate, static_cast<std::uint32_t>(expected.sampleRate * expected.bits / 8));
        const double seconds = static_cast<double>(wav.data.size()) / wav.byteRate;
        EXPECT_NEAR(seconds, expected.seconds, expected.seconds * 0.10);
    }
}

TEST(SoundClips, clipsAreAudibleAndStartAndEndInSilence)
{
    for (const ExpectedClip& expected : kExpected) {
        SCOPED_TRACE(expected.name);
        const ParsedWav wav = parseWav(resourceBytes(expected.name));
        ASSERT_EQ(wav.error, "");
        const qsizetype count = wav.data.size() / wav.blockAlign;
        double peak = 0.0;
        for (qsizetype k = 0; k < count; ++k)
            peak = std::max(peak, std::abs(sampleAt(wav, k)));
        EXPECT_GT(peak, 0.25);
        EXPECT_LE(peak, 0.95) << "too close to clipping";
        // A clip that starts or stops away from the centre line clicks.
        EXPECT_LT(std::abs(sampleAt(wav, 0)), 0.02);
        EXPECT_LT(std::abs(sampleAt(wav, count - 1)), 0.02);
    }
}

TEST(SoundClips, buildMakesTheSameBytesEveryTime)
{
    for (const ClipSpec& clip : clipTable()) {
        SCOPED_TRACE(std::string(clip.name));
        const auto first = encodeWav(synthesiseClip(clip), {clip.sampleRate, clip.bitsPerSample});
        const auto second = encodeWav(synthesiseClip(clip), {clip.sampleRate, clip.bitsPerSample});
        EXPECT_EQ(first, second);
        const QByteArray shipped = resourceBytes(std::string(clip.name).c_str());
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(first.data()), static_cast<qsizetype>(first.size())), shipped);
    }
}

TEST(WavEncoding, writesEightBitUnsignedAndSixteenBitSignedAndClipsOutOfRange)
{
    const std::vector<float> samples{0.0f, 1.0f, -1.0f, 2.0f, -2.0f};
    const auto eight = encodeWav(samples, {8000, 8});
    const ParsedWav wav8 = parseWav(QByteArray(reinterpret_cast<const char*>(eight.data()), static_cast<qsizetype>(eight.size())));
    ASSERT_EQ(wav8.error, "");
    ASSERT_EQ(wav8.data.size(), 5);
    EXPECT_EQ(static_cast<unsigned char>(wav8.data[0]), 128);
    EXPECT_EQ(static_cast<unsigned char>(wav8.data[1]), 255);
    EXPECT_EQ(static_cast<unsigned char>(wav8.data[2]), 1);
    EXPECT_EQ(static_cast<unsigned char>(wav8.data[3]), 255);
    EXPECT_EQ(static_cast<unsigned char>(wav8.data[4]), 1);
    // Five bytes of data make an odd chunk: the file carries a pad byte and stays consistent.
    EXPECT_EQ(eight.size(), 44u + 5u + 1u);

    const auto sixteen = encodeWav(samples, {8000, 16});
    const ParsedWav wav16 = parseWav(QByteArray(reinterpret_cast<const char*>(sixteen.data()), static_cast<qsizetype>(sixteen.size())));
    ASSERT_EQ(wav16.error, "");
    ASSERT_EQ(wav16.data.size(), 10);
    EXPECT_EQ(static_cast<std::int16_t>(readU16(wav16.data, 2)), 32767);
    EXPECT_EQ(static_cast<std::int16_t>(readU16(wav16.data, 4)), -32767);
    EXPECT_EQ(static_cast<std::int16_t>(readU16(wav16.data, 8)), -32767);
}

TEST(WavEncoding, refusesFormatsItCannotWrite)
{
    EXPECT_THROW(encodeWav({0.0f}, {8000, 24}), std::invalid_argument);
    EXPECT_THROW(encodeWav({0.0f}, {0, 8}), std::invalid_argument);
}

TEST(WavEncoding, reportsAFolderThatCannotBeWrittenAndLeavesNoFile)
{
    const std::filesystem::path missing = std::filesystem::temp_directory_path() / "kestrova-no-such-folder" / "clip.wav";
    const std::string error = writeBytesToFile(missing.string(), {1, 2, 3});
    EXPECT_NE(error.find(missing.string()), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(SoundResourcePath, namesTheResourceOfEveryKnownClipAndNothingElse)
{
    EXPECT_EQ(soundResourcePath("placecard"), QStringLiteral(":/sounds/placecard.wav"));
    EXPECT_EQ(soundResourcePath("winner1"), QStringLiteral(":/sounds/winner1.wav"));
    EXPECT_EQ(soundResourcePath("winner"), QStringLiteral(":/sounds/winner.wav"));
    for (const char* stranger : {"", "winner3", "winne", "winner12", "place card", "entered.wav", ":/sounds/entered.wav"})
        EXPECT_TRUE(soundResourcePath(stranger).isEmpty()) << stranger;
    for (std::string_view name : soundNames())
        EXPECT_TRUE(QFile::exists(soundResourcePath(name))) << name;
}

} // namespace
} // namespace kestrova
