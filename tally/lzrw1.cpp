// The compressed file container: header, block framing and the file layer of
// Tlzrw1. The codecs themselves live in lzrw1kh.cpp and lzh.cpp.
#include "tally/lzrw1.h"

#include "platform/durablefile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>


namespace kestrova {

namespace {

constexpr std::array<std::uint8_t, 4> kSignatureFast = {'W', 'R', 'Z', 'L'};
constexpr std::array<std::uint8_t, 4> kSignatureGood = {'!', 'H', 'Z', 'L'};
constexpr std::size_t kHeaderSize = 8;

const std::string kNoBuffers = "Lzrw1 (de)compression : Failed to get memory for I/O buffers !";
const std::string kFastMismatch =
    "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
const std::string kGoodMismatch =
    "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !";

std::string readError(std::string_view name)
{
    return "Lzrw1 : Error reading from input file : " + std::string(name);
}
std::string writeError(std::string_view name)
{
    return "Lzrw1 : Error writing to output file : " + std::string(name);
}
std::string openInputError(std::string_view name)
{
    return "Lzrw1 (de)compression : Failed to open input file : " + std::string(name);
}
std::string openOutputError(std::string_view name)
{
    return "Lzrw1 (de)compression : Failed to open output file : " + std::string(name);
}

std::uint32_t getU32(const std::uint8_t* b)
{
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

// True for "WRZL", false for "!HZL"; anything else is the header error.
bool isFastSignature(std::span<const std::uint8_t> signature, std::string_view name)
{
    const bool fast = std::equal(kSignatureFast.begin(), kSignatureFast.end(), signature.begin());
    const bool good = std::equal(kSignatureGood.begin(), kSignatureGood.end(), signature.begin());
    if (!fast && !good)
        throw ELzrw1Exception(std::string(name) + " : Lzrw1 decompression : this file has no valid header !");
    return fast;
}

void checkStatedSize(std::uint32_t size, std::string_view name, std::uint64_t maxUnpackedSize)
{
    if (size > maxUnpackedSize)
        throw ELzrw1Exception(std::string(name) + " : Lzrw1 decompression : the stated size of " +
                              std::to_string(size) + " bytes is over the limit of " +
                              std::to_string(maxUnpackedSize) + " bytes !");
}

// The most bytes of a container stating `size` that unpacking can read; what
// lies past them is never looked at, so it isn't read. LZRW1/KH: a container
// that unpacks is floor(size / 32768) full blocks and one short one, each at
// most 2 + 65535 bytes. LZHUF: the adaptive tree's weights stay below 0x8000,
// so no code is longer than about 22 bits, and no byte of output costs more
// than 3 bytes of stream; 4 leaves a margin.
std::uint64_t containerBytesBound(bool fast, std::uint32_t size)
{
    if (fast)
        return kHeaderSize + (std::uint64_t{size} / kLzrw1BlockSize + 1) * (2 + 0xFFFF);
    return kHeaderSize + std::uint64_t{size} * 4 + 64;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

std::vector<std::uint8_t> packWith(TLZR& lzr, TLZH& lzh, std::span<const std::uint8_t> data,
                                   TCompressMode mode, const BlockCallback& onBlock)
{
    if (mode == TCompressMode::Auto)
        mode = adviseMode(data, kDefaultAdviseThreshold);
    if (data.size() > 0xFFFFFFFFu)
        throw ELzrw1Exception("Lzrw1 compression : Input of 4 GiB or more cannot be packed !");
    try {
        std::vector<std::uint8_t> out;
        // LZRW1/KH: every piece costs at most three bytes more than itself
        // (length and flag). LZH usually ends up well below its input.
        out.reserve(kHeaderSize + data.size() + (data.size() / kLzrw1BlockSize + 1) * 3);
        for (const std::uint8_t b : mode == TCompressMode::Fast ? kSignatureFast : kSignatureGood)
            out.push_back(b);
        putU32(out, static_cast<std::uint32_t>(data.size()));

        if (mode != TCompressMode::Fast) {
            lzh.encode(data, out, onBlock);
            return out;
        }
        // The spare bytes let the encoder pack in place, with room for its
        // overrun. Left uninitialised: a small input should not pay for 32 KB.
        const std::size_t blockCapacity = packBlockBound(std::min(data.size(), kLzrw1BlockSize)) + 16;
        const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[blockCapacity]);
        std::size_t position = 0;
        std::size_t piece = 0;
        // Always at least one block, and always a last one shorter than a full
        // piece: a reader stops at the first block that is not full.
        do {
            piece = std::min(kLzrw1BlockSize, data.size() - position);
            const BlockResult packed = lzr.pack(data.data() + position, piece, block.get(), blockCapacity);
            if (!packed.ok()) // cannot happen: the piece and the buffer are sized for it
                throw ELzrw1Exception(std::string("Lzrw1 compression : ") + blockErrorText(packed.error));
            out.push_back(static_cast<std::uint8_t>(packed.size));
            out.push_back(static_cast<std::uint8_t>(packed.size >> 8));
            out.insert(out.end(), block.get(), block.get() + packed.size);
            position += piece;
            if (onBlock)
                onBlock();
        } while (piece == kLzrw1BlockSize);
        return out;
    } catch (const std::bad_alloc&) {
        throw ELzrw1Exception(kNoBuffers);
    }
}

// Reads the container's fields in order; running out is the read error, as a
// short read of the file would be.
class FieldReader {
public:
    FieldReader(std::span<const std::uint8_t> data, std::string_view name) : data_(data), name_(name) {}
    std::span<const std::uint8_t> take(std::size_t count)
    {
        if (data_.size() - position_ < count)
            throw ELzrw1Exception(readError(name_));
        const auto field = data_.subspan(position_, count);
        position_ += count;
        return field;
    }
    std::uint32_t u32()
    {
        const auto b = take(4);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16
               | std::uint32_t{b[3]} << 24;
    }
    std::uint16_t u16()
    {
        const auto b = take(2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::span<const std::uint8_t> rest() const { return data_.subspan(position_); }

private:
    std::span<const std::uint8_t> data_;
    std::string_view name_;
    std::size_t position_ = 0;
};

std::vector<std::uint8_t> unpackWith(TLZH& lzh, std::span<const std::uint8_t> data,
                                     std::string_view name, const BlockCallback& onBlock,
                                     std::uint64_t maxUnpackedSize)
{
    try {
        FieldReader reader(data, name);
        const bool fast = isFastSignature(reader.take(4), name);
        const bool good = !fast;
        const std::uint32_t size = reader.u32();
        checkStatedSize(size, name, maxUnpackedSize);

        std::vector<std::uint8_t> out;
        // The stated size is not trusted for more than a modest reservation.
        out.reserve(std::min<std::size_t>(size, std::size_t{1} << 20));
        if (good) {
            if (!lzh.decode(reader.rest(), size, out, onBlock))
                throw ELzrw1Exception(kGoodMismatch);
            return out;
        }

        const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kLzrw1BlockSize]);
        std::uint64_t written = 0;
        BlockResult unpacked;
        do {
            const std::uint16_t length = reader.u16();
            const auto packed = reader.take(length);
            unpacked = TLZR::unpack(packed.data(), packed.size(), block.get(), kLzrw1BlockSize);
            if (!unpacked.ok())
                throw ELzrw1Exception("Lzrw1 (decompression LZRW1/KH) : Damaged block in input file : "
                                      + std::string(name) + " (" + blockErrorText(unpacked.error) + ")");
            // Past the stated size the result is already a mismatch, whatever
            // follows: decoding on would cost time for nothing.
            written += unpacked.size;
            if (written > size)
                throw ELzrw1Exception(kFastMismatch);
            out.insert(out.end(), block.get(), block.get() + unpacked.size);
            if (onBlock)
                onBlock();
        } while (unpacked.size == kLzrw1BlockSize);
        if (written != size)
            throw ELzrw1Exception(kFastMismatch);
        return out;
    } catch (const std::bad_alloc&) {
        throw ELzrw1Exception(kNoBuffers);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr openInput(const std::string& name)
{
    FilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file)
        throw ELzrw1Exception(openInputError(name));
    return file;
}

// Reads at most `limit` bytes; a failed read raises readErrorText.
std::vector<std::uint8_t> readAll(std::FILE* file, const std::string& readErrorText,
                                  std::size_t limit = SIZE_MAX)
{
    try {
        std::vector<std::uint8_t> data;
        std::uint8_t chunk[65536];
        while (data.size() < limit) {
            const std::size_t want = std::min(sizeof chunk, limit - data.size());
            const std::size_t got = std::fread(chunk, 1, want, file);
            data.insert(data.end(), chunk, chunk + got);
            if (got < want) {
                if (std::ferror(file))
                    throw ELzrw1Exception(readErrorText);
                break;
            }
        }
        return data;
    } catch (const std::bad_alloc&) {
        throw ELzrw1Exception(kNoBuffers);
    }
}

} // namespace

std::vector<std::uint8_t> packContainer(std::span<const std::uint8_t> data, TCompressMode mode,
                                        const BlockCallback& onBlock)
{
    TLZR lzr;
    TLZH lzh;
    return packWith(lzr, lzh, data, mode, onBlock);
}

std::vector<std::uint8_t> unpackContainer(std::span<const std::uint8_t> data,
                                          std::string_view inputNameForMessages,
                                          const BlockCallback& onBlock, std::uint64_t maxUnpackedSize)
{
    TLZH lzh;
    return unpackWith(lzh, data, inputNameForMessages, onBlock, maxUnpackedSize);
}

std::vector<std::uint8_t> readContainerFile(const std::string& path, std::uint64_t maxUnpackedSize)
{
    FilePtr input = openInput(path);
    std::vector<std::uint8_t> data = readAll(input.get(), readError(path), kHeaderSize);
    if (data.size() < kHeaderSize)
        return data;   // unpacking gives the header's or the read error
    const bool fast = isFastSignature(std::span(data).first(4), path);
    const std::uint32_t size = getU32(data.data() + 4);
    checkStatedSize(size, path, maxUnpackedSize);
    const std::uint64_t bound = std::min<std::uint64_t>(containerBytesBound(fast, size), SIZE_MAX);
    const std::vector<std::uint8_t> rest =
        readAll(input.get(), readError(path), static_cast<std::size_t>(bound) - kHeaderSize);
    data.insert(data.end(), rest.begin(), rest.end());
    return data;
}

TCompressMode adviseMode(std::span<const std::uint8_t> data, int threshold)
{
    const std::size_t sampleSize = std::min(data.size(), kLzrw1BlockSize);
    if (sampleSize == 0)
        return TCompressMode::Fast;
    std::vector<std::uint8_t> packed(packBlockBound(sampleSize));
    const BlockResult result = packBlock(data.data(), sampleSize, packed.data(), packed.size());
    const long long saved = static_cast<long long>(sampleSize) - static_cast<long long>(result.size);
    const long long savedPercent = saved * 100 / static_cast<long long>(sampleSize);
    return savedPercent >= threshold ? TCompressMode::Fast : TCompressMode::Good;
}

Tlzrw1::Tlzrw1() = default;
Tlzrw1::~Tlzrw1() = default;

void writeContainerFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    try {
        replaceFileDurably(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } catch (const FileReplaceError& error) {
        throw ELzrw1Exception(error.stage() == FileReplaceError::Stage::Create ? openOutputError(path)
                                                                              : writeError(path));
    }
}

std::uint64_t Tlzrw1::Compress()
{
    TCompressMode mode = CompressMode == TCompressMode::Auto ? Advise() : CompressMode;

    // The size is measured up front, as its own step with its own message; the
    // header records the bytes actually read.
    std::error_code ec;
    [[maybe_unused]] const auto measured = std::filesystem::file_size(InputFile, ec);
    if (ec)
        throw ELzrw1Exception("Lzrw1 compression : Failed to obtain the size of : " + InputFile);
    FilePtr input = openInput(InputFile);

    const std::string methodTag = mode == TCompressMode::Fast ? " (LZRW1/KH)" : " (LZH)";
    const std::vector<std::uint8_t> data = readAll(input.get(), readError(InputFile) + methodTag);
    input.reset();
    const std::vector<std::uint8_t> packed = packWith(lzr_, lzh_, data, mode, OnBlock);
    writeContainerFile(OutputFile, packed);
    return packed.size();
}

std::uint64_t Tlzrw1::Decompress()
{
    const std::vector<std::uint8_t> data = readContainerFile(InputFile, MaxUnpackedSize);
    const std::vector<std::uint8_t> unpacked = unpackWith(lzh_, data, InputFile, OnBlock, MaxUnpackedSize);
    writeContainerFile(OutputFile, unpacked);
    return unpacked.size();
}

TCompressMode Tlzrw1::Advise()
{
    FilePtr input = openInput(InputFile);
    const std::vector<std::uint8_t> sample = readAll(input.get(), readError(InputFile), kLzrw1BlockSize);
    return adviseMode(sample, Threshold);
}

} // namespace kestrova
