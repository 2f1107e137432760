// Packs and unpacks the same data with the container's Fast method, LZ4 and
// zlib level 1 in one run, then prints each codec's speed and ratio and the
// container's speed as a ratio of its peers'.
#include "tally/lzrw1.h"

#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes textCorpus()
{
    Bytes text = readFile("/usr/share/common-licenses/GPL-3");
    if (!text.empty())
        return text;
    // No licence text on this machine: a generated text of similar length.
    const char* words[] = {"the", "program", "license", "you", "of", "to", "and", "work",
                           "any", "that", "or", "this", "copy", "source", "code", "terms"};
    std::uint32_t seed = 1;
    std::string generated;
    while (generated.size() < 35000) {
        seed = seed * 1103515245u + 12345u;
        generated += words[(seed >> 16) % 16];
        generated += (seed >> 8) % 11 == 0 ? ".\n" : " ";
    }
    return Bytes(generated.begin(), generated.end());
}

// The tally table as a fresh install writes it: 9 columns of 12 rows, column
// by column, counters in row 0 and "-1000" for the ten empty score slots.
Bytes tallyText()
{
    std::string text = "9\r\n12\r\n";
    for (int column = 0; column < 9; ++column) {
        for (int row = 0; row < 12; ++row) {
            std::string cell;
            if (row == 0 && column <= 6)
                cell = column == 5 ? "1000" : "0";
            else if (column == 1 && row >= 1 && row <= 10)
                cell = "-1000";
            text += cell + "\r\n";
        }
    }
    return Bytes(text.begin(), text.end());
}

struct Codec {
    const char* name;
    std::function<Bytes(const Bytes&)> pack;
    std::function<Bytes(const Bytes&, std::size_t)> unpack;
};

const std::vector<Codec>& codecs()
{
    static const std::vector<Codec> all = {
        {"WRZL",
         [](const Bytes& in) { return kestrova::packContainer(in, kestrova::TCompressMode::Fast); },
         [](const Bytes& in, std::size_t) { return kestrova::unpackContainer(in, "bench"); }},
        {"LZ4",
         [](const Bytes& in) {
             Bytes out(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(in.size()))));
             const int n = LZ4_compress_default(reinterpret_cast<const char*>(in.data()),
                                                reinterpret_cast<char*>(out.data()),
                                                static_cast<int>(in.size()), static_cast<int>(out.size()));
             if (n <= 0)
                 std::abort();
             out.resize(static_cast<std::size_t>(n));
             return out;
         },
         [](const Bytes& in, std::size_t size) {
             Bytes out(size);
             const int n = LZ4_decompress_safe(reinterpret_cast<const char*>(in.data()),
                                               reinterpret_cast<char*>(out.data()),
                                               static_cast<int>(in.size()), static_cast<int>(size));
             if (n != static_cast<int>(size))
                 std::abort();
             return out;
         }},
        {"zlib-1",
         [](const Bytes& in) {
             uLongf n = compressBound(static_cast<uLong>(in.size()));
             Bytes out(n);
             if (compress2(out.data(), &n, in.data(), static_cast<uLong>(in.size()), 1) != Z_OK)
                 std::abort();
             out.resize(n);
             return out;
         },
         [](const Bytes& in, std::size_t size) {
             Bytes out(size);
             uLongf n = static_cast<uLongf>(size);
             if (uncompress(out.data(), &n, in.data(), static_cast<uLong>(in.size())) != Z_OK || n != size)
                 std::abort();
             return out;
         }},
    };
    return all;
}

struct DataSet {
    std::string name;
    Bytes data;
};

// Keeps the measured speed of every run, by benchmark name, for the summary.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    RecordingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (run.run_type == Run::RT_Iteration && it != run.counters.end())
                speed[run.benchmark_name()] = it->second.value / 1e6;
        }
    }
    std::map<std::string, double> speed; // MB/s
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<DataSet> sets = {
        {"text", textCorpus()},
        {"binary", readFile("/proc/self/exe")},
        {"tally", tallyText()},
    };
    if (sets[1].data.empty())
        sets[1].data = readFile(argv[0]);

    std::map<std::string, double> ratio; // packed size / original size
    for (const DataSet& set : sets) {
        for (const Codec& codec : codecs()) {
            const Bytes packed = codec.pack(set.data);
            if (codec.unpack(packed, set.data.size()) != set.data) {
                std::fprintf(stderr, "%s does not round-trip %s\n", codec.name, set.name.c_str());
                return 1;
            }
            ratio[set.name + "/" + codec.name] = double(packed.size()) / double(set.data.size());

            benchmark::RegisterBenchmark((set.name + "/" + codec.name + "/pack").c_str(),
                                         [&set, &codec](benchmark::State& state) {
                                             for (auto _ : state)
                                                 benchmark::DoNotOptimize(codec.pack(set.data));
                                             state.SetBytesProcessed(state.iterations()
                                                                     * static_cast<std::int64_t>(set.data.size()));
                                         });
            benchmark::RegisterBenchmark((set.name + "/" + codec.name + "/unpack").c_str(),
                                         [&set, &codec, packed](benchmark::State& state) {
                                             for (auto _ : state)
                                                 benchmark::DoNotOptimize(codec.unpack(packed, set.data.size()));
                                             state.SetBytesProcessed(state.iterations()
                                                                     * static_cast<std::int64_t>(set.data.size()));
                                         });
        }
    }

    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto speedOf = [&](const std::string& key) {
        const auto it = reporter.speed.find(key);
        return it == reporter.speed.end() ? 0.0 : it->second;
    };
    auto quotient = [](double a, double b) { return b > 0 ? a / b : 0.0; };

    std::printf("\n%-7s %8s  %-7s %7s %11s %13s\n", "data", "bytes", "codec", "ratio", "pack MB/s", "unpack MB/s");
    for (const DataSet& set : sets) {
        for (const Codec& codec : codecs()) {
            const std::string key = set.name + "/" + codec.name;
            std::printf("%-7s %8zu  %-7s %6.1f%% %11.1f %13.1f\n", set.name.c_str(), set.data.size(), codec.name,
                        100.0 * ratio[key], speedOf(key + "/pack"), speedOf(key + "/unpack"));
        }
    }
    std::printf("\nspeed of WRZL as a multiple of its peer's (above 1: WRZL faster)\n");
    std::printf("%-7s %14s %16s %15s %17s\n", "data", "pack vs LZ4", "unpack vs LZ4", "pack vs zlib", "unpack vs zlib");
    for (const DataSet& set : sets) {
        const std::string w = set.name + "/WRZL/", l = set.name + "/LZ4/", z = set.name + "/zlib-1/";
        std::printf("%-7s %14.2f %16.2f %15.2f %17.2f\n", set.name.c_str(),
                    quotient(speedOf(w + "pack"), speedOf(l + "pack")),
                    quotient(speedOf(w + "unpack"), speedOf(l + "unpack")),
                    quotient(speedOf(w + "pack"), speedOf(z + "pack")),
                    quotient(speedOf(w + "unpack"), speedOf(z + "unpack")));
    }
    return 0;
}
