// The container: whole files worked out by hand, the exact error messages for
// damaged input, and the file layer's promise to leave no partial output.
#include "tally/lzrw1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes header(const char* signature, std::uint32_t size)
{
    Bytes b(signature, signature + 4);
    for (int k = 0; k < 4; ++k)
        b.push_back(static_cast<std::uint8_t>(size >> (8 * k)));
    return b;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The block of 32768 zero bytes: eight runs of 4095, a literal, a match of 7.
Bytes zeroBlock()
{
    Bytes block{0x26, 0x00, 0x40, 0xFF, 0x40};
    for (int k = 0; k < 8; ++k)
        block.insert(block.end(), {0x00, 0x0F, 0xEF, 0x00});
    return block + Bytes{0x00, 0x00, 0x14};
}

std::string messageOf(const Bytes& container)
{
    try {
        unpackContainer(container, "tally.tld");
    } catch (const ELzrw1Exception& e) {
        return e.what();
    }
    return "no error";
}

const std::string kFastMismatch = "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
const std::string kGoodMismatch = "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !";
const std::string kReadError = "Lzrw1 : Error reading from input file : tally.tld";

TEST(container_pack, fast_files_byte_for_byte)
{
    EXPECT_EQ(packContainer({}, TCompressMode::Fast), (header("WRZL", 0) + Bytes{0x01, 0x00, 0x80}));
    EXPECT_EQ(packContainer(bytesOf("abc"), TCompressMode::Fast),
              (header("WRZL", 3) + Bytes{0x04, 0x00, 0x80, 'a', 'b', 'c'}));

    Bytes data(32768, 0);
    EXPECT_EQ(packContainer(data, TCompressMode::Fast),
              (header("WRZL", 32768) + zeroBlock() + Bytes{0x01, 0x00, 0x80}));
    data.push_back('A');
    EXPECT_EQ(packContainer(data, TCompressMode::Fast),
              (header("WRZL", 32769) + zeroBlock() + Bytes{0x02, 0x00, 0x80, 'A'}));
}

TEST(container_pack, good_files_and_round_trips)
{
    EXPECT_EQ(packContainer({}, TCompressMode::Good), header("!HZL", 0));
    EXPECT_EQ(packContainer(bytesOf("A"), TCompressMode::Good), (header("!HZL", 1) + Bytes{0xE6, 0x80}));

    Bytes data;
    for (int i = 0; i < 100000; ++i)
        data.push_back(static_cast<std::uint8_t>(i % 251 < 200 ? 'a' + i % 7 : i * 31));
    for (TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good, TCompressMode::Auto}) {
        const Bytes packed = packContainer(data, mode);
        EXPECT_EQ(unpackContainer(packed, "x"), data);
        EXPECT_EQ(packContainer(data, mode), packed); // the same data, the same bytes
    }
    EXPECT_EQ(unpackContainer(header("!HZL", 0), "x"), Bytes{});
    EXPECT_EQ(unpackContainer(header("WRZL", 0) + Bytes{0x01, 0x00, 0x80}, "x"), Bytes{});
}

TEST(container_pack, block_callback_runs_once_per_block)
{
    int calls = 0;
    packContainer(Bytes(65536, 'z'), TCompressMode::Fast, [&] { ++calls; });
    EXPECT_EQ(calls, 3); // two full pieces and the empty last one
    calls = 0;
    unpackContainer(packContainer(Bytes(40000, 'z'), TCompressMode::Fast), "x", [&] { ++calls; });
    EXPECT_EQ(calls, 2);
}

