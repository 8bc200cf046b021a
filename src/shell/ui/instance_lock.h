#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace kv {

// Tells whether another copy of the program is running from the same directory: a lock file
// in the temporary directory, named after the program's directory, held for the life of this
// object. A lock left behind by a program that died is taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString& programDir);
    bool anotherInstanceRunning() const { return !locked_; }
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool locked_ = false;
};

} // namespace kv
