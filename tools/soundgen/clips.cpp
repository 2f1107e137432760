#include "clips.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <stdexcept>

namespace kestrova {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Small fixed-seed generator so that every build makes byte-identical clips.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : m_state(seed ? seed : 1u) {}
    double next() // -1 .. 1
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<double>(m_state) / 2147483647.5 - 1.0;
    }
    double uniform(double low, double high) { return low + (next() + 1.0) * 0.5 * (high - low); }

private:
    std::uint32_t m_state;
};

// Two-pole resonant band-pass (state-variable form), stable for the low Q used here.
class BandPass {
public:
    double process(double in, double centre, double q, int rate)
    {
        const double f = 2.0 * std::sin(std::numbers::pi * std::min(centre, rate * 0.2) / rate);
        m_low += f * m_band;
        const double high = in - m_low - m_band / q;
        m_band += f * high;
        return m_band;
    }

private:
    double m_low = 0.0;
    double m_band = 0.0;
};

class LowPass {
public:
    LowPass(double cutoff, int rate) : m_alpha(1.0 - std::exp(-kTwoPi * cutoff / rate)) {}
    double process(double in) { return m_value += m_alpha * (in - m_value); }

private:
    double m_alpha;
    double m_value = 0.0;
};

struct Buffer {
    std::vector<double> samples;
    int rate;

    Buffer(int sampleCount, int sampleRate) : samples(static_cast<std::size_t>(sampleCount), 0.0), rate(sampleRate) {}
    int index(double seconds) const { return static_cast<int>(std::lround(seconds * rate)); }
    int size() const { return static_cast<int>(samples.size()); }
};

double noteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// A struck bell: slightly inharmonic partials, the higher ones dying sooner.
void addBell(Buffer& buffer, double start, double frequency, double amplitude, double decay)
{
    static constexpr std::array<double, 5> ratios{1.0, 2.0, 2.76, 4.07, 5.4};
    static constexpr std::array<double, 5> levels{1.0, 0.55, 0.35, 0.18, 0.1};
    const int first = buffer.index(start);
    for (int i = std::max(first, 0); i < buffer.size(); ++i) {
        const double t = (i - first) / static_cast<double>(buffer.rate);
        const double attack = std::min(1.0, t / 0.003);
        double value = 0.0;
        for (std::size_t k = 0; k < ratios.size(); ++k) {
            const double f = frequency * ratios[k];
            if (f > buffer.rate * 0.45)
                continue;
            value += levels[k] * std::exp(-t * (1.0 + 0.9 * k) / decay) * std::sin(kTwoPi * f * t);
        }
        buffer.samples[static_cast<std::size_t>(i)] += amplitude * attack * value;
    }
}

// A brass-like note: harmonic series whose upper harmonics swell in after the
// attack, a little vibrato on long notes, and a soft release.
void addBrass(Buffer& buffer, double start, double length, double frequency, double amplitude)
{
    const int first = buffer.index(start);
    const double release = 0.05;
    const int last = std::min(buffer.size(), buffer.index(start + length + release));
    double phase = 0.0;
    for (int i = std::max(first, 0); i < last; ++i) {
        const double t = (i - first) / static_cast<double>(buffer.rate);
        double envelope = std::min(1.0, t / 0.025);
        envelope *= t < 0.06 ? 1.0 + 0.25 * (1.0 - t / 0.06) : 1.0; // a little bite at the start
        envelope *= 1.0 - 0.15 * std::min(1.0, t / std::max(length, 0.01));
        if (t > length)
            envelope *= std::max(0.0, 1.0 - (t - length) / release);
        const double vibrato = t > 0.18 ? 0.004 * std::sin(kTwoPi * 5.5 * (t - 0.18)) : 0.0;
        phase += kTwoPi * frequency * (1.0 + vibrato) / buffer.rate;
        const double brightness = std::min(1.0, t / 0.05);
        double value = 0.0;
        for (int n = 1; n <= 12; ++n) {
            if (frequency * n > buffer.rate * 0.42)
                break;
            const double level = n == 1 ? 1.0 : brightness * 0.9 / std::pow(n, 1.15);
            value += level * std::sin(n * phase);
        }
        buffer.samples[static_cast<std::size_t>(i)] += amplitude * envelope * value * 0.45;
    }
}

