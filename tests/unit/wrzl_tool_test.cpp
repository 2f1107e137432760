// kestrova-wrzl run as a user would: exit codes, what it prints, and that a
// failed call leaves no output file.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kestrova {
namespace {

namespace fs = std::filesystem;

class WrzlTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path()
               / ("kestrova-wrzl-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const std::string& data) const
    {
        std::ofstream(path(name), std::ios::binary) << data;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Runs the tool with the given arguments; returns its exit code and keeps
    // what it printed in out_ and err_.
    int run(const std::string& arguments)
    {
        const std::string command = "\"" KESTROVA_WRZL_PATH "\" " + arguments + " >\"" + path("stdout")
                                    + "\" 2>\"" + path("stderr") + "\"";
        const int status = std::system(command.c_str());
        out_ = read("stdout");
        err_ = read("stderr");
        fs::remove(path("stdout"));
        fs::remove(path("stderr"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir_;
    std::string out_;
    std::string err_;
};

TEST_F(WrzlTool, packs_fast_or_good_and_unpacks_both)
{
    const std::string text = "9\r\n12\r\n0\r\n0\r\n" + std::string(300, '-');
    write("in.txt", text);

    EXPECT_EQ(run("pack " + path("in.txt") + " " + path("fast.tld")), 0);
    const std::string fast = read("fast.tld");
    EXPECT_EQ(out_, std::to_string(fast.size()) + " bytes written\n");
    EXPECT_EQ(fast.substr(0, 4), "WRZL");

    EXPECT_EQ(run("pack --good " + path("in.txt") + " " + path("good.tld")), 0);
    EXPECT_EQ(read("good.tld").substr(0, 4), "!HZL");

    for (const char* packed : {"fast.tld", "good.tld"}) {
        EXPECT_EQ(run("unpack " + path(packed) + " " + path("out.txt")), 0);
        EXPECT_EQ(out_, std::to_string(text.size()) + " bytes written\n");
        EXPECT_EQ(read("out.txt"), text);
        EXPECT_TRUE(err_.empty());
    }
}

TEST_F(WrzlTool, failures_print_the_message_and_leave_no_output)
{
    write("plain.txt", "not a container");
    EXPECT_EQ(run("unpack " + path("plain.txt") + " " + path("out")), 1);
    EXPECT_EQ(err_, path("plain.txt") + " : Lzrw1 decompression : this file has no valid header !\n");
    EXPECT_TRUE(out_.empty());
    EXPECT_FALSE(fs::exists(path("out")));

    write("cut.tld", std::string("WRZL\x10\x00\x00\x00\x05\x00", 10));
    EXPECT_EQ(run("unpack " + path("cut.tld") + " " + path("out")), 1);
    EXPECT_EQ(err_, "Lzrw1 : Error reading from input file : " + path("cut.tld") + "\n");
    EXPECT_FALSE(fs::exists(path("out")));

    EXPECT_EQ(run("pack " + path("absent") + " " + path("out")), 1);
    EXPECT_EQ(err_, "Lzrw1 compression : Failed to obtain the size of : " + path("absent") + "\n");
    EXPECT_FALSE(fs::exists(path("out")));
}

// A header states the unpacked size; unpacking holds it all in memory, so a
// size over --max-size (16M unless given) is refused before any decoding.
TEST_F(WrzlTool, unpack_refuses_a_stated_size_over_its_maximum)
{
    // Two blocks of 32768 zero bytes, 80 bytes in all; then the end block.
    write("in.txt", std::string(65536, '\0'));
    ASSERT_EQ(run("pack " + path("in.txt") + " " + path("zeros.tld")), 0);

    EXPECT_EQ(run("unpack --max-size 65535 " + path("zeros.tld") + " " + path("out")), 1);
    EXPECT_EQ(err_, path("zeros.tld") + " : Lzrw1 decompression : the stated size of 65536 bytes is over the limit "
                                        "of 65535 bytes !\n");
    EXPECT_FALSE(fs::exists(path("out")));
    for (const char* limit : {"65536", "64K", "1M", "4G"}) {
        EXPECT_EQ(run(std::string("unpack --max-size ") + limit + " " + path("zeros.tld") + " " + path("out")), 0)
            << limit;
        EXPECT_EQ(out_, "65536 bytes written\n");
    }

    // The same file stating 2 GiB, with its blocks to match, by default.
    std::string bomb = read("zeros.tld");
    bomb[4] = 0, bomb[5] = 0, bomb[6] = 0, bomb[7] = static_cast<char>(0x80);
    const std::string block = bomb.substr(8, (bomb.size() - 8 - 3) / 2);
    std::string blocks;
    for (int k = 0; k < 1000; ++k)
        blocks += block;
    write("bomb.tld", bomb.substr(0, 8) + blocks + "\x01\x00\x80");
    EXPECT_EQ(run("unpack " + path("bomb.tld") + " " + path("out2")), 1);
    EXPECT_EQ(err_, path("bomb.tld") + " : Lzrw1 decompression : the stated size of 2147483648 bytes is over the "
                                       "limit of 16777216 bytes !\n");
    EXPECT_FALSE(fs::exists(path("out2")));
}

TEST_F(WrzlTool, bad_usage_exits_with_two)
{
    for (const char* arguments : {"", "pack", "pack a", "pack --fast a b", "unpack a", "unpack a b c", "copy a b",
                                  "unpack --max-size a b", "unpack --max-size 1 a b c", "pack --max-size 1 a b",
                                  "unpack --max-size x a b", "unpack --max-size 1T a b", "unpack --max-size -1 a b",
                                  "unpack --max-size 4097M a b", "unpack --max-size 1k a b", "unpack --max-size '' a b",
                                  "unpack --max-size 99999999999999999999 a b"}) {
        EXPECT_EQ(run(arguments), 2) << arguments;
        EXPECT_EQ(err_.rfind("usage: kestrova-wrzl", 0), 0u) << arguments;
        EXPECT_TRUE(out_.empty());
    }
}

} // namespace
} // namespace kestrova
