// Reading and writing the tally file through memory.
#include "tally/tallyfile.h"

#include "tally/gridtext.h"
#include "tally/lzrw1.h"
#include "tally/lzrw1exception.h"

#include <cstdint>
#include <fstream>
#include <system_error>
#include <vector>

namespace kestrova {

namespace {

// The whole file; throws ELzrw1Exception with the container's own messages.
std::vector<std::uint8_t> readWhole(const std::filesystem::path& path)
{
    const std::string name = path.string();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ELzrw1Exception("Lzrw1 (de)compression : Failed to open input file : " + name);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + name);
    if (size > TallyFile::maxFileSize)
        throw ELzrw1Exception(name + " : the tally file is too large");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size())
        throw ELzrw1Exception("Lzrw1 : Error reading from input file : " + name);
    return bytes;
}

} // namespace

TallyFile::TallyFile(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<std::string> TallyFile::load(StringGrid& grid) const
{
    std::error_code ec;
    const bool exists = std::filesystem::exists(path_, ec);
    if (!ec && !exists)
        return std::nullopt;
    try {
        const std::vector<std::uint8_t> packed = readWhole(path_);
        const std::vector<std::uint8_t> text = unpackContainer(packed, path_.string(), onBlock);
        loadgrid(grid, std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    } catch (const std::exception& error) {
        // Container errors, grid text errors and running out of memory alike: the user
        // sees the message and the program goes on with what the grid holds.
        return std::string(error.what());
    }
    return std::nullopt;
}

void TallyFile::save(const StringGrid& grid) const
{
    const std::string text = savegrid(grid);
    const std::vector<std::uint8_t> packed = packContainer(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        TCompressMode::Fast, onBlock);

    writeContainerFile(path_.string(), packed);
}

} // namespace kestrova
