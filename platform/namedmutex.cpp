// The named marker as a lock file: visible to every process of the user, removed on exit,
// and recognised as stale after a crash because it records the owner's process id.
#include "platform/namedmutex.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

namespace kestrova {

namespace {

QString runtimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

} // namespace

NamedMutex::NamedMutex(const QString& name)
    : path_(QDir(runtimeFolder()).filePath(name + QStringLiteral(".lock"))),
      lock_(std::make_unique<QLockFile>(path_))
{
    // The result only matters to isHeld(): the program runs the same either way.
    lock_->tryLock(0);
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::isHeld() const
{
    return lock_->isLocked();
}

} // namespace kestrova
