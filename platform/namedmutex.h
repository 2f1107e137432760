// A named marker that other processes can see while the program runs. Nothing waits on
// it and nobody tests it: a second copy of the program starts normally.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace kestrova {

class NamedMutex {
public:
    // Takes the lock file "<name>.lock" in the user's runtime folder if it is free;
    // never blocks. Released when the object is destroyed.
    explicit NamedMutex(const QString& name);
    ~NamedMutex();

    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Whether this process holds the name (false when another copy has it already).
    bool isHeld() const;
    QString lockFilePath() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace kestrova
