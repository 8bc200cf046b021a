#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace kv {

// Tells whether another copy of the program is running on the same files: a lock file in
// the program's state directory, held for the life of this object. A lock left behind by a
// program that died is taken over; a lock that cannot be made at all (a directory that
// cannot be written) does not count as another copy.
class InstanceLock {
public:
    static constexpr const char* kFileName = "kvgui.lock";

    explicit InstanceLock(const QString& stateDir);
    bool anotherInstanceRunning() const { return held_by_other_; }
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool held_by_other_ = false;
};

} // namespace kv
