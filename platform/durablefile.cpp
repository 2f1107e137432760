// The file replacement on POSIX systems: open(O_EXCL), fsync, fchmod, rename
// and an fsync of the folder.
#include "platform/durablefile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {

namespace {

// "kestrova.ini" is written as "kestrova.ini.~new.<pid>.<count>" first.
constexpr std::string_view kNewFileMarker = ".~new.";

std::string reason(int error) { return std::generic_category().message(error); }

[[noreturn]] void fail(FileReplaceError::Stage stage, const std::filesystem::path& file, const char* step,
                       int error)
{
    throw FileReplaceError(stage, std::string(step) + " " + file.string() + ": " + reason(error));
}

// A new file of another process is left alone while that process lives: it may
// be saving the same file right now.
bool isLeftOver(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (error != std::errc() || pid <= 0 || end == rest.data() + rest.size() || *end != '.')
        return false;
    return pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH);
}

void removeLeftOvers(const std::filesystem::path& target)
{
    const std::string prefix = target.filename().string() + std::string(kNewFileMarker);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(target.parent_path().empty() ? "." : target.parent_path(), ec), end;
         !ec && it != end; it.increment(ec)) {
        if (isLeftOver(it->path().filename().string(), prefix)) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

void writeAll(int fd, std::string_view contents, const std::filesystem::path& file)
{
    while (!contents.empty()) {
        const ssize_t written = ::write(fd, contents.data(), contents.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(FileReplaceError::Stage::Write, file, "cannot write", errno);
        }
        contents.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Closes the descriptor on every way out; the new file goes too unless kept.
class NewFile {
public:
    NewFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~NewFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!kept_)
            ::unlink(path_.c_str());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int fd() const { return fd_; }
    void close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            fail(FileReplaceError::Stage::Write, path_, "cannot close", errno);
    }
    void keep() { kept_ = true; }

private:
    std::filesystem::path path_;
    int fd_;
    bool kept_ = false;
};

void syncFolder(const std::filesystem::path& folder)
{
    // The rename has happened; a folder that cannot be flushed (some file
    // systems refuse) does not undo it, so that is not a failure of the save.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void replaceFileDurably(const std::filesystem::path& requested, std::string_view contents)
{
    // One save at a time in this process, so that the clean-up never takes
    // a new file that another thread is still writing.
    static std::mutex oneAtATime;
    const std::lock_guard lock(oneAtATime);
    static unsigned long count = 0;

    std::error_code ec;
    std::filesystem::path target = requested;
    if (std::filesystem::is_symlink(requested, ec))
        target = std::filesystem::weakly_canonical(requested, ec);
    if (ec)
        target = requested;

    removeLeftOvers(target);

    std::filesystem::path temp = target;
    temp += std::string(kNewFileMarker) + std::to_string(::getpid()) + "." + std::to_string(++count);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(FileReplaceError::Stage::Create, target, "cannot create a new file beside", errno);
    NewFile file(temp, fd);

    writeAll(file.fd(), contents, target);
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(file.fd(), old.st_mode & 07777) != 0)
        fail(FileReplaceError::Stage::Write, target, "cannot keep the permissions of", errno);
    if (::fsync(file.fd()) != 0)
        fail(FileReplaceError::Stage::Write, target, "cannot flush", errno);
    file.close();
    if (::rename(temp.c_str(), target.c_str()) != 0)
        fail(FileReplaceError::Stage::Write, target, "cannot replace", errno);
    file.keep();
    syncFolder(target.parent_path());
}

} // namespace kestrova
