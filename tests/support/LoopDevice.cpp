#include "support/LoopDevice.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <stdexcept>
#include <unistd.h>

namespace fr::test {

bool LoopDevice::available(QString* reason) {
    QString missing;
    if (::geteuid() != 0)
        missing = QStringLiteral("attaching loop devices needs root");
    else if (!QFileInfo::exists(QStringLiteral("/dev/loop-control")))
        missing = QStringLiteral("this machine has no /dev/loop-control");
    else if (QStandardPaths::findExecutable(QStringLiteral("losetup")).isEmpty())
        missing = QStringLiteral("losetup is not installed (package util-linux)");
    if (reason)
        *reason = missing;
    return missing.isEmpty();
}

LoopDevice::LoopDevice(const QString& file, const Options& options) {
    QString why;
    if (!available(&why))
        throw std::runtime_error(("loop device: " + why).toStdString());
    QStringList arguments{QStringLiteral("--find"), QStringLiteral("--show")};
    if (options.readOnly)
        arguments << QStringLiteral("--read-only");
    if (options.sectorSize > 0)
        arguments << QStringLiteral("--sector-size") << QString::number(options.sectorSize);
    arguments << file;

    QProcess losetup;
    losetup.start(QStringLiteral("losetup"), arguments);
    const bool finished = losetup.waitForFinished(30000);
    const QString shown = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
    if (!finished || losetup.exitStatus() != QProcess::NormalExit || losetup.exitCode() != 0 ||
        !shown.startsWith(QStringLiteral("/dev/"))) {
        if (!finished)
            losetup.kill();
        // It may have attached before it failed to report; take that device away again.
        path_ = shown.startsWith(QStringLiteral("/dev/")) ? shown : QString();
        detach();
        throw std::runtime_error(("loop device: losetup " + arguments.join(' ') + " failed: " +
                                  QString::fromLocal8Bit(losetup.readAllStandardError()).trimmed())
                                     .toStdString());
    }
    path_ = shown;
}

LoopDevice::~LoopDevice() {
    detach();
}

void LoopDevice::detach() {
    if (path_.isEmpty())
        return;
    // Something that has just closed the device (blkid, a test's reader) can keep it busy for
    // a moment; the kernel then only marks it to go when closed, which is fine too.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QProcess losetup;
        losetup.start(QStringLiteral("losetup"), {QStringLiteral("-d"), path_});
        if (losetup.waitForFinished(10000) && losetup.exitStatus() == QProcess::NormalExit &&
            losetup.exitCode() == 0)
            break;
        // Already gone (detached by the test itself): nothing left to do.
        if (!QFileInfo::exists(
                QStringLiteral("/sys/block/%1/loop/backing_file").arg(QFileInfo(path_).fileName())))
            break;
        QThread::msleep(100);
    }
    path_.clear();
}

} // namespace fr::test
