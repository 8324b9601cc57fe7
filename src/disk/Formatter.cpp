#include "disk/Formatter.h"

#include "disk/BlockReader.h"
#include "disk/SectorDevice.h"
#include "platform/DriveMap.h"
#include "platform/MountTable.h"

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstring>

namespace fr {

namespace {

// Sectors are checked in the smallest unit a medium fails in, so the count names them.
constexpr std::uint64_t kSectorBytes = 512;

QString programOf(FileSystemKind kind) {
    switch (kind) {
    case FileSystemKind::Fat:
        return QStringLiteral("mkfs.vfat");
    case FileSystemKind::Ext4:
        return QStringLiteral("mkfs.ext4");
    case FileSystemKind::ExFat:
        return QStringLiteral("mkfs.exfat");
    }
    return {};
}

// The formatters live in the administrator's folders, which a user's PATH often leaves out.
QString executableOf(FileSystemKind kind) {
    const QString program = programOf(kind);
    QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

QStringList argumentsOf(const FormatRequest& request) {
    QStringList arguments;
    switch (request.fileSystem) {
    case FileSystemKind::Fat:
        // -I: a whole disk or an image file is formatted as it is, without a partition table.
        arguments << QStringLiteral("-I");
        if (!request.label.isEmpty())
            arguments << QStringLiteral("-n") << request.label;
        break;
    case FileSystemKind::Ext4:
        // -F: asks nothing, also for an image file or a whole disk.
        arguments << QStringLiteral("-F") << QStringLiteral("-q");
        if (!request.label.isEmpty())
            arguments << QStringLiteral("-L") << request.label;
        break;
    case FileSystemKind::ExFat:
        if (!request.label.isEmpty())
            arguments << QStringLiteral("-L") << request.label;
        break;
    }
    arguments << request.device;
    return arguments;
}

FormatOutcome failed(QString reason) {
    FormatOutcome outcome;
    outcome.result = FormatOutcome::Result::Failed;
    outcome.reason = std::move(reason);
    return outcome;
}

// Reads every sector; the outcome is Formatted when all of them could be read.
FormatOutcome checkSectors(const QString& device, const FormatHooks& hooks,
                           const std::atomic<bool>& stop) {
    std::uint64_t size = 0;
    {
        SectorDevice medium;
        QString error;
        if (!medium.open(device, SectorDevice::Mode::Read, &error))
            return failed(error);
        size = medium.size();
    }
    BlockReader reader;
    BlockReader::Options options;
    options.unit = kSectorBytes;
    options.until = size;
    options.hold = [&stop] {
        return stop.load();
    };
    if (const int error = reader.open(device, options); error != 0)
        return failed(device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error)));
    FormatOutcome outcome;
    outcome.result = FormatOutcome::Result::Formatted;
    int shown = -1;
    BlockReader::Chunk chunk;
    while (reader.next(chunk)) {
        if (stop.load()) {
            reader.stop();
            outcome.result = FormatOutcome::Result::Stopped;
            return outcome;
        }
        if (chunk.failed)
            ++outcome.unreadableSectors;
        const std::uint64_t done = chunk.offset + (chunk.failed ? kSectorBytes : chunk.length);
        const int percent = size == 0 ? 100 : static_cast<int>(std::min(done, size) * 100 / size);
        if (percent != shown && hooks.checked) {
            hooks.checked(percent);
            shown = percent;
        }
    }
    if (outcome.unreadableSectors > 0) {
        outcome.result = FormatOutcome::Result::Unreadable;
        outcome.reason = QStringLiteral("%1: %2 sectors cannot be read")
                             .arg(device)
                             .arg(outcome.unreadableSectors);
    }
    return outcome;
}

} // namespace

std::vector<FileSystemKind> Formatter::available() {
    std::vector<FileSystemKind> kinds;
    for (FileSystemKind kind : {FileSystemKind::Fat, FileSystemKind::Ext4, FileSystemKind::ExFat})
        if (!executableOf(kind).isEmpty())
            kinds.push_back(kind);
    return kinds;
}

