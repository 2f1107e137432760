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
    // A tally file whose container states a larger unpacked size is refused
    // before anything is unpacked: a real tally (110 short lines, names of at
    // most a few hundred bytes) stays under 8 KB, and unpacking holds it all.
    static constexpr std::uint64_t maxUnpackedSize = std::uint64_t{1} << 20;

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