TEST(container_unpack, refuses_damaged_input_with_its_message)
{
    const Bytes good = packContainer(Bytes(32768, 0), TCompressMode::Fast);

    EXPECT_EQ(messageOf(bytesOf("plain text, not packed")),
              "tally.tld : Lzrw1 decompression : this file has no valid header !");
    EXPECT_EQ(messageOf(bytesOf("WRZ")), kReadError);
    EXPECT_EQ(messageOf(header("WRZL", 0)), kReadError);           // no block at all
    EXPECT_EQ(messageOf(Bytes(good.begin(), good.end() - 3)), kReadError); // last block missing
    EXPECT_EQ(messageOf(Bytes(good.begin(), good.end() - 1)), kReadError); // last block cut
    EXPECT_EQ(messageOf(header("WRZL", 3) + Bytes{0x05, 0x00, 0x80, 'a'}), kReadError);

    Bytes wrongSize = good;
    wrongSize[4] = 1;
    EXPECT_EQ(messageOf(wrongSize), kFastMismatch);
    EXPECT_EQ(messageOf(header("WRZL", 2) + Bytes{0x04, 0x00, 0x80, 'a', 'b', 'c'}), kFastMismatch);

    EXPECT_EQ(messageOf(header("WRZL", 3) + Bytes{0x05, 0x00, 0x40, 0x80, 0x00, 0x00, 0x10}),
              "Lzrw1 (decompression LZRW1/KH) : Damaged block in input file : tally.tld"
              " (back reference before the start of the block)");
}

TEST(container_unpack, refuses_short_lzh_streams_with_the_size_mismatch)
{
    const Bytes text = bytesOf(std::string(2000, 'k') + "tail of the text");
    Bytes packed = packContainer(text, TCompressMode::Good);
    EXPECT_EQ(unpackContainer(packed, "x"), text);
    EXPECT_EQ(messageOf(Bytes(packed.begin(), packed.end() - 2)), kGoodMismatch);
    EXPECT_EQ(messageOf(header("!HZL", 5)), kGoodMismatch);
    EXPECT_EQ(messageOf(bytesOf("!HZL")), kReadError);
}

// A few bytes of runs per 32768 unpacked: about 1.3 MB that states and
// really holds 1 GiB, if the stated size were believed.
Bytes bomb(std::uint32_t statedSize, std::size_t fullBlocks)
{
    Bytes container = header("WRZL", statedSize);
    const Bytes block = zeroBlock();
    for (std::size_t k = 0; k < fullBlocks; ++k)
        container.insert(container.end(), block.begin(), block.end());
    return container + Bytes{0x01, 0x00, 0x80};
}

TEST(container_unpack, a_stated_size_over_the_bound_is_refused_before_any_block)
{
    const Bytes data(40000, 'z');
    for (const TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good}) {
        const Bytes packed = packContainer(data, mode);
        int blocks = 0;
        const auto count = [&] { ++blocks; };
        EXPECT_EQ(unpackContainer(packed, "tally.tld", count, 40000), data);
        blocks = 0;
        try {
            unpackContainer(packed, "tally.tld", count, 39999);
            ADD_FAILURE() << "a size over the bound was unpacked";
        } catch (const ELzrw1Exception& e) {
            EXPECT_STREQ(e.what(), "tally.tld : Lzrw1 decompression : the stated size of 40000 bytes is over the "
                                   "limit of 39999 bytes !");
        }
        EXPECT_EQ(blocks, 0);
    }

    // The bound by default: 16 MiB, far past any tally, far below 4 GiB.
    const Bytes gib = bomb(1u << 30, 32768);
    EXPECT_EQ(messageOf(gib), "tally.tld : Lzrw1 decompression : the stated size of 1073741824 bytes is over the "
                              "limit of 16777216 bytes !");
    EXPECT_EQ(messageOf(header("WRZL", (16u << 20) + 1)),
              "tally.tld : Lzrw1 decompression : the stated size of 16777217 bytes is over the limit of "
              "16777216 bytes !");
    EXPECT_EQ(messageOf(header("!HZL", 0xFFFFFFFFu)),
              "tally.tld : Lzrw1 decompression : the stated size of 4294967295 bytes is over the limit of "
              "16777216 bytes !");
    // The header's own error comes first, as does a header cut short.
    EXPECT_EQ(messageOf(header("WRZX", 0xFFFFFFFFu)), "tally.tld : Lzrw1 decompression : this file has no valid header !");
    EXPECT_EQ(messageOf(Bytes{'W', 'R', 'Z', 'L', 0xFF, 0xFF}), kReadError);
    EXPECT_EQ(unpackContainer(bomb(16u << 20, 512), "x").size(), 16u << 20);
}

