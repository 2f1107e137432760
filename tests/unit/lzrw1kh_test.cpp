// The LZRW1/KH block codec: packed bytes worked out by hand from the format,
// and the decoder's refusals of damaged blocks.
#include "tally/lzrw1kh.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes pack(const Bytes& piece)
{
    Bytes out(packBlockBound(piece.size()));
    const BlockResult r = packBlock(piece.data(), piece.size(), out.data(), out.size());
    EXPECT_TRUE(r.ok()) << blockErrorText(r.error);
    out.resize(r.size);
    return out;
}

BlockResult unpackInto(const Bytes& block, Bytes& out)
{
    return unpackBlock(block.data(), block.size(), out.data(), out.size());
}

Bytes copied(const Bytes& piece)
{
    Bytes block{0x80};
    block.insert(block.end(), piece.begin(), piece.end());
    return block;
}

TEST(lzrw1kh_pack, short_pieces_are_stored_copied)
{
    EXPECT_EQ(pack({}), Bytes{0x80});
    EXPECT_EQ(pack(bytesOf("a")), copied(bytesOf("a")));
    EXPECT_EQ(pack(bytesOf("ab")), copied(bytesOf("ab")));
    EXPECT_EQ(pack(bytesOf("aaa")), copied(bytesOf("aaa")));
    EXPECT_EQ(pack(bytesOf("abc")), copied(bytesOf("abc")));
}

TEST(lzrw1kh_pack, data_without_repeats_is_stored_copied)
{
    Bytes piece;
    for (int i = 0; i < 256; ++i)
        piece.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(pack(piece), copied(piece));
}

TEST(lzrw1kh_pack, equal_bytes_become_runs_from_sixteen_on)
{
    // 15: no run; a literal, then a match of 14 at distance 1: key (1 << 4) + 11.
    EXPECT_EQ(pack(Bytes(15, 'a')), (Bytes{0x40, 0x40, 0x00, 'a', 0x00, 0x1B}));
    // 16: the shortest run, count 0.
    EXPECT_EQ(pack(Bytes(16, 'a')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x00, 0x00, 'a'}));
    // 4095: the longest run, count 4079 = 0x0FEF.
    EXPECT_EQ(pack(Bytes(4095, 'a')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF, 'a'}));
    // 4096: the longest run and one literal (too near the end to search).
    EXPECT_EQ(pack(Bytes(4096, 'a')), (Bytes{0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF, 'a', 'a'}));
}

TEST(lzrw1kh_pack, back_reference_and_control_word)
{
    // Three literals, then "abcabc" found 3 back: key (3 << 4) + (6 - 3).
    EXPECT_EQ(pack(bytesOf("abcabcabc")), (Bytes{0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x33}));
}

TEST(lzrw1kh_pack, full_piece_of_zeros)
{
    // Eight runs of 4095 (32760 bytes), a literal, then a match of 7 at distance 1:
    // ten items, control word 1111 1111 01 shifted up by six.
    Bytes expected{0x40, 0xFF, 0x40};
    for (int k = 0; k < 8; ++k)
        expected.insert(expected.end(), {0x00, 0x0F, 0xEF, 0x00});
    expected.insert(expected.end(), {0x00, 0x00, 0x14});
    EXPECT_EQ(pack(Bytes(kLzrw1BlockSize, 0)), expected);
}

TEST(lzrw1kh_pack, more_than_sixteen_items_take_a_second_control_word)
{
    // 17 distinct letters, then the same 17 again: 16 literals under the first
    // control word, then the second word before the 17th literal and one match.
    const Bytes piece = bytesOf("ABCDEFGHIJKLMNOPQABCDEFGHIJKLMNOPQ");
    Bytes expected{0x40, 0x00, 0x00};
    expected.insert(expected.end(), piece.begin(), piece.begin() + 16);
    expected.insert(expected.end(), {0x40, 0x00, 'Q', 0x01, 0x1E}); // key (17 << 4) + 14
    EXPECT_EQ(pack(piece), expected);
}

TEST(lzrw1kh_pack, refuses_oversized_pieces_and_small_outputs)
{
    Bytes piece(kLzrw1BlockSize + 1, 'x');
    Bytes out(kLzrw1BlockSize * 2);
    EXPECT_EQ(packBlock(piece.data(), piece.size(), out.data(), out.size()).error,
              BlockError::SourceTooLarge);

    const Bytes text = bytesOf("abcabcabc"); // packs to 8 bytes
    Bytes tight(8);
    EXPECT_TRUE(packBlock(text.data(), text.size(), tight.data(), 7).error == BlockError::OutputTooSmall);
    Bytes guarded(9, 0xEE);
    const BlockResult r = packBlock(text.data(), text.size(), guarded.data(), 8);
    EXPECT_EQ(r.size, 8u);
    EXPECT_EQ(guarded[8], 0xEE);
}

