// LZRW1/KH block codec: one piece of at most 32768 bytes into one packed block
// and back. The output is a pure function of the input: same piece, same bytes.
//
// unpack never reads outside the input and never writes outside the output:
// every length and offset is checked against both before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kestrova {

// The largest piece a block holds, and hence the largest block unpacks to.
inline constexpr std::size_t kLzrw1BlockSize = 32768;
// A packed block is never longer than its piece plus the flag byte.
inline constexpr std::size_t packBlockBound(std::size_t srcSize) { return srcSize + 1; }

enum class BlockError {
    None,
    SourceTooLarge,       // pack: more than kLzrw1BlockSize bytes given
    OutputTooSmall,       // the result does not fit dstCapacity
    TruncatedBlock,       // unpack: an item or control word runs past the block's end
    BlockTooLarge,        // unpack: the block would unpack to more than kLzrw1BlockSize bytes
    ReferenceBeforeStart, // unpack: a back reference reaches before the first output byte
};

struct BlockResult {
    std::size_t size = 0; // bytes written to dst; 0 on error
    BlockError error = BlockError::None;
    bool ok() const noexcept { return error == BlockError::None; }
};

// A short English description of a block error, for messages.
const char* blockErrorText(BlockError error) noexcept;

// The block codec owns its 4096-entry hash table, so that packing many pieces
// reuses one table. Construction throws ELzrw1KHCompressor when the table
// cannot be allocated.
class TLZR {
public:
    TLZR();
    ~TLZR();
    TLZR(const TLZR&) = delete;
    TLZR& operator=(const TLZR&) = delete;

    // Packs src[0, srcSize) into dst; dstCapacity of packBlockBound(srcSize)
    // always suffices. Bytes of dst past the result (within dstCapacity) may
    // be overwritten.
    BlockResult pack(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                     std::size_t dstCapacity) noexcept;

    // Unpacks one packed block of srcSize bytes into dst.
    static BlockResult unpack(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                              std::size_t dstCapacity) noexcept;

private:
    std::unique_ptr<std::int16_t[]> hashTable_;
};

// Free-standing forms of the two directions; packBlock uses a table on the stack.
BlockResult packBlock(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                      std::size_t dstCapacity) noexcept;
BlockResult unpackBlock(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                        std::size_t dstCapacity) noexcept;

} // namespace kestrova
