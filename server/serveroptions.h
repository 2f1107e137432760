// kestrova-server's command line. Outside checks start the server with it, so
// its options, defaults and exit codes stay as they are.
#pragma once

#include "kestrovaversion.h"
#include "server/postlimiter.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::server {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8080;   // 0: any free port, announced once bound
    std::string database = "kestrova-scores.db";   // or a postgresql:// URL
    std::string version = kVersion;
    std::string installerDir;   // empty: no installer to serve
    PostLimit postLimit;
    std::string accessLog = "-";   // "-": stdout; "off": none; else a file
    std::vector<std::string> trustedProxies;   // canonical addresses
    bool help = false;
};

// A bad command line; what() is the one line to show.
class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Options take their value as the
// next argument or after "=" (--db=FILE); a later option wins over an earlier
// one, except --trusted-proxy, which adds one more address each time.
// --config FILE reads the file first (see readServerConfig); every option on
// the command line then wins over it, and the command line's --trusted-proxy
// addresses replace the file's. With --help the file is not read.
ServerOptions parseServerOptions(const std::vector<std::string>& arguments);

// Applies a configuration file's text to `options`: "KEY = VALUE" lines whose
// keys are the options' names without "--", blanks around both ignored, blank
// lines and lines starting with "#" skipped. Faults name `source` and the line.
void readServerConfig(std::string_view text, const std::string& source, ServerOptions& options);

// The text --help prints.
std::string serverUsage();

// "127.0.0.1:8080", "[::1]:8080": the address as --listen takes it.
std::string formatAddress(const std::string& host, int port);

} // namespace kestrova::server
