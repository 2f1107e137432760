// Replacing a file's contents so that, whatever happens to the process or the
// machine meanwhile, the file on disk is either all of the old contents or all
// of the new ones. Every file the program writes goes through here.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace kestrova {

class FileReplaceError : public std::runtime_error {
public:
    // Create: the new file could not be made beside the target (a folder that is
    // not writable, for one); Write: it was made but could not be completed.
    enum class Stage { Create, Write };

    FileReplaceError(Stage stage, const std::string& what) : std::runtime_error(what), stage_(stage) {}
    Stage stage() const { return stage_; }

private:
    Stage stage_;
};

// Writes `contents` into a new file created exclusively beside `target`, flushes
// it to disk, gives it the permission bits of the file it replaces, renames it
// over `target` and flushes the folder. A target that is a symbolic link has the
// file it points to replaced, and stays a link.
//
// On failure it throws FileReplaceError naming the step and the system's reason;
// `target` is then as it was and the new file is gone. New files left beside
// `target` by a save that was killed half way are removed on the way.
void replaceFileDurably(const std::filesystem::path& target, std::string_view contents);

} // namespace kestrova
