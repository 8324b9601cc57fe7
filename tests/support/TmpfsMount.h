#pragma once

#include <QString>

namespace fr::test {

// A small tmpfs mounted on a folder, for a disk that fills up; taken off again when it goes
// out of scope, also when the test fails. Needs root: check available() first, and mounted()
// after, since a container may refuse the mount.
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, qint64 bytes);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    static bool available(QString* reason = nullptr);
    bool mounted() const { return mounted_; }
    // Why the mount failed.
    const QString& error() const { return error_; }

    // Takes all the free space with a file of this name in the mount; remove the file to give
    // the space back. Returns false when it could not write until the disk was full.
    bool fill(const QString& name = QStringLiteral("filler")) const;

private:
    QString folder_;
    bool mounted_ = false;
    QString error_;
};

} // namespace fr::test
