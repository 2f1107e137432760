// LZRW1/KH block codec: byte-oriented LZ77 with one hash probe per position,
// a 4096-byte window, matches of 3 to 18 bytes and runs of 16 to 4095 bytes.
#include "tally/lzrw1kh.h"

#include "tally/lzrw1exception.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace kestrova {

namespace {

constexpr std::size_t kHashEntries = 4096;
constexpr std::int16_t kNoPosition = -1;
constexpr std::uint8_t kFlagCopied = 0x80;
constexpr std::uint8_t kFlagCompressed = 0x40;
constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMinRun = 16;
constexpr std::size_t kMaxRun = 4095;

// The encoder only checks its output length once per item, so it may run past
// the piece's length by a control word and a run code before it gives up:
// while y <= n it writes at most up to index n + 5.
constexpr std::size_t kPackSlack = 6;

std::size_t hashOf(const std::uint8_t* p)
{
    std::uint32_t h = ((std::uint32_t{p[0]} << 4) ^ p[1]) << 4 ^ p[2];
    return ((h * 40543u) >> 4) & 0x0FFF;
}

// Packs n <= kLzrw1BlockSize bytes into out, which must hold n + kPackSlack bytes.
std::size_t packInto(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                     std::int16_t* table)
{
    std::fill_n(table, kHashEntries, kNoPosition);
    out[0] = kFlagCompressed;
    std::size_t x = 0;
    std::size_t y = 3;
    std::size_t z = 1;
    unsigned bits = 0;
    std::uint32_t ctl = 0;

    while (x < n && y <= n) {
        if (bits > 15) {
            out[z] = static_cast<std::uint8_t>(ctl >> 8);
            out[z + 1] = static_cast<std::uint8_t>(ctl);
            z = y;
            y += 2;
            bits = 0;
        }
        const std::uint8_t first = in[x];
        std::size_t run = 1;
        while (x + run < n && run < kMaxRun && in[x + run] == first)
            ++run;

        if (run >= kMinRun) {
            const std::size_t count = run - kMinRun;
            out[y] = 0;
            out[y + 1] = static_cast<std::uint8_t>(count >> 8);
            out[y + 2] = static_cast<std::uint8_t>(count);
            out[y + 3] = first;
            y += 4;
            x += run;
            ctl = ((ctl << 1) | 1) & 0xFFFF;
        } else {
            std::size_t length = 0;
            std::size_t from = 0;
            // Within two bytes of the end no match can reach three bytes, so the
            // probe (which would hash bytes past the piece) cannot change the output.
            if (n - x >= kMinMatch) {
                const std::size_t h = hashOf(in + x);
                const std::int16_t candidate = table[h];
                if (candidate != kNoPosition && x - static_cast<std::size_t>(candidate) < kWindow) {
                    from = static_cast<std::size_t>(candidate);
                    while (length < kMaxMatch && x + length < n && in[x + length] == in[from + length])
                        ++length;
                }
                table[h] = static_cast<std::int16_t>(x);
            }
            if (length >= kMinMatch) {
                const std::size_t key = ((x - from) << 4) + (length - kMinMatch);
                out[y] = static_cast<std::uint8_t>(key >> 8);
                out[y + 1] = static_cast<std::uint8_t>(key);
                y += 2;
                x += length;
                ctl = ((ctl << 1) | 1) & 0xFFFF;
            } else {
                out[y++] = in[x++];
                ctl = (ctl << 1) & 0xFFFF;
            }
        }
        ++bits;
    }
    ctl = (ctl << (16 - bits)) & 0xFFFF;
    out[z] = static_cast<std::uint8_t>(ctl >> 8);
    out[z + 1] = static_cast<std::uint8_t>(ctl);

    if (y > n) {
        out[0] = kFlagCopied;
        if (n > 0)
            std::memcpy(out + 1, in, n);
        return n + 1;
    }
    return y;
}

BlockResult failure(BlockError error) { return BlockResult{0, error}; }

// An output that would outgrow its room: past the format's limit the block is
// damaged, below it the caller's buffer is merely too small.
BlockResult overflow(std::size_t needed)
{
    return failure(needed > kLzrw1BlockSize ? BlockError::BlockTooLarge : BlockError::OutputTooSmall);
}

BlockResult packWithTable(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                          std::size_t dstCapacity, std::int16_t* table)
{
    if (srcSize > kLzrw1BlockSize)
        return failure(BlockError::SourceTooLarge);
    if (dstCapacity >= srcSize + kPackSlack)
        return BlockResult{packInto(src, srcSize, dst, table)};

    // A tight destination: pack beside it so the encoder's overrun stays ours.
    std::array<std::uint8_t, kLzrw1BlockSize + kPackSlack> scratch;
    const std::size_t size = packInto(src, srcSize, scratch.data(), table);
    if (size > dstCapacity)
        return failure(BlockError::OutputTooSmall);
    std::memcpy(dst, scratch.data(), size);
    return BlockResult{size};
}

} // namespace