// A wooden mallet: a clean tone with a quick overtone knock.
void addMallet(Buffer& buffer, double start, double frequency, double amplitude, double decay)
{
    const int first = buffer.index(start);
    for (int i = std::max(first, 0); i < buffer.size(); ++i) {
        const double t = (i - first) / static_cast<double>(buffer.rate);
        const double attack = std::min(1.0, t / 0.002);
        double value = std::exp(-t / decay) * std::sin(kTwoPi * frequency * t);
        if (frequency * 3.9 < buffer.rate * 0.45)
            value += 0.35 * std::exp(-t / (decay * 0.2)) * std::sin(kTwoPi * frequency * 3.9 * t);
        buffer.samples[static_cast<std::size_t>(i)] += amplitude * attack * value;
    }
}

// A soft organ-like chord tone for held endings, with a gentle tremolo.
void addPad(Buffer& buffer, double start, double length, double frequency, double amplitude)
{
    const int first = buffer.index(start);
    const int last = std::min(buffer.size(), buffer.index(start + length));
    for (int i = std::max(first, 0); i < last; ++i) {
        const double t = (i - first) / static_cast<double>(buffer.rate);
        const double attack = std::min(1.0, t / 0.04);
        const double fall = std::exp(-t / (length * 0.6));
        const double tremolo = 1.0 + 0.12 * std::sin(kTwoPi * 6.0 * t);
        double value = std::sin(kTwoPi * frequency * t) + 0.3 * std::sin(kTwoPi * 2.0 * frequency * t);
        if (frequency * 3.0 < buffer.rate * 0.45)
            value += 0.12 * std::sin(kTwoPi * 3.0 * frequency * t);
        buffer.samples[static_cast<std::size_t>(i)] += amplitude * attack * fall * tremolo * value;
    }
}

// One card edge slapping past another: a short band of noise.
void addRiffleTick(Buffer& buffer, Noise& noise, double start, double amplitude, double centre)
{
    BandPass filter;
    const int first = buffer.index(start);
    const int last = std::min(buffer.size(), first + buffer.index(0.012));
    for (int i = std::max(first, 0); i < last; ++i) {
        const double t = (i - first) / static_cast<double>(buffer.rate);
        const double envelope = std::min(1.0, t / 0.0007) * std::exp(-t / 0.0025);
        buffer.samples[static_cast<std::size_t>(i)] += amplitude * filter.process(noise.next() * envelope, centre, 1.4, buffer.rate);
    }
}

std::vector<double> entered(Buffer buffer)
{
    // A rising three-note chime that rings out.
    addBell(buffer, 0.00, noteFrequency(76), 0.34, 0.28);
    addBell(buffer, 0.11, noteFrequency(80), 0.32, 0.28);
    addBell(buffer, 0.22, noteFrequency(83), 0.34, 0.34);
    addBell(buffer, 0.22, noteFrequency(64), 0.16, 0.40);
    return buffer.samples;
}

std::vector<double> startgame(Buffer buffer)
{
    // A riffle: ticks that crowd together and thin out again, then a soft landing.
    Noise noise(0x5eed1u);
    double t = 0.004;
    while (t < 0.22) {
        const double amplitude = noise.uniform(0.9, 1.6);
        addRiffleTick(buffer, noise, t, amplitude, noise.uniform(1800.0, 2400.0));
        const double progress = t / 0.22;
        t += 0.0085 + 0.009 * std::pow(2.0 * progress - 1.0, 2.0) + noise.uniform(0.0, 0.002);
    }
    LowPass body(500.0, buffer.rate);
    const int landing = buffer.index(0.225);
    for (int i = landing; i < buffer.size(); ++i) {
        const double s = (i - landing) / static_cast<double>(buffer.rate);
        buffer.samples[static_cast<std::size_t>(i)] += 1.3 * body.process(noise.next()) * std::exp(-s / 0.015)
            + 0.25 * std::exp(-s / 0.02) * std::sin(kTwoPi * 140.0 * s);
    }
    return buffer.samples;
}

