// kestrova-server's command line, a contract for the scripts that start it.
#include "server/serveroptions.h"
#include "support/tempfolder.h"

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

std::string configErrorOf(std::string_view text)
{
    ServerOptions options;
    try {
        readServerConfig(text, "k.conf", options);
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

TEST(ServerConfigFile, GivesTheStartingValuesAndTheCommandLineWins)
{
    kestrova::testing::TempFolder folder;
    const std::string file = (folder / "kestrova-server.conf").string();
    kestrova::testing::writeBytes(file, "# the score server\n"
                                        "\n"
                                        "listen = 0.0.0.0:80\r\n"
                                        "  db\t=\t/var/lib/kestrova-server/scores.db  \n"
                                        "version = 1.0.3\n"
                                        "installer-dir = /srv/setup\n"
                                        "   # an indented comment = not a key\n"
                                        "posts-per-minute = 0\n"
                                        "post-burst=5\n"
                                        "access-log = off\n"
                                        "trusted-proxy = 10.0.0.1\n"
                                        "trusted-proxy = ::ffff:10.0.0.2\n"
                                        "db = postgresql://kestrova@/scores\n"
                                        "access-log = /var/log/k.log");   // no line end at the end

    const ServerOptions fromFile = parseServerOptions({"--config", file});
    EXPECT_EQ(formatAddress(fromFile.host, fromFile.port), "0.0.0.0:80");
    EXPECT_EQ(fromFile.database, "postgresql://kestrova@/scores");   // the later line wins
    EXPECT_EQ(fromFile.version, "1.0.3");
    EXPECT_EQ(fromFile.installerDir, "/srv/setup");
    EXPECT_EQ(fromFile.postLimit.perMinute, 0);
    EXPECT_EQ(fromFile.postLimit.burst, 5);
    EXPECT_EQ(fromFile.accessLog, "/var/log/k.log");
    EXPECT_EQ(fromFile.trustedProxies, (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));

    // Options given before --config still win; the command line's proxies replace the file's.
    const ServerOptions overridden = parseServerOptions({"--db", "mine.db", "--trusted-proxy", "192.0.2.1",
                                                         "--config=" + file, "--trusted-proxy", "192.0.2.2",
                                                         "--post-burst", "7", "--version="});
    EXPECT_EQ(overridden.database, "mine.db");
    EXPECT_EQ(overridden.trustedProxies, (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
    EXPECT_EQ(overridden.postLimit.burst, 7);
    EXPECT_EQ(overridden.version, "");
    EXPECT_EQ(formatAddress(overridden.host, overridden.port), "0.0.0.0:80");   // untouched: from the file

    // An empty file, or one of comments only, changes nothing.
    kestrova::testing::writeBytes(file, "# nothing set\n\n");
    EXPECT_EQ(parseServerOptions({"--config", file}).database, "kestrova-scores.db");
    // --help answers without reading a file, even a missing one.
    EXPECT_TRUE(parseServerOptions({"--config", (folder / "missing").string(), "--help"}).help);
}

TEST(ServerConfigFile, EveryFaultNamesTheFileAndLine)
{
    EXPECT_EQ(configErrorOf("db = a.db\nport = 80\n"), "k.conf:2: unknown key 'port'");
    EXPECT_EQ(configErrorOf("--db = a.db"), "k.conf:1: unknown key '--db'");
    EXPECT_EQ(configErrorOf("config = other.conf"), "k.conf:1: unknown key 'config'");
    EXPECT_EQ(configErrorOf("help = yes"), "k.conf:1: unknown key 'help'");
    EXPECT_EQ(configErrorOf("DB = a.db"), "k.conf:1: unknown key 'DB'");
    EXPECT_EQ(configErrorOf("\n\nlisten 127.0.0.1:80"), "k.conf:3: expected KEY = VALUE");
    EXPECT_EQ(configErrorOf(" = 5"), "k.conf:1: expected KEY = VALUE");
    EXPECT_EQ(configErrorOf("db ="), "k.conf:1: db needs a non-empty value");
    EXPECT_EQ(configErrorOf("post-burst = 0"), "k.conf:1: post-burst wants a whole number from 1 to 1000000, got '0'");
    EXPECT_EQ(configErrorOf("posts-per-minute = 3 # a comment"),
              "k.conf:1: posts-per-minute wants a whole number from 0 to 1000000, got '3 # a comment'");
    EXPECT_EQ(configErrorOf("listen = localhost"), "k.conf:1: listen wants ADDR:PORT, got 'localhost'");
    EXPECT_EQ(configErrorOf("trusted-proxy = lb.example"),
              "k.conf:1: trusted-proxy wants an IP address, got 'lb.example'");
    EXPECT_EQ(configErrorOf(std::string_view("db = a\0b.db", 11)), "k.conf:1: control character in the line");
    EXPECT_EQ(configErrorOf("version = 1.0.2\x1b[2J"), "k.conf:1: control character in the line");
    EXPECT_EQ(configErrorOf("version =\n"), "(accepted)");   // an empty version is served as it is

    kestrova::testing::TempFolder folder;
    const std::string missing = (folder / "missing.conf").string();
    EXPECT_EQ(errorOf({"--config", missing}).rfind("cannot read the configuration file " + missing + ": ", 0), 0u);
    EXPECT_EQ(errorOf({"--config", folder.path().string()}),
              "the configuration file " + folder.path().string() + " is a folder");
    EXPECT_EQ(errorOf({"--config="}), "--config needs a non-empty value");
    EXPECT_EQ(errorOf({"--config"}), "--config needs a value");
    const std::string huge = (folder / "huge.conf").string();
    kestrova::testing::writeBytes(huge, std::string(70 * 1024, '#'));
    EXPECT_EQ(errorOf({"--config", huge}), "the configuration file " + huge + " is over 64 KiB");
    // A fault in the file stops the parse even where the command line would have replaced the value.
    const std::string bad = (folder / "bad.conf").string();
    kestrova::testing::writeBytes(bad, "db = a.db\npost-burst = many\n");
    EXPECT_EQ(errorOf({"--config", bad, "--post-burst", "3"}),
              bad + ":2: post-burst wants a whole number from 1 to 1000000, got 'many'");
}

} // namespace
