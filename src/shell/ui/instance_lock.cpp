#include "shell/ui/instance_lock.h"

#include <QCryptographicHash>
#include <QDir>

namespace kv {

InstanceLock::InstanceLock(const QString& programDir) {
    const QByteArray key =
        QCryptographicHash::hash(QDir(programDir).absolutePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    path_ = QDir(QDir::tempPath()).filePath("kvgui-" + QString::fromLatin1(key) + ".lock");
    lock_ = std::make_unique<QLockFile>(path_);
    lock_->setStaleLockTime(0); // held as long as its process lives, however long that is
    locked_ = lock_->tryLock(0);
}

} // namespace kv
