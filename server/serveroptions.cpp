// Parses kestrova-server's options; every fault becomes one OptionError line.
#include "server/serveroptions.h"

#include "server/clientaddress.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <utility>

namespace kestrova::server {

namespace {

void readListenAddress(const std::string& label, const std::string& text, ServerOptions& options)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        throw OptionError(label + " wants ADDR:PORT, got '" + text + "'");
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos)
        throw OptionError(label + " wants an IPv6 address in brackets, as [::1]:8080");
    int value = -1;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (host.empty() || port.empty() || error != std::errc() || end != port.data() + port.size() || value < 0 ||
        value > 65535)
        throw OptionError(label + " wants ADDR:PORT with a port from 0 to 65535, got '" + text + "'");
    options.host = host;
    options.port = value;
}

int readCount(const std::string& name, const std::string& text, int lowest, int highest)
{
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest)
        throw OptionError(name + " wants a whole number from " + std::to_string(lowest) + " to " +
                          std::to_string(highest) + ", got '" + text + "'");
    return value;
}

constexpr const char* kOptionsWithValue[] = {"--listen",           "--db",         "--version",
                                             "--installer-dir",    "--access-log", "--posts-per-minute",
                                             "--post-burst",       "--trusted-proxy"};

// Sets one option from its value; `label` names it in errors ("--db" on the
// command line, "db" in a configuration file).
void setOption(const std::string& name, const std::string& label, const std::string& value, ServerOptions& options)
{
    if (name == "--listen") {
        readListenAddress(label, value, options);
    } else if (name == "--version") {
        // Served exactly as given, line ends and all.
        options.version = value;
    } else if (value.empty()) {
        throw OptionError(label + " needs a non-empty value");
    } else if (name == "--db") {
        options.database = value;
    } else if (name == "--installer-dir") {
        options.installerDir = value;
    } else if (name == "--access-log") {
        options.accessLog = value;
    } else if (name == "--posts-per-minute") {
        options.postLimit.perMinute = readCount(label, value, 0, 1'000'000);
    } else if (name == "--post-burst") {
        options.postLimit.burst = readCount(label, value, 1, 1'000'000);
    } else {
        const std::optional<std::string> address = canonicalAddress(value);
        if (!address)
            throw OptionError(label + " wants an IP address, got '" + value + "'");
        options.trustedProxies.push_back(*address);
    }
}

bool isOptionWithValue(const std::string& name)
{
    return std::find(std::begin(kOptionsWithValue), std::end(kOptionsWithValue), name) != std::end(kOptionsWithValue);
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A configuration file is a few lines; anything far larger is the wrong file.
constexpr std::size_t kLargestConfigFile = 64 * 1024;

std::string readConfigFile(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw OptionError("the configuration file " + path + " is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw OptionError("cannot read the configuration file " + path + ": " + std::strerror(errno));
    std::string text;
    std::array<char, 4096> buffer{};
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > kLargestConfigFile)
            throw OptionError("the configuration file " + path + " is over 64 KiB");
    }
    if (in.bad())
        throw OptionError("cannot read the configuration file " + path);
    return text;
}

} // namespace

void readServerConfig(std::string_view text, const std::string& source, ServerOptions& options)
{
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::string where = source + ":" + std::to_string(lineNumber) + ": ";
        if (line.empty() || line.front() == '#')
            continue;
        if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < ' ' && c != '\t'; }))
            throw OptionError(where + "control character in the line");
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            throw OptionError(where + "expected KEY = VALUE");
        const std::string key(trimmed(line.substr(0, equals)));
        if (key.empty())
            throw OptionError(where + "expected KEY = VALUE");
        if (!isOptionWithValue("--" + key))
            throw OptionError(where + "unknown key '" + key + "'");
        setOption("--" + key, where + key, std::string(trimmed(line.substr(equals + 1))), options);
    }
}

ServerOptions parseServerOptions(const std::vector<std::string>& arguments)
{
    // The file, when there is one, gives the starting values; whatever the
    // command line says wins over it, whatever the order.
    std::vector<std::pair<std::string, std::string>> given;
    std::optional<std::string> configFile;
    ServerOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument.rfind("--", 0) != 0)
            throw OptionError("unexpected argument '" + argument + "'");
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name != "--config" && !isOptionWithValue(name))
            throw OptionError("unknown option '" + name + "'");
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw OptionError(name + " needs a value");
        }
        if (name == "--config") {
            if (value.empty())
                throw OptionError("--config needs a non-empty value");
            configFile = value;
        } else {
            given.emplace_back(name, value);
        }
    }
    // --help answers even when the file is missing or wrong.
    if (configFile && !options.help)
        readServerConfig(readConfigFile(*configFile), *configFile, options);

    bool proxiesGiven = false;
    for (const auto& [name, value] : given) {
        if (name == "--trusted-proxy" && !proxiesGiven) {
            // The command line's proxies replace the file's rather than adding to them.
            options.trustedProxies.clear();
            proxiesGiven = true;
        }
        setOption(name, name, value, options);
    }
    return options;
}

std::string serverUsage()
{
    const PostLimit defaults;
    return "usage: kestrova-server [--listen ADDR:PORT] [--db FILE] [--version TEXT] [--installer-dir DIR]\n"
           "                       [--posts-per-minute N] [--post-burst N] [--trusted-proxy ADDR]...\n"
           "                       [--access-log FILE] [--config FILE]\n"
           "\n"
           "Serves Kestrova's score list, version text and installer over HTTP.\n"
           "\n"
           "  --listen ADDR:PORT    address to listen on (default 127.0.0.1:8080); port 0 takes\n"
           "                        any free port; IPv6 addresses go in brackets, as [::1]:8080\n"
           "  --db FILE             SQLite database of the scores (default kestrova-scores.db)\n"
           "  --db postgresql://USER@HOST/DATABASE\n"
           "                        the scores in PostgreSQL instead, shared by as many servers\n"
           "                        as point at the same database (a libpq URL; the database\n"
           "                        must exist, its table is made when missing)\n"
           "  --version TEXT        version text served exactly as given (default " + std::string(kVersion) + ")\n"
           "  --installer-dir DIR   folder holding kessetup.exe and kessetup.exe.minisig\n"
           "                        (default none: both answer 404)\n"
           "  --posts-per-minute N  scores one client address may post a minute (default " +
           std::to_string(defaults.perMinute) +
           ");\n"
           "                        0 takes any number. Past it a post is answered 429 and not\n"
           "                        stored. IPv6 clients count per /64 network. Each server\n"
           "                        process counts on its own.\n"
           "  --post-burst N        posts allowed at once after a quiet spell (default " +
           std::to_string(defaults.burst) +
           ")\n"
           "  --trusted-proxy ADDR  a proxy or load balancer whose X-Forwarded-For header names\n"
           "                        the real client, for the limit and the log; may be repeated\n"
           "  --access-log FILE     where the access log goes, one line per request in the\n"
           "                        common log format: a file appended to, - for stdout\n"
           "                        (default), or off\n"
           "  --config FILE         read options from FILE first: one KEY = VALUE a line, the\n"
           "                        keys named as the options above without their dashes\n"
           "                        (trusted-proxy may be repeated), # starts a comment line.\n"
           "                        The command line wins over the file.\n"
           "  --help                this text\n"
           "\n"
           "Once it accepts connections it prints one line: listening on ADDR:PORT\n";
}

std::string formatAddress(const std::string& host, int port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace kestrova::server