QString Formatter::nameOf(FileSystemKind kind) {
    switch (kind) {
    case FileSystemKind::Fat:
        return QStringLiteral("FAT");
    case FileSystemKind::Ext4:
        return QStringLiteral("ext4");
    case FileSystemKind::ExFat:
        return QStringLiteral("exFAT");
    }
    return {};
}

int Formatter::labelLimit(FileSystemKind kind) {
    switch (kind) {
    case FileSystemKind::Fat:
        return 11;
    case FileSystemKind::Ext4:
        return 16;
    case FileSystemKind::ExFat:
        return 15;
    }
    return 0;
}

bool Formatter::formattable(const QString& device, QString* reason) {
    if (driveTypeOfDevice(device) != DriveType::CdRom)
        return true;
    if (reason)
        *reason = device + QStringLiteral(" is an optical disc, which cannot be formatted");
    return false;
}

bool Formatter::holdsSystem(const QString& device, const QString& programDir, QString* reason) {
    // The folders a running system cannot do without, wherever they are mounted from.
    static const char* const kSystemFolders[] = {
        "/usr",     "/usr/local", "/boot", "/boot/efi", "/etc", "/var", "/var/lib",
        "/var/log", "/home",      "/root", "/opt",      "/srv", "/tmp",
    };
    QStringList held;
    if (VolumeMounts::holdsRootFileSystem(device))
        held << QStringLiteral("the root file system");
    else
        for (const char* folder : kSystemFolders)
            if (VolumeMounts::holdsPath(device, QLatin1String(folder)))
                held << QLatin1String(folder);
    if (!programDir.isEmpty() && VolumeMounts::holdsPath(device, programDir))
        held << QStringLiteral("the program folder ") + programDir;
    if (reason && !held.isEmpty())
        *reason = device + QStringLiteral(" holds ") + held.join(QStringLiteral(", "));
    return !held.isEmpty();
}

bool Formatter::release(const QString& device, QString* reason) {
    if (holdsSystem(device, {}, reason))
        return false;
    if (VolumeMounts::isMounted(device) && !VolumeMounts::unmount(device, reason))
        return false;
    return !VolumeMounts::inUse(device, reason);
}

FormatOutcome Formatter::format(const FormatRequest& request, const FormatHooks& hooks,
                                const std::atomic<bool>& stop) {
    if (QString reason; !formattable(request.device, &reason))
        return failed(reason);
    if (QString reason; holdsSystem(request.device, request.programDir, &reason) ||
                        !release(request.device, &reason)) {
        FormatOutcome outcome;
        outcome.result = FormatOutcome::Result::Refused;
        outcome.reason = reason;
        return outcome;
    }
    const QString executable = executableOf(request.fileSystem);
    if (executable.isEmpty())
        return failed(programOf(request.fileSystem) + QStringLiteral(" is not installed"));
    if (request.full) {
        FormatOutcome checked = checkSectors(request.device, hooks, stop);
        if (checked.result != FormatOutcome::Result::Formatted)
            return checked;
    }
    if (stop.load()) {
        FormatOutcome outcome;
        outcome.result = FormatOutcome::Result::Stopped;
        return outcome;
    }
    if (hooks.writing)
        hooks.writing();

    QProcess formatter;
    formatter.setProcessChannelMode(QProcess::MergedChannels);
    formatter.start(executable, argumentsOf(request));
    if (!formatter.waitForStarted(-1))
        return failed(executable + QStringLiteral(": ") + formatter.errorString());
    formatter.closeWriteChannel();
    formatter.waitForFinished(-1);
    if (formatter.exitStatus() != QProcess::NormalExit || formatter.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(formatter.readAll()).trimmed();
        return failed(QStringLiteral("%1 could not format %2 (exit code %3)%4")
                          .arg(programOf(request.fileSystem), request.device)
                          .arg(formatter.exitCode())
                          .arg(said.isEmpty() ? QString() : QStringLiteral(": ") + said));
    }
    FormatOutcome outcome;
    outcome.result = FormatOutcome::Result::Formatted;
    return outcome;
}

} // namespace fr
