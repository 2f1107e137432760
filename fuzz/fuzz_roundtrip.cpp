// Fuzz target: pack then unpack gives the input back, in both methods, and a
// block packed into exactly its own size unpacks to the piece.
#include "tally/lzrw1.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrova;
    if (size == 0)
        return 0;
    // The first byte picks the method; the rest is the data.
    const TCompressMode mode = data[0] & 1 ? TCompressMode::Good : TCompressMode::Fast;
    const std::span<const std::uint8_t> input(data + 1, size - 1);

    const std::vector<std::uint8_t> packed = packContainer(input, mode);
    const std::vector<std::uint8_t> unpacked = unpackContainer(packed, "fuzz");
    if (unpacked.size() != input.size() || !std::equal(unpacked.begin(), unpacked.end(), input.begin()))
        std::abort();

    const std::size_t piece = std::min(input.size(), kLzrw1BlockSize);
    std::vector<std::uint8_t> block(packBlockBound(piece));
    const BlockResult p = packBlock(input.data(), piece, block.data(), block.size());
    if (!p.ok() || p.size > block.size())
        std::abort();
    std::vector<std::uint8_t> back(piece);
    const BlockResult u = unpackBlock(block.data(), p.size, back.data(), back.size());
    if (!u.ok() || u.size != piece || !std::equal(back.begin(), back.end(), input.begin()))
        std::abort();
    return 0;
}