// Once the blocks have given more than the header stated, the file can only
// fail: decoding the rest would cost time for nothing.
TEST(container_unpack, unpacking_stops_at_the_first_block_past_the_stated_size)
{
    int blocks = 0;
    try {
        unpackContainer(bomb(10, 1000), "tally.tld", [&] { ++blocks; });
        ADD_FAILURE() << "an overlong container was unpacked";
    } catch (const ELzrw1Exception& e) {
        EXPECT_EQ(e.what(), kFastMismatch);
    }
    EXPECT_EQ(blocks, 0);
    blocks = 0;
    EXPECT_EQ(messageOf(bomb(32768 * 3 + 1, 4)), kFastMismatch);
    EXPECT_EQ(messageOf(bomb(32768 * 3, 3)), "no error");
}

TEST(container_advise, fast_for_what_it_shrinks_well)
{
    Bytes noise(20000);
    std::uint32_t seed = 7;
    for (auto& b : noise) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    const Bytes runs(20000, 'r');
    EXPECT_EQ(adviseMode(runs, 40), TCompressMode::Fast);
    EXPECT_EQ(adviseMode(noise, 40), TCompressMode::Good);
    EXPECT_EQ(adviseMode(noise, -100), TCompressMode::Fast);
    EXPECT_EQ(adviseMode(runs, 101), TCompressMode::Good);
    EXPECT_EQ(adviseMode({}, 40), TCompressMode::Fast);
}

