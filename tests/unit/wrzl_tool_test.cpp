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

TEST_F(WrzlTool, bad_usage_exits_with_two)
{
    for (const char* arguments : {"", "pack", "pack a", "pack --fast a b", "unpack a", "unpack a b c", "copy a b"}) {
        EXPECT_EQ(run(arguments), 2) << arguments;
        EXPECT_EQ(err_.rfind("usage: kestrova-wrzl", 0), 0u) << arguments;
        EXPECT_TRUE(out_.empty());
    }
}

} // namespace
} // namespace kestrova
