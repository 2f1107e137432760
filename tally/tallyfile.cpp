// Reading and writing the tally file through memory.
#include "tally/tallyfile.h"

#include "tally/gridtext.h"
#include "tally/lzrw1.h"
#include "tally/lzrw1exception.h"

#include <cstdint>
#include <system_error>
#include <vector>

namespace kestrova {

TallyFile::TallyFile(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<std::string> TallyFile::load(StringGrid& grid) const
{
    std::error_code ec;
    const bool exists = std::filesystem::exists(path_, ec);
    if (!ec && !exists)
        return std::nullopt;
    try {
        // Only as much of the file is read as a container within the bound can need.
        const std::vector<std::uint8_t> packed = readContainerFile(path_.string(), maxUnpackedSize);
        const std::vector<std::uint8_t> text = unpackContainer(packed, path_.string(), onBlock, maxUnpackedSize);
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
