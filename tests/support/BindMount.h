#pragma once

#include <QFile>
#include <QString>
#include <sys/mount.h>

namespace fr::test {

// A file mounted over itself: it reads and writes as before, but its name cannot be removed
// (EBUSY) while the mount stands, which is how a deletion fails for real. Needs root; the
// mount is taken off when the fixture goes out of scope.
class BindMount {
public:
    explicit BindMount(const QString& path) : path_(QFile::encodeName(path)) {
        mounted_ = ::mount(path_.constData(), path_.constData(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    QByteArray path_;
    bool mounted_ = false;
};

} // namespace fr::test
