// The LZHUF codec: first codes worked out by hand from the initial tree,
// round trips long enough to rebuild the tree, and streams that end early.
#include "tally/lzh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encoded(const Bytes& data)
{
    TLZH codec;
    Bytes out;
    codec.encode(data, out);
    return out;
}

TEST(lzh_encode, first_codes_follow_the_initial_tree)
{
    // In the initial tree node i's parent is 314 + i / 2, and a node's bit is
    // its index's lowest bit. 'A' (leaf 65): 111001101, padded with zeros.
    EXPECT_EQ(encoded({'A'}), (Bytes{0xE6, 0x80}));
    // Three spaces match the ring's initial spaces at distance 1: length symbol
    // 256 (10001100), position 0 (code 000, then six zero bits).
    EXPECT_EQ(encoded({' ', ' ', ' '}), (Bytes{0x8C, 0x00, 0x00}));
    EXPECT_TRUE(encoded({}).empty());
}

Bytes roundTrip(const Bytes& data)
{
    TLZH codec;
    Bytes stream;
    codec.encode(data, stream);
    Bytes out;
    EXPECT_TRUE(codec.decode(stream, data.size(), out));
    return out;
}

TEST(lzh_round_trip, text_random_runs_and_empty)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "The quick brown fox " + std::to_string(i * 7919 % 1000) + " jumps.\r\n";
    const Bytes textBytes(text.begin(), text.end());
    EXPECT_EQ(roundTrip(textBytes), textBytes);

    // Random bytes: long enough for the tree to be halved and rebuilt many times.
    Bytes noise(200000);
    std::uint32_t seed = 99;
    for (auto& b : noise) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    EXPECT_EQ(roundTrip(noise), noise);

    // Skewed data drives one symbol's frequency to the rebuild limit quickly.
    Bytes skewed(150000, 'x');
    for (std::size_t i = 0; i < skewed.size(); i += 97)
        skewed[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(roundTrip(skewed), skewed);

    EXPECT_EQ(roundTrip({}), Bytes{});
    EXPECT_EQ(roundTrip({0}), Bytes{0});
}

TEST(lzh_decode, a_stream_that_ends_early_is_refused)
{
    const Bytes data(5000, 'q');
    Bytes stream = encoded(data);
    TLZH codec;
    Bytes out;
    EXPECT_FALSE(codec.decode(Bytes{}, 10, out));
    // Asking for more than the stream holds.
    EXPECT_FALSE(codec.decode(stream, data.size() + 100, out));
    // The stream cut short.
    stream.resize(stream.size() / 2);
    out.clear();
    EXPECT_FALSE(codec.decode(stream, data.size(), out));
}

TEST(lzh_decode, a_match_past_the_stated_size_is_refused)
{
    // Three spaces are one match of three; two cannot be taken from it.
    TLZH codec;
    Bytes out;
    EXPECT_FALSE(codec.decode(Bytes{0x8C, 0x00, 0x00}, 2, out));
    out.clear();
    EXPECT_TRUE(codec.decode(Bytes{0x8C, 0x00, 0x00}, 3, out));
    EXPECT_EQ(out, (Bytes{' ', ' ', ' '}));
}

} // namespace
} // namespace kestrova
