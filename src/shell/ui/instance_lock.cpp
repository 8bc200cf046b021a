#include "shell/ui/instance_lock.h"

#include <QDir>

namespace kv {

InstanceLock::InstanceLock(const QString& stateDir) {
    QDir().mkpath(stateDir);
    path_ = QDir(stateDir).filePath(kFileName);
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0); // held as long as its process lives, however long that is
    held_by_other_ = !lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError;
}

} // namespace kv
