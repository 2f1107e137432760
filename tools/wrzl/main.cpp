// kestrova-wrzl: packs a file into the container form and unpacks it again,
// for looking at tally files and making test data by hand.
#include "tally/lzrw1.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

int usage()
{
    std::fputs("usage: kestrova-wrzl pack [--good] IN OUT\n"
               "       kestrova-wrzl unpack [--max-size BYTES] IN OUT\n"
               "BYTES: the largest unpacked size accepted, a number with an optional K, M or G\n"
               "(binary multiples); default 16M, at most 4G\n",
               stderr);
    return kBadUsage;
}

// "1048576", "1024K", "1M": nothing else, and nothing past what a container can state.
std::optional<std::uint64_t> parseSize(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    int shift = 0;
    if (suffix == "K")
        shift = 10;
    else if (suffix == "M")
        shift = 20;
    else if (suffix == "G")
        shift = 30;
    else if (!suffix.empty())
        return std::nullopt;
    if (value > (std::uint64_t{1} << 32) >> shift)
        return std::nullopt;
    return std::min(value << shift, kestrova::kNoUnpackedSizeLimit);
}

} // namespace

int main(int argc, char** argv)
{
    using kestrova::TCompressMode;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty())
        return usage();
    const std::string_view command = args[0];

    kestrova::Tlzrw1 container;
    bool pack = false;
    if (command == "pack" && args.size() == 3) {
        pack = true;
        container.CompressMode = TCompressMode::Fast;
    } else if (command == "pack" && args.size() == 4 && args[1] == "--good") {
        pack = true;
        container.CompressMode = TCompressMode::Good;
    } else if (command == "unpack" && args.size() == 5 && args[1] == "--max-size") {
        const std::optional<std::uint64_t> limit = parseSize(args[2]);
        if (!limit)
            return usage();
        container.MaxUnpackedSize = *limit;
    } else if (command != "unpack" || args.size() != 3) {
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
