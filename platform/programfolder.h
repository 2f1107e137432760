// Where the program lives and where its settings and tally files go: beside the
// executable while that folder is writable, else in the user's own data folder.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

namespace kestrova {

class ProgramFolder {
public:
    // The folder of the running executable.
    static std::filesystem::path executableFolder();

    // Where a file that comes with the program (the sound module, the transfer
    // program) is looked for, in order: beside the executable (the build tree),
    // then in the installed game's private library folder, ../lib/games/kestrova
    // from it.
    static std::vector<std::filesystem::path> companionPaths(std::string_view fileName);

    // The folder for the program's files: $KESTROVA_DATA_DIR when set (created if
    // missing), else dataFolderFor(executableFolder()).
    static std::filesystem::path dataFolder();

    // `programFolder` while a file can actually be created in it, else userDataFolder().
    static std::filesystem::path dataFolderFor(const std::filesystem::path& programFolder);

    // The per-user data folder Qt names for the application, created if missing.
    static std::filesystem::path userDataFolder();

    // Creates and removes a probe file: permission bits alone do not tell (root, ACLs,
    // read-only mounts).
    static bool isWritableFolder(const std::filesystem::path& folder);

    // dataFolder() joined with `programname` + ".ini" and `programname` + "tally.tld".
    static std::filesystem::path settingsFilePath(std::string_view programname);
    static std::filesystem::path tallyFilePath(std::string_view programname);
};

} // namespace kestrova
