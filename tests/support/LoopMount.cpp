#include "support/LoopMount.h"

#include "platform/MountTable.h"
#include "support/LoopDevice.h"

#include <QDir>
#include <QProcess>
#include <unistd.h>

namespace fr::test {

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

bool mountedAt(const QString& folder) {
    const QString canonical = QDir(folder).canonicalPath();
    for (const MountEntry& entry : readMountTable())
        if (entry.mountPoint == canonical)
            return true;
    return false;
}

} // namespace

bool LoopMount::available(QString* reason) {
    if (geteuid() != 0) {
        if (reason)
            *reason = QStringLiteral("mounting needs root");
        return false;
    }
    return LoopDevice::available(reason);
}

LoopMount::LoopMount(const QString& image, const QString& folder) : folder_(folder) {
    QDir().mkpath(folder);
    error_ =
        run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), image, folder});
    mounted_ = mountedAt(folder);
}

LoopMount::~LoopMount() {
    if (mountedAt(folder_))
        run(QStringLiteral("umount"), {folder_});
}

} // namespace fr::test
