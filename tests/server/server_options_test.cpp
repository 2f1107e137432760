// kestrova-server's command line, a contract for the scripts that start it.
#include "server/serveroptions.h"

#include <gtest/gtest.h>

namespace {

using namespace kestrova::server;

std::string errorOf(const std::vector<std::string>& arguments)
{
    try {
        parseServerOptions(arguments);
    } catch (const OptionError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(ServerOptions, DefaultsAndEveryOptionInBothForms)
{
    const ServerOptions defaults = parseServerOptions({});
    EXPECT_EQ(formatAddress(defaults.host, defaults.port), "127.0.0.1:8080");
    EXPECT_EQ(defaults.database, "kestrova-scores.db");
    EXPECT_EQ(defaults.version, "1.0.2");
    EXPECT_EQ(defaults.installerDir, "");
    EXPECT_EQ(defaults.postLimit.perMinute, 30);
    EXPECT_EQ(defaults.postLimit.burst, 10);
    EXPECT_EQ(defaults.accessLog, "-");
    EXPECT_TRUE(defaults.trustedProxies.empty());
    EXPECT_FALSE(defaults.help);

    const ServerOptions spaced = parseServerOptions(
        {"--listen", "0.0.0.0:0", "--db", "/tmp/s.db", "--version", "1.0.3\n", "--installer-dir", "dl"});
    EXPECT_EQ(spaced.host, "0.0.0.0");
    EXPECT_EQ(spaced.port, 0);
    EXPECT_EQ(spaced.database, "/tmp/s.db");
    EXPECT_EQ(spaced.version, "1.0.3\n");
    EXPECT_EQ(spaced.installerDir, "dl");

    const ServerOptions joined = parseServerOptions({"--listen=[::1]:65535", "--db=a=b.db", "--version=", "--help"});
    EXPECT_EQ(joined.host, "::1");
    EXPECT_EQ(formatAddress(joined.host, joined.port), "[::1]:65535");
    EXPECT_EQ(joined.database, "a=b.db");
    EXPECT_EQ(joined.version, "");
    EXPECT_TRUE(joined.help);

    EXPECT_EQ(parseServerOptions({"--db", "one", "--db", "two"}).database, "two");

    const ServerOptions publicList =
        parseServerOptions({"--db", "postgresql://kestrova@db.example/scores", "--posts-per-minute=0", "--post-burst",
                            "1000000", "--access-log", "off", "--trusted-proxy", "10.0.0.1", "--trusted-proxy=::FFFF:10.0.0.2",
                            "--trusted-proxy", "2001:DB8::1"});
    EXPECT_EQ(publicList.database, "postgresql://kestrova@db.example/scores");
    EXPECT_EQ(publicList.postLimit.perMinute, 0);
    EXPECT_EQ(publicList.postLimit.burst, 1000000);
    EXPECT_EQ(publicList.accessLog, "off");
    EXPECT_EQ(publicList.trustedProxies, (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "2001:db8::1"}));
}

TEST(ServerOptions, EveryFaultIsOneLineNamingIt)
{
    EXPECT_EQ(errorOf({"--port", "1"}), "unknown option '--port'");
    EXPECT_EQ(errorOf({"-x"}), "unexpected argument '-x'");
    EXPECT_EQ(errorOf({"scores.db"}), "unexpected argument 'scores.db'");
    EXPECT_EQ(errorOf({"--db"}), "--db needs a value");
    EXPECT_EQ(errorOf({"--db="}), "--db needs a non-empty value");
    EXPECT_EQ(errorOf({"--installer-dir", ""}), "--installer-dir needs a non-empty value");
    EXPECT_EQ(errorOf({"--listen", "8080"}), "--listen wants ADDR:PORT, got '8080'");
    EXPECT_EQ(errorOf({"--listen", "::1:8080"}), "--listen wants an IPv6 address in brackets, as [::1]:8080");
    for (const char* bad : {"127.0.0.1:65536", "127.0.0.1:-1", "127.0.0.1:", ":8080", "127.0.0.1:80x",
                            "127.0.0.1: 80", "[]:80"})
        EXPECT_EQ(errorOf({"--listen", bad}),
                  std::string("--listen wants ADDR:PORT with a port from 0 to 65535, got '") + bad + "'");
    EXPECT_EQ(errorOf({"--posts-per-minute", "ten"}),
              "--posts-per-minute wants a whole number from 0 to 1000000, got 'ten'");
    for (const char* bad : {"0", "-3", "1000001", "2.5", " 4", "99999999999"})
        EXPECT_EQ(errorOf({"--post-burst", bad}),
                  std::string("--post-burst wants a whole number from 1 to 1000000, got '") + bad + "'");
    EXPECT_EQ(errorOf({"--posts-per-minute="}), "--posts-per-minute needs a non-empty value");
    EXPECT_EQ(errorOf({"--access-log"}), "--access-log needs a value");
    EXPECT_EQ(errorOf({"--trusted-proxy", "lb.example"}), "--trusted-proxy wants an IP address, got 'lb.example'");
    for (const std::string& line : {errorOf({"--nope"}), errorOf({"--listen", "x"})})
        EXPECT_EQ(line.find('\n'), std::string::npos);
}

} // namespace