std::vector<double> placecard(Buffer buffer)
{
    // A soft click: a muffled tap and a tiny low thump, gone in a few hundredths.
    Noise noise(0xca4du);
    LowPass muffle(1400.0, buffer.rate);
    for (int i = 0; i < buffer.size(); ++i) {
        const double t = i / static_cast<double>(buffer.rate);
        const double tap = muffle.process(noise.next()) * std::exp(-t / 0.006) * 1.6;
        const double thump = 0.45 * std::exp(-t / 0.022) * std::sin(kTwoPi * 190.0 * t);
        buffer.samples[static_cast<std::size_t>(i)] = (tap + thump) * std::min(1.0, t / 0.0008);
    }
    return buffer.samples;
}

std::vector<double> replace(Buffer buffer)
{
    // A flick: a short rising swish of air, ending in a crisp snap as the card lands.
    Noise noise(0xf11cu);
    BandPass swish;
    const double swishEnd = 0.15;
    for (int i = 0; i < buffer.size(); ++i) {
        const double t = i / static_cast<double>(buffer.rate);
        if (t < swishEnd) {
            const double progress = t / swishEnd;
            const double envelope = std::sin(std::numbers::pi * std::pow(progress, 0.7));
            const double centre = 700.0 + 2000.0 * progress * progress;
            buffer.samples[static_cast<std::size_t>(i)] += 0.9 * envelope * swish.process(noise.next(), centre, 0.9, buffer.rate);
        }
    }
    BandPass snap;
    const int snapStart = buffer.index(0.145);
    for (int i = snapStart; i < buffer.size(); ++i) {
        const double t = (i - snapStart) / static_cast<double>(buffer.rate);
        const double envelope = std::min(1.0, t / 0.0005) * std::exp(-t / 0.006);
        buffer.samples[static_cast<std::size_t>(i)] += 2.2 * snap.process(noise.next() * envelope, 1600.0, 1.2, buffer.rate)
            + 0.3 * std::exp(-t / 0.02) * std::sin(kTwoPi * 230.0 * t);
    }
    return buffer.samples;
}

std::vector<double> invalid(Buffer buffer)
{
    // A dull, low buzz: two buzzing tones a shade apart through a dark filter,
    // detuned so little that they thicken the sound without beating within the clip.
    LowPass dark1(700.0, buffer.rate);
    LowPass dark2(700.0, buffer.rate);
    const double length = buffer.size() / static_cast<double>(buffer.rate);
    for (int i = 0; i < buffer.size(); ++i) {
        const double t = i / static_cast<double>(buffer.rate);
        const double a = std::fmod(t * 98.0, 1.0) < 0.5 ? 1.0 : -1.0;
        const double b = std::fmod(t * 99.2 + 0.25, 1.0) < 0.5 ? 1.0 : -1.0;
        const double envelope = std::min(1.0, t / 0.012) * std::min(1.0, (length - t) / 0.07);
        buffer.samples[static_cast<std::size_t>(i)] = envelope * dark2.process(dark1.process(0.5 * (a + b)));
    }
    return buffer.samples;
}

std::vector<double> winner(Buffer buffer)
{
    // A bright rising call, C E G and a held top C over its chord.
    addBrass(buffer, 0.00, 0.10, noteFrequency(72), 0.5);
    addBrass(buffer, 0.12, 0.10, noteFrequency(76), 0.5);
    addBrass(buffer, 0.24, 0.10, noteFrequency(79), 0.5);
    addBrass(buffer, 0.36, 0.58, noteFrequency(84), 0.5);
    addBrass(buffer, 0.36, 0.58, noteFrequency(76), 0.25);
    addBrass(buffer, 0.36, 0.58, noteFrequency(72), 0.25);
    return buffer.samples;
}

std::vector<double> winner1(Buffer buffer)
{
    // A herald's call: three quick repeated notes, a long one, and a rising close.
    struct Note { double start, length; int pitch; };
    static constexpr std::array<Note, 7> notes{{
        {0.00, 0.09, 67}, {0.12, 0.09, 67}, {0.24, 0.09, 67}, {0.36, 0.36, 72},
        {0.78, 0.14, 67}, {0.96, 0.14, 72}, {1.14, 0.52, 76},
    }};
    for (const Note& note : notes)
        addBrass(buffer, note.start, note.length, noteFrequency(note.pitch), 0.55);
    addBrass(buffer, 1.14, 0.52, noteFrequency(67), 0.28);
    addBrass(buffer, 1.14, 0.52, noteFrequency(60), 0.28);
    return buffer.samples;
}

