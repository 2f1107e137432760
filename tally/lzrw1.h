// The compressed file container: one file (or buffer) packed into the "WRZL"
// (LZRW1/KH, in blocks) or "!HZL" (LZHUF) form and back.
#pragma once

#include "tally/lzh.h"
#include "tally/lzrw1exception.h"
#include "tally/lzrw1kh.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class TCompressMode { Good = 0, Fast = 1, Auto = 2 };

// Runs after every block of up to 32768 bytes, so a window can handle pending
// events during a long call. It must not start another call on the same data.
using BlockCallback = std::function<void()>;

inline constexpr int kDefaultAdviseThreshold = 40;

// A container states its unpacked size in its header, up to 4 GiB, and a few
// megabytes of runs really do unpack to that much. Unpacking holds the result
// in memory, so a stated size above the caller's bound is refused before any
// block is decoded. 16 MiB is far beyond any tally (a few KB).
inline constexpr std::uint64_t kDefaultMaxUnpackedSize = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kNoUnpackedSizeLimit = 0xFFFFFFFFu;

// Packs data into a container: Fast gives "WRZL", Good gives "!HZL", Auto
// lets adviseMode choose with the default threshold. Throws ELzrw1Exception.
std::vector<std::uint8_t> packContainer(std::span<const std::uint8_t> data, TCompressMode mode,
                                        const BlockCallback& onBlock = {});

// Unpacks a container of either kind. inputNameForMessages stands for the
// input in error messages (the file name, when there is one). Throws
// ELzrw1Exception with the container's messages; never reads outside data,
// and never produces more than maxUnpackedSize bytes.
std::vector<std::uint8_t> unpackContainer(std::span<const std::uint8_t> data,
                                          std::string_view inputNameForMessages,
                                          const BlockCallback& onBlock = {},
                                          std::uint64_t maxUnpackedSize = kDefaultMaxUnpackedSize);

// Reads a container file for unpackContainer: its header first, refused as
// unpackContainer would refuse it (no valid signature, a stated size over
// maxUnpackedSize), then no more of the file than a container of that stated
// size can hold. Throws ELzrw1Exception with the container's messages.
std::vector<std::uint8_t> readContainerFile(const std::string& path,
                                            std::uint64_t maxUnpackedSize = kDefaultMaxUnpackedSize);

// Recommends Fast when LZRW1/KH already saves at least `threshold` percent on
// the first 32768 bytes (the fast method does well enough there), Good when
// it does not (LZHUF's Huffman stage still finds something to gain).
TCompressMode adviseMode(std::span<const std::uint8_t> data, int threshold);

// Replaces the file at `path` with `bytes`, durably: the file is always either
// whole old or whole new. Throws ELzrw1Exception with the container's messages
// ("Failed to open output file" when no new file can be made beside it).
void writeContainerFile(const std::string& path, std::span<const std::uint8_t> bytes);

// The component: packs InputFile into OutputFile and back. The output replaces
// OutputFile only once it is complete (writeContainerFile), so a failed call
// leaves no output behind and never destroys an existing one.
class Tlzrw1 {
public:
    Tlzrw1();
    ~Tlzrw1();
    Tlzrw1(const Tlzrw1&) = delete;
    Tlzrw1& operator=(const Tlzrw1&) = delete;

    std::string InputFile;
    std::string OutputFile;
    TCompressMode CompressMode = TCompressMode::Good;
    int Threshold = kDefaultAdviseThreshold;
    BlockCallback OnBlock;
    // Decompress refuses a container that states a larger unpacked size.
    std::uint64_t MaxUnpackedSize = kDefaultMaxUnpackedSize;

    // Returns the number of bytes written, header included.
    std::uint64_t Compress();
    // Returns the number of bytes written (the unpacked size).
    std::uint64_t Decompress();
    // Good or Fast for InputFile, by adviseMode with Threshold.
    TCompressMode Advise();

private:
    TLZR lzr_;
    TLZH lzh_;
};

} // namespace kestrova