// A fresh folder per test, removed afterwards.
class ContainerFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kestrova-lzrw1-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())
                                            + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const Bytes& data) const
    {
        std::ofstream out(path(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    Bytes read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t fileCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    std::string failure(Tlzrw1& c, bool compress)
    {
        try {
            compress ? c.Compress() : c.Decompress();
        } catch (const ELzrw1Exception& e) {
            return e.what();
        }
        return "no error";
    }

    fs::path dir_;
};

TEST_F(ContainerFiles, component_defaults_and_round_trip)
{
    Tlzrw1 c;
    EXPECT_EQ(c.CompressMode, TCompressMode::Good);
    EXPECT_EQ(c.Threshold, 40);

    const Bytes text = bytesOf("9\r\n12\r\n0\r\n\r\n\r\n-1000\r\n-1000\r\n");
    write("temp.txt", text);
    c.CompressMode = TCompressMode::Fast;
    c.InputFile = path("temp.txt");
    c.OutputFile = path("kestrovatally.tld");
    const std::uint64_t written = c.Compress();
    EXPECT_EQ(written, read("kestrovatally.tld").size());
    EXPECT_EQ(read("kestrovatally.tld"), packContainer(text, TCompressMode::Fast));

    c.InputFile = path("kestrovatally.tld");
    c.OutputFile = path("back.txt");
    EXPECT_EQ(c.Decompress(), text.size());
    EXPECT_EQ(read("back.txt"), text);
    EXPECT_EQ(fileCount(), 3u); // nothing left beside the outputs

    // Packing a file onto itself reads it whole first, so nothing is lost.
    c.InputFile = c.OutputFile = path("back.txt");
    c.Compress();
    c.Decompress();
    EXPECT_EQ(read("back.txt"), text);
}

TEST_F(ContainerFiles, missing_and_unwritable_files_give_their_messages)
{
    Tlzrw1 c;
    c.InputFile = path("absent");
    c.OutputFile = path("out");
    EXPECT_EQ(failure(c, true), "Lzrw1 compression : Failed to obtain the size of : " + path("absent"));
    EXPECT_EQ(failure(c, false), "Lzrw1 (de)compression : Failed to open input file : " + path("absent"));

    write("in", bytesOf("abc"));
    c.InputFile = path("in");
    c.OutputFile = path("no-such-folder/out");
    EXPECT_EQ(failure(c, true), "Lzrw1 (de)compression : Failed to open output file : " + c.OutputFile);
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(ContainerFiles, a_failed_unpack_leaves_no_output_and_keeps_an_old_one)
{
    Bytes damaged = packContainer(Bytes(40000, 'd'), TCompressMode::Fast);
    damaged[4] ^= 0x01;
    write("damaged.tld", damaged);
    write("plain.tld", bytesOf("9\r\n12\r\n"));

    Tlzrw1 c;
    c.InputFile = path("damaged.tld");
    c.OutputFile = path("out.txt");
    EXPECT_EQ(failure(c, false), kFastMismatch);
    EXPECT_FALSE(fs::exists(path("out.txt")));

    write("out.txt", bytesOf("the previous contents"));
    c.InputFile = path("plain.tld");
    EXPECT_EQ(failure(c, false), path("plain.tld") + " : Lzrw1 decompression : this file has no valid header !");
    EXPECT_EQ(read("out.txt"), bytesOf("the previous contents"));
    EXPECT_EQ(fileCount(), 3u);
}

TEST_F(ContainerFiles, unpacking_a_file_reads_no_more_than_its_stated_size_can_need)
{
    const Bytes text = bytesOf("9\r\n12\r\n" + std::string(500, 'x'));
    for (const TCompressMode mode : {TCompressMode::Fast, TCompressMode::Good}) {
        // A container, then a long tail that no unpacking looks at.
        write("tailed.tld", packContainer(text, mode));
        fs::resize_file(path("tailed.tld"), std::uintmax_t{256} << 20);   // sparse: costs no disk
        const Bytes read = readContainerFile(path("tailed.tld"));
        // At most one block of the largest length, or four bytes a byte.
        EXPECT_LE(read.size(), std::max<std::size_t>(8 + 2 + 0xFFFF, 8 + text.size() * 4 + 64));
        EXPECT_GE(read.size(), packContainer(text, mode).size());

        Tlzrw1 c;
        c.InputFile = path("tailed.tld");
        c.OutputFile = path("out.txt");
        EXPECT_EQ(c.Decompress(), text.size());
        EXPECT_EQ(this->read("out.txt"), text);
    }

    // The component's own bound, with the file's name in the message.
    write("bomb.tld", bomb(1u << 30, 32768));
    Tlzrw1 c;
    c.InputFile = path("bomb.tld");
    c.OutputFile = path("bomb.txt");
    EXPECT_EQ(failure(c, false), path("bomb.tld") + " : Lzrw1 decompression : the stated size of 1073741824 bytes "
                                                    "is over the limit of 16777216 bytes !");
    EXPECT_FALSE(fs::exists(path("bomb.txt")));
    c.MaxUnpackedSize = 1000;
    write("small.tld", packContainer(Bytes(1001, 's'), TCompressMode::Fast));
    c.InputFile = path("small.tld");
    EXPECT_EQ(failure(c, false), path("small.tld") + " : Lzrw1 decompression : the stated size of 1001 bytes "
                                                     "is over the limit of 1000 bytes !");
    c.MaxUnpackedSize = 1001;
    EXPECT_EQ(c.Decompress(), 1001u);
}

TEST_F(ContainerFiles, a_directory_as_input_is_refused)
{
    fs::create_directory(path("folder"));
    Tlzrw1 c;
    c.InputFile = path("folder");
    c.OutputFile = path("out");
    EXPECT_EQ(failure(c, true), "Lzrw1 compression : Failed to obtain the size of : " + path("folder"));
    EXPECT_EQ(failure(c, false), "Lzrw1 : Error reading from input file : " + path("folder"));
    EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(ContainerFiles, auto_mode_writes_what_advise_chooses)
{
    write("runs", Bytes(5000, 'r'));
    Tlzrw1 c;
    c.CompressMode = TCompressMode::Auto;
    c.InputFile = path("runs");
    c.OutputFile = path("runs.pak");
    EXPECT_EQ(c.Advise(), TCompressMode::Fast);
    c.Compress();
    EXPECT_EQ(read("runs.pak")[0], 'W');
    c.Threshold = 101; // nothing saves more than everything
    c.Compress();
    EXPECT_EQ(read("runs.pak")[0], '!');
    c.InputFile = path("runs.pak");
    c.OutputFile = path("runs.out");
    c.Decompress();
    EXPECT_EQ(read("runs.out"), Bytes(5000, 'r'));
}

} // namespace
} // namespace kestrova