const char* blockErrorText(BlockError error) noexcept
{
    switch (error) {
    case BlockError::None: return "no error";
    case BlockError::SourceTooLarge: return "piece longer than 32768 bytes";
    case BlockError::OutputTooSmall: return "output buffer too small";
    case BlockError::TruncatedBlock: return "block ends inside an item";
    case BlockError::BlockTooLarge: return "block unpacks to more than 32768 bytes";
    case BlockError::ReferenceBeforeStart: return "back reference before the start of the block";
    }
    return "unknown error";
}

TLZR::TLZR()
{
    hashTable_.reset(new (std::nothrow) std::int16_t[kHashEntries]);
    if (!hashTable_)
        throw ELzrw1KHCompressor("LZRW1KH : no memory for HASH table");
}

TLZR::~TLZR() = default;

BlockResult TLZR::pack(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                       std::size_t dstCapacity) noexcept
{
    return packWithTable(src, srcSize, dst, dstCapacity, hashTable_.get());
}

BlockResult TLZR::unpack(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                         std::size_t dstCapacity) noexcept
{
    if (srcSize < 2)
        return BlockResult{0};
    const std::size_t limit = std::min(dstCapacity, kLzrw1BlockSize);

    if (src[0] == kFlagCopied) {
        const std::size_t n = srcSize - 1;
        if (n > limit)
            return overflow(n);
        if (n > 0)
            std::memcpy(dst, src + 1, n);
        return BlockResult{n};
    }
    // Any other flag means compressed. A block of two bytes holds no item.
    if (srcSize < 3)
        return BlockResult{0};

    std::uint32_t ctl = (std::uint32_t{src[1]} << 8) | src[2];
    unsigned bits = 16;
    std::size_t i = 3;
    std::size_t o = 0;
    while (i < srcSize) {
        if (bits == 0) {
            // A control word always precedes at least one item.
            if (srcSize - i < 3)
                return failure(BlockError::TruncatedBlock);
            ctl = (std::uint32_t{src[i]} << 8) | src[i + 1];
            i += 2;
            bits = 16;
        }
        if ((ctl & 0x8000) == 0) {
            if (o >= limit)
                return overflow(o + 1);
            dst[o++] = src[i++];
        } else {
            if (srcSize - i < 2)
                return failure(BlockError::TruncatedBlock);
            const std::size_t offset = std::size_t{src[i]} * 16 + (src[i + 1] >> 4);
            if (offset != 0) {
                const std::size_t length = (src[i + 1] & 0x0F) + kMinMatch;
                if (offset > o)
                    return failure(BlockError::ReferenceBeforeStart);
                if (length > limit - o)
                    return overflow(o + length);
                // Byte by byte: a reference may overlap the bytes it produces.
                for (std::size_t k = 0; k < length; ++k, ++o)
                    dst[o] = dst[o - offset];
                i += 2;
            } else {
                if (srcSize - i < 4)
                    return failure(BlockError::TruncatedBlock);
                const std::size_t length = ((std::size_t{src[i + 1]} << 8) | src[i + 2]) + kMinRun;
                if (length > limit - o)
                    return overflow(o + length);
                std::memset(dst + o, src[i + 3], length);
                o += length;
                i += 4;
            }
        }
        ctl = (ctl << 1) & 0xFFFF;
        --bits;
    }
    return BlockResult{o};
}

BlockResult packBlock(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                      std::size_t dstCapacity) noexcept
{
    std::array<std::int16_t, kHashEntries> table;
    return packWithTable(src, srcSize, dst, dstCapacity, table.data());
}

BlockResult unpackBlock(const std::uint8_t* src, std::size_t srcSize, std::uint8_t* dst,
                        std::size_t dstCapacity) noexcept
{
    return TLZR::unpack(src, srcSize, dst, dstCapacity);
}

} // namespace kestrova
