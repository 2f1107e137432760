// The tally file: the tally table in the grid text form, packed in the "WRZL" container.
// Both directions go through memory; a save replaces the old file only once the new one
// is complete.
#pragma once

#include "tally/stringgrid.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kestrova {

class TallyFile {
public:
    // Files larger than this are not read: no tally comes near it.
    static constexpr std::uintmax_t maxFileSize = 64u * 1024u * 1024u;

    explicit TallyFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    // Reads the file into `grid`. No file: the grid is left as it is and the result is
    // empty. A file that cannot be read, is not a valid container or holds a damaged grid
    // text gives the error's message for the user; the grid then keeps its earlier cells
    // overlaid with the cells read before the error.
    std::optional<std::string> load(StringGrid& grid) const;

    // Packs the grid (mode Fast) into a new file beside the tally file and renames it
    // over the old one. Throws ELzrw1Exception when that fails; the old file then stays.
    void save(const StringGrid& grid) const;

    // Called between blocks while packing or unpacking, to let a UI handle its events.
    std::function<void()> onBlock;

private:
    std::filesystem::path path_;
};

} // namespace kestrova
