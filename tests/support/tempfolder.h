// Scratch folders for tests that work on real files, and a way to make one read-only
// that also holds when the tests run as root (where permission bits stop nothing).
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kestrova::testing {

inline std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("test set-up: cannot write " + path.string());
}

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("test set-up: mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Makes a folder refuse new files for its lifetime: by its permission bits, or, for root,
// by the file system's immutable flag. ok() is false where neither works (the test then
// skips rather than pass for the wrong reason).
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder) : folder_(std::move(folder))
    {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_exec);
        if (refusesFiles()) {
            ok_ = true;
            return;
        }
        immutable_ = setImmutable(true);
        ok_ = immutable_ && refusesFiles();
    }
    ~ReadOnlyFolder()
    {
        if (immutable_)
            setImmutable(false);
        std::error_code ignored;
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, ignored);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool ok() const { return ok_; }

private:
    bool refusesFiles() const
    {
        const std::filesystem::path probe = folder_ / "probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0600);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.c_str());
        return false;
    }
    bool setImmutable(bool on) const
    {
        const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::filesystem::path folder_;
    bool immutable_ = false;
    bool ok_ = false;
};

} // namespace kestrova::testing