std::vector<double> winner2(Buffer buffer)
{
    // A mallet run up two octaves of F major, then the chord held and fading.
    static constexpr std::array<int, 7> run{65, 69, 72, 77, 81, 84, 89};
    for (std::size_t k = 0; k < run.size(); ++k)
        addMallet(buffer, 0.09 * static_cast<double>(k), noteFrequency(run[k]), 0.5, 0.16);
    const double chord = 0.09 * run.size() + 0.05;
    const double length = buffer.size() / static_cast<double>(buffer.rate) - chord;
    for (int pitch : {65, 69, 72, 77})
        addPad(buffer, chord, length, noteFrequency(pitch), 0.22);
    addMallet(buffer, chord, noteFrequency(89), 0.45, 0.35);
    addMallet(buffer, chord, noteFrequency(77), 0.35, 0.35);
    return buffer.samples;
}

// Fades in and out over a few milliseconds so the clip starts and stops at
// silence, then scales it to a common peak so 8-bit clips use their range.
std::vector<float> finish(std::vector<double> samples, int rate, double peak)
{
    const int fadeIn = std::max(1, static_cast<int>(0.003 * rate));
    const int fadeOut = std::max(1, static_cast<int>(0.012 * rate));
    const int count = static_cast<int>(samples.size());
    for (int i = 0; i < count; ++i) {
        double gain = 1.0;
        if (i < fadeIn)
            gain = std::min(gain, static_cast<double>(i) / fadeIn);
        if (i >= count - fadeOut)
            gain = std::min(gain, static_cast<double>(count - 1 - i) / fadeOut);
        samples[static_cast<std::size_t>(i)] *= gain * gain;
    }
    double maximum = 0.0;
    for (double s : samples)
        maximum = std::max(maximum, std::abs(s));
    const double scale = maximum > 0.0 ? peak / maximum : 0.0;
    std::vector<float> out(samples.size());
    std::transform(samples.begin(), samples.end(), out.begin(), [scale](double s) { return static_cast<float>(s * scale); });
    return out;
}

} // namespace

const std::array<ClipSpec, 8>& clipTable()
{
    static constexpr std::array<ClipSpec, 8> table{{
        {"entered", 22050, 8, 0.79},
        {"startgame", 11025, 8, 0.30},
        {"placecard", 11025, 8, 0.14},
        {"replace", 11025, 16, 0.29},
        {"invalid", 11025, 8, 0.25},
        {"winner", 22050, 8, 1.06},
        {"winner1", 11025, 8, 1.77},
        {"winner2", 11025, 8, 2.14},
    }};
    return table;
}

int sampleCount(const ClipSpec& clip)
{
    return static_cast<int>(std::lround(clip.seconds * clip.sampleRate));
}

std::vector<float> synthesiseClip(const ClipSpec& clip)
{
    const Buffer buffer(sampleCount(clip), clip.sampleRate);
    std::vector<double> samples;
    if (clip.name == "entered")
        samples = entered(buffer);
    else if (clip.name == "startgame")
        samples = startgame(buffer);
    else if (clip.name == "placecard")
        samples = placecard(buffer);
    else if (clip.name == "replace")
        samples = replace(buffer);
    else if (clip.name == "invalid")
        samples = invalid(buffer);
    else if (clip.name == "winner")
        samples = winner(buffer);
    else if (clip.name == "winner1")
        samples = winner1(buffer);
    else if (clip.name == "winner2")
        samples = winner2(buffer);
    else
        throw std::invalid_argument("unknown clip");
    // Effects stay quieter than the fanfares, and the steady buzz quieter still,
    // as its even level makes it sound louder than its peak.
    double peak = 0.8;
    if (clip.name == "invalid")
        peak = 0.4;
    else if (clip.name == "placecard" || clip.name == "startgame" || clip.name == "replace")
        peak = 0.6;
    return finish(std::move(samples), clip.sampleRate, peak);
}

} // namespace kestrova
