// kestrova-wrzl: packs a file into the container form and unpacks it again,
// for looking at tally files and making test data by hand.
#include "tally/lzrw1.h"

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

int usage()
{
    std::fputs("usage: kestrova-wrzl pack [--good] IN OUT | kestrova-wrzl unpack IN OUT\n", stderr);
    return kBadUsage;
}

} // namespace

int main(int argc, char** argv)
{
    using kestrova::TCompressMode;
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];

    kestrova::Tlzrw1 container;
    bool pack = false;
    if (command == "pack" && argc == 4) {
        pack = true;
        container.CompressMode = TCompressMode::Fast;
    } else if (command == "pack" && argc == 5 && std::string_view(argv[2]) == "--good") {
        pack = true;
        container.CompressMode = TCompressMode::Good;
    } else if (command != "unpack" || argc != 4) {
        return usage();
    }
    container.InputFile = argv[argc - 2];
    container.OutputFile = argv[argc - 1];

    try {
        const std::uint64_t written = pack ? container.Compress() : container.Decompress();
        std::printf("%llu bytes written\n", static_cast<unsigned long long>(written));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return kFailed;
    }
    return std::fflush(stdout) == 0 ? 0 : kFailed;
}
