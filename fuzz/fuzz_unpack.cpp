// Fuzz target: unpacking arbitrary bytes, as a container and as one block,
// must either succeed or fail with the container's error, nothing else.
#include "tally/lzrw1.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrova;
    try {
        const std::vector<std::uint8_t> out = unpackContainer({data, size}, "fuzz");
        // Whatever unpacks must say so in its header.
        if (size < 8 || out.size() != (data[4] | data[5] << 8 | data[6] << 16 | std::uint32_t{data[7]} << 24))
            std::abort();
    } catch (const ELzrw1Exception&) {
    }

    // The same bytes as one block into an exactly-sized and a short buffer:
    // the byte after the room given must survive.
    std::vector<std::uint8_t> out(kLzrw1BlockSize + 1, 0xA5);
    const BlockResult full = unpackBlock(data, size, out.data(), kLzrw1BlockSize);
    if (out[kLzrw1BlockSize] != 0xA5 || (full.ok() && full.size > kLzrw1BlockSize))
        std::abort();
    if (full.ok() && full.size > 0) {
        std::vector<std::uint8_t> tight(full.size, 0xA5);
        const BlockResult exact = unpackBlock(data, size, tight.data(), full.size - 1);
        if (exact.ok() || tight.back() != 0xA5)
            std::abort();
    }
    return 0;
}
