// The program folder and the choice of data folder.
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <string>
#include <system_error>

namespace kestrova {

namespace {

QString toQString(const std::filesystem::path& path)
{
#ifdef _WIN32
    return QString::fromStdU16String(path.u16string());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

std::filesystem::path toPath(const QString& text)
{
#ifdef _WIN32
    return std::filesystem::path(text.toStdU16String());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

} // namespace

std::filesystem::path ProgramFolder::executableFolder()
{
    if (QCoreApplication::instance())
        return toPath(QCoreApplication::applicationDirPath());
    // Before the application object exists (tools, tests) ask the kernel directly.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
    return std::filesystem::current_path(ec);
}

std::vector<std::filesystem::path> ProgramFolder::companionPaths(std::string_view fileName)
{
    const std::filesystem::path folder = executableFolder();
    return {folder / fileName, installedCompanionFolder(folder) / fileName};
}

std::filesystem::path ProgramFolder::installedCompanionFolder(const std::filesystem::path& programFolder)
{
    return (programFolder / "../lib/games/kestrova").lexically_normal();
}

bool ProgramFolder::isInstalledLayout(const std::filesystem::path& programFolder)
{
    // Writability cannot tell: root may write /usr/games, and a player may own the
    // prefix of a `cmake --install --prefix ~/.local`. The layout is what the install
    // rules make and neither a build tree nor an unpacked folder has.
    std::error_code ec;
    return std::filesystem::is_directory(installedCompanionFolder(programFolder), ec);
}

std::filesystem::path ProgramFolder::dataFolder()
{
    return dataFolderFor(executableFolder());
}

std::filesystem::path ProgramFolder::dataFolderFor(const std::filesystem::path& programFolder)
{
    const QString override = qEnvironmentVariable("KESTROVA_DATA_DIR");
    if (!override.isEmpty()) {
        // A folder that cannot be made shows up later as a clear write error.
        QDir().mkpath(override);
        return toPath(override);
    }
    if (isInstalledLayout(programFolder))
        return userDataFolder();
    if (isWritableFolder(programFolder))
        return programFolder;
    return userDataFolder();
}

std::filesystem::path ProgramFolder::userDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        return executableFolder(); // nowhere better: the write error will name the place
    // A folder that cannot be made shows up later as a write error naming it; falling
    // back to the program folder would put an installed game's files there after all.
    QDir().mkpath(folder);
    return toPath(folder);
}

bool ProgramFolder::isWritableFolder(const std::filesystem::path& folder)
{
    QTemporaryFile probe(QDir(toQString(folder)).filePath(QStringLiteral(".kestrova-probe-XXXXXX")));
    if (!probe.open())
        return false;
    return probe.remove();
}

std::filesystem::path ProgramFolder::settingsFilePath(std::string_view programname)
{
    return dataFolder() / (std::string(programname) + ".ini");
}

std::filesystem::path ProgramFolder::tallyFilePath(std::string_view programname)
{
    return dataFolder() / (std::string(programname) + "tally.tld");
}

} // namespace kestrova
