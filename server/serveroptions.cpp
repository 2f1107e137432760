// Parses kestrova-server's options; every fault becomes one OptionError line.
#include "server/serveroptions.h"

#include "server/clientaddress.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace kestrova::server {

namespace {

void readListenAddress(const std::string& text, ServerOptions& options)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        throw OptionError("--listen wants ADDR:PORT, got '" + text + "'");
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos)
        throw OptionError("--listen wants an IPv6 address in brackets, as [::1]:8080");
    int value = -1;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (host.empty() || port.empty() || error != std::errc() || end != port.data() + port.size() || value < 0 ||
        value > 65535)
        throw OptionError("--listen wants ADDR:PORT with a port from 0 to 65535, got '" + text + "'");
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

} // namespace

ServerOptions parseServerOptions(const std::vector<std::string>& arguments)
{
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
        if (std::find(std::begin(kOptionsWithValue), std::end(kOptionsWithValue), name) == std::end(kOptionsWithValue))
            throw OptionError("unknown option '" + name + "'");
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw OptionError(name + " needs a value");
        }
        if (name == "--listen") {
            readListenAddress(value, options);
        } else if (name == "--version") {
            // Served exactly as given, line ends and all.
            options.version = value;
        } else if (value.empty()) {
            throw OptionError(name + " needs a non-empty value");
        } else if (name == "--db") {
            options.database = value;
        } else if (name == "--installer-dir") {
            options.installerDir = value;
        } else if (name == "--access-log") {
            options.accessLog = value;
        } else if (name == "--posts-per-minute") {
            options.postLimit.perMinute = readCount(name, value, 0, 1'000'000);
        } else if (name == "--post-burst") {
            options.postLimit.burst = readCount(name, value, 1, 1'000'000);
        } else {
            const std::optional<std::string> address = canonicalAddress(value);
            if (!address)
                throw OptionError("--trusted-proxy wants an IP address, got '" + value + "'");
            options.trustedProxies.push_back(*address);
        }
    }
    return options;
}

std::string serverUsage()
{
    const PostLimit defaults;
    return "usage: kestrova-server [--listen ADDR:PORT] [--db FILE] [--version TEXT] [--installer-dir DIR]\n"
           "                       [--posts-per-minute N] [--post-burst N] [--trusted-proxy ADDR]...\n"
           "                       [--access-log FILE]\n"
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
           "  --version TEXT        version text served exactly as given (default 1.0.2)\n"
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