TEST(lzrw1kh_pack, codec_object_matches_the_free_function_across_pieces)
{
    TLZR codec;
    const Bytes first = bytesOf("abcabcabc");
    const Bytes second = bytesOf("xyzxyzxyzabc");
    for (const Bytes* piece : {&first, &second, &first}) {
        Bytes out(packBlockBound(piece->size()));
        const BlockResult r = codec.pack(piece->data(), piece->size(), out.data(), out.size());
        out.resize(r.size);
        EXPECT_EQ(out, pack(*piece)); // no match reaches back into an earlier piece
    }
}

TEST(lzrw1kh_unpack, decodes_every_item_kind)
{
    Bytes out(kLzrw1BlockSize);
    EXPECT_EQ(unpackInto({0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x33}, out).size, 9u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 9), bytesOf("abcabcabc"));

    EXPECT_EQ(unpackInto({0x40, 0x80, 0x00, 0x00, 0x0F, 0xEF, 'z'}, out).size, 4095u);
    EXPECT_EQ(out[4094], 'z');

    EXPECT_EQ(unpackInto(copied(bytesOf("hi")), out).size, 2u);
    EXPECT_EQ(unpackInto({}, out).size, 0u);
    EXPECT_EQ(unpackInto({0x80}, out).size, 0u);
}

TEST(lzrw1kh_unpack, round_trips_every_piece_length_class)
{
    std::uint32_t seed = 12345;
    for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 17u, 100u, 4096u, 32767u, 32768u}) {
        Bytes piece(n);
        for (auto& b : piece) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>("aabbbcd "[(seed >> 16) & 7]); // repeats, runs and noise
        }
        const Bytes block = pack(piece);
        Bytes out(n);
        const BlockResult r = unpackInto(block, out);
        ASSERT_TRUE(r.ok()) << n;
        EXPECT_EQ(out, piece) << n;
    }
}

TEST(lzrw1kh_unpack, exact_output_leaves_the_guard_byte_and_one_less_is_refused)
{
    const Bytes block{0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x33};
    Bytes out(10, 0xEE);
    EXPECT_EQ(unpackBlock(block.data(), block.size(), out.data(), 9).size, 9u);
    EXPECT_EQ(out[9], 0xEE);

    Bytes small(9, 0xEE);
    EXPECT_EQ(unpackBlock(block.data(), block.size(), small.data(), 8).error, BlockError::OutputTooSmall);
    EXPECT_EQ(small[8], 0xEE);

    const Bytes stored = copied(bytesOf("abcd"));
    EXPECT_EQ(unpackBlock(stored.data(), stored.size(), small.data(), 3).error, BlockError::OutputTooSmall);
    const Bytes run{0x40, 0x80, 0x00, 0x00, 0x00, 0x00, 'r'};
    EXPECT_EQ(unpackBlock(run.data(), run.size(), small.data(), 8).error, BlockError::OutputTooSmall);
}

TEST(lzrw1kh_unpack, refuses_damaged_blocks)
{
    Bytes out(kLzrw1BlockSize + 100, 0);
    auto errorOf = [&](const Bytes& block) { return unpackInto(block, out).error; };

    // A back reference with nothing, or too little, behind it.
    EXPECT_EQ(errorOf({0x40, 0x80, 0x00, 0x00, 0x10}), BlockError::ReferenceBeforeStart);
    EXPECT_EQ(errorOf({0x40, 0x40, 0x00, 'a', 0x00, 0x20}), BlockError::ReferenceBeforeStart);
    // A code cut after its first byte; a run cut after three.
    EXPECT_EQ(errorOf({0x40, 0x80, 0x00, 0x00}), BlockError::TruncatedBlock);
    EXPECT_EQ(errorOf({0x40, 0x80, 0x00, 0x00, 0x00, 0x00}), BlockError::TruncatedBlock);
    // Sixteen literals, then a control word with no item after it.
    Bytes noItem{0x40, 0x00, 0x00};
    noItem.insert(noItem.end(), 16, 'a');
    noItem.insert(noItem.end(), {0x00, 0x00});
    EXPECT_EQ(errorOf(noItem), BlockError::TruncatedBlock);

    // More than 32768 bytes, stored or from runs of 4111, even into a larger buffer.
    EXPECT_EQ(errorOf(copied(Bytes(kLzrw1BlockSize + 1, 'x'))), BlockError::BlockTooLarge);
    Bytes runs{0x40, 0xFF, 0x80};
    for (int k = 0; k < 9; ++k)
        runs.insert(runs.end(), {0x00, 0x0F, 0xFF, 'r'});
    EXPECT_EQ(errorOf(runs), BlockError::BlockTooLarge);
}

} // namespace
} // namespace kestrova
