// Where the program lives and where its settings and tally files go: beside the
// executable of a game run from its build tree or from a folder of its own while
// that folder is writable, else (and always for an installed game) in the user's
// own data folder.
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

    // The installed game's private library folder for a game in `programFolder`:
    // ../lib/games/kestrova from it, where the install rules put the companions.
    static std::filesystem::path installedCompanionFolder(const std::filesystem::path& programFolder);

    // Whether `programFolder` is laid out as the install rules lay it out (PREFIX/games
    // beside PREFIX/lib/games/kestrova), as opposed to a build tree or an unpacked
    // folder of the game's own, which keep the companions beside the executable.
    static bool isInstalledLayout(const std::filesystem::path& programFolder);

    // dataFolderFor(executableFolder()).
    static std::filesystem::path dataFolder();

    // The folder for the files of a game in `programFolder`: $KESTROVA_DATA_DIR when
    // set (created if missing); else userDataFolder() for an installed game, which
    // must not write its program folder even where it can (run as root); else
    // `programFolder` while a file can actually be created in it, else userDataFolder().
    static std::filesystem::path dataFolderFor(const std::filesystem::path& programFolder);

    // The per-user data folder Qt names for the application, created if missing.
    // Where Qt names none, the executable's folder.
    static std::filesystem::path userDataFolder();

    // Creates and removes a probe file: permission bits alone do not tell (root, ACLs,
    // read-only mounts).
    static bool isWritableFolder(const std::filesystem::path& folder);

    // dataFolder() joined with `programname` + ".ini" and `programname` + "tally.tld".
    static std::filesystem::path settingsFilePath(std::string_view programname);
    static std::filesystem::path tallyFilePath(std::string_view programname);
};

} // namespace kestrova
