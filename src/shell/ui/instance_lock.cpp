#include "shell/ui/instance_lock.h"

#include "shell/file_locations.h"

#include <QDir>
#include <QFile>

namespace kv {

InstanceLock::InstanceLock(const QString& stateDir) {
    make_private_directories(stateDir.toStdString());
    path_ = QDir(stateDir).filePath(kFileName);
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0); // held as long as its process lives, however long that is
    held_by_other_ = !lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError;
    // Like the program's other files there, the user's alone.
    if (lock_->isLocked())
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace kv
