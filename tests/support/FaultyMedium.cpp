#include "support/FaultyMedium.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace fr {
void PrintTo(const ByteRange& range, std::ostream* out) {
    *out << '[' << range.start << ", " << range.end << ')';
}
} // namespace fr

namespace fr::test {

namespace {

QString faultyfsBinary() {
    return QStringLiteral(FRAGMENTROVE_FAULTYFS);
}

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(("faulty medium: " + message).toStdString());
}

// The control files are read with plain read(2) until the end: their size is only a guess.
QByteArray readWhole(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot open %1: %2")
                 .arg(path, QString::fromLocal8Bit(strerror(errno))));
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        content.append(buffer, got);
    }
    ::close(fd);
    return content;
}

// Whether something is mounted at exactly this path, after the kernel's own table.
bool isMountPoint(const QString& path) {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // The mount point is field 5, with spaces and such written as octal escapes; our
        // temporary folders have none.
        if (fields.size() > 4 && fields[4] == wanted)
            return true;
    }
    return false;
}

bool runQuietly(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

quint64 mix(quint64 value) {
    value += 0x9e3779b97f4a7c15ULL;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

} // namespace

bool FaultyMedium::available(QString* reason) {
    QString missing;
    if (!QFileInfo::exists(faultyfsBinary()))
        missing = QStringLiteral("faultyfs is not built at ") + faultyfsBinary();
    else if (QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
        missing = QStringLiteral("fusermount3 is not installed (package fuse3)");
    else if (const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC); fd < 0)
        missing = QStringLiteral("/dev/fuse cannot be opened: ") +
                  QString::fromLocal8Bit(strerror(errno));
    else
        ::close(fd);
    if (reason)
        *reason = missing;
    return missing.isEmpty();
}

FaultyMedium::FaultyMedium(qint64 size, const QList<ByteRange>& badRanges, const Options& options)
    : size_(size) {
    if (!dir_.isValid())
        fail(QStringLiteral("cannot make a temporary folder"));
    if (size < 0)
        fail(QStringLiteral("negative size"));
    backing_ = dir_.filePath(QStringLiteral("backing"));
    QFile file(backing_);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot make the backing file ") + backing_);
    constexpr qint64 chunk = 1 << 20;
    for (qint64 offset = 0; offset < size; offset += chunk) {
        const QByteArray bytes = pattern(offset, std::min(chunk, size - offset));
        if (file.write(bytes) != bytes.size())
            fail(QStringLiteral("cannot write the backing file ") + backing_);
    }
    file.close();
    mount(badRanges, options);
}

FaultyMedium::FaultyMedium(const QString& imageFile, const QList<ByteRange>& badRanges,
                           const Options& options)
    : backing_(QFileInfo(imageFile).absoluteFilePath()), size_(QFileInfo(imageFile).size()) {
    if (!dir_.isValid())
        fail(QStringLiteral("cannot make a temporary folder"));
    if (!QFileInfo(imageFile).isFile())
        fail(QStringLiteral("no image file ") + imageFile);
    mount(badRanges, options);
}

FaultyMedium::~FaultyMedium() {
    unmount();
}

void FaultyMedium::mount(const QList<ByteRange>& badRanges, const Options& options) {
    name_ = options.name;
    QString why;
    if (!available(&why))
        fail(why);
    QDir(dir_.path()).mkdir(QStringLiteral("mnt"));
    // Files created in the mount are kept here, beside the mount point.
    QDir(dir_.path()).mkdir(QStringLiteral("files"));

    QStringList arguments{QStringLiteral("--source"),
                          backing_,
                          QStringLiteral("--name"),
                          name_,
                          QStringLiteral("--exit-with-parent"),
                          QStringLiteral("--files"),
                          dir_.filePath(QStringLiteral("files"))};
    if (!badRanges.isEmpty())
        arguments << QStringLiteral("--bad") << rangesText(badRanges);
    if (options.delayMs > 0)
        arguments << QStringLiteral("--delay-ms") << QString::number(options.delayMs);
    if (options.shortReads)
        arguments << QStringLiteral("--short-reads");
    if (options.bytesPerSecond > 0)
        arguments << QStringLiteral("--rate") << QString::number(options.bytesPerSecond);
    if (options.multithreaded)
        arguments << QStringLiteral("--multithreaded");
    if (options.keepsOnlySynced)
        arguments << QStringLiteral("--keep-only-synced");
    arguments << mountPoint();

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->start(faultyfsBinary(), arguments);
    try {
        if (!process_->waitForStarted(10000))
            fail(QStringLiteral("cannot start faultyfs: ") + process_->errorString());
        // faultyfs stays in the foreground, so "mounted" is seen in the mount table.
        const QDeadlineTimer deadline(10000);
        while (!isMountPoint(mountPoint())) {
            if (process_->state() == QProcess::NotRunning || process_->waitForFinished(20) ||
                deadline.hasExpired())
                fail(QStringLiteral("faultyfs did not mount: ") +
                     QString::fromLocal8Bit(process_->readAll()).trimmed());
        }
        mounted_ = true;
        if (!QFileInfo::exists(path()))
            fail(QStringLiteral("the mount shows no ") + path());
    } catch (...) {
        unmount();
        throw;
    }
}

void FaultyMedium::disconnect() {
    if (!process_)
        return;
    process_->kill();
    process_->waitForFinished(3000);
}

void FaultyMedium::unmount() {
    if (!process_)
        return;
    const QString point = mountPoint();
    const auto ended = [this] {
        return process_->state() == QProcess::NotRunning;
    };
    if ((mounted_ || isMountPoint(point)) &&
        runQuietly(QStringLiteral("fusermount3"), {QStringLiteral("-u"), point}) && !ended())
        process_->waitForFinished(5000);
    if (!ended()) {
        // Still held (by a loop device, an open file), or never mounted: detach it lazily and
        // stop faultyfs, so whatever still holds it gets errors rather than a hang.
        if (isMountPoint(point))
            runQuietly(QStringLiteral("umount"), {QStringLiteral("-l"), point});
        process_->terminate();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    if (isMountPoint(point))
        runQuietly(QStringLiteral("umount"), {QStringLiteral("-l"), point});
    mounted_ = false;
    process_.reset();
    // Never delete through a mount that could not be taken away.
    if (isMountPoint(point))
        dir_.setAutoRemove(false);
}

QString FaultyMedium::mountPoint() const {
    return dir_.filePath(QStringLiteral("mnt"));
}

QString FaultyMedium::path() const {
    return mountPoint() + '/' + name_;
}

QString FaultyMedium::controlFile(const QString& name) const {
    if (!mounted_)
        fail(QStringLiteral("not mounted"));
    return mountPoint() + '/' + name;
}

void FaultyMedium::setBadRanges(const QList<ByteRange>& ranges) {
    const QString file = controlFile(QStringLiteral("bad"));
    const QByteArray text = rangesText(ranges).toLatin1() + '\n';
    // faultyfs takes the new ranges when the file is closed and reports bad text there.
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot open ") + file);
    const bool written = ::write(fd, text.constData(), text.size()) == text.size();
    const bool closed = ::close(fd) == 0;
    if (!written || !closed)
        fail(QStringLiteral("faultyfs refused the bad ranges ") + rangesText(ranges));
}

void FaultyMedium::powerCut() {
    const QString file = controlFile(QStringLiteral("powercut"));
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot open ") + file);
    const int error = ::write(fd, "1", 1) == 1 ? 0 : errno;
    ::close(fd);
    if (error != 0)
        fail(QStringLiteral("faultyfs could not put back the unsynced writes: ") +
             QString::fromLocal8Bit(strerror(error)));
}

QList<ByteRange> FaultyMedium::badRanges() const {
    QList<ByteRange> ranges;
    for (const QByteArray& item :
         readWhole(controlFile(QStringLiteral("bad"))).trimmed().split(',')) {
        const QList<QByteArray> ends = item.split('-');
        if (ends.size() == 2)
            ranges.append({ends[0].toLongLong(), ends[1].toLongLong()});
    }
    return ranges;
}

qint64 FaultyMedium::statsValue(const QString& key) const {
    for (const QByteArray& line : readWhole(controlFile(QStringLiteral("stats"))).split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 2 && words[0] == key.toLatin1())
            return words[1].toLongLong();
    }
    fail(QStringLiteral("faultyfs stats show no ") + key);
}

qint64 FaultyMedium::reads() const {
    return statsValue(QStringLiteral("reads"));
}

qint64 FaultyMedium::failedReads() const {
    return statsValue(QStringLiteral("failed"));
}

qint64 FaultyMedium::bytesRead() const {
    return statsValue(QStringLiteral("bytes"));
}

char FaultyMedium::patternByte(qint64 offset) {
    return static_cast<char>(mix(static_cast<quint64>(offset) >> 3) >> ((offset & 7) * 8));
}

QByteArray FaultyMedium::pattern(qint64 offset, qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        bytes[i] = patternByte(offset + i);
    return bytes;
}

QString FaultyMedium::rangesText(const QList<ByteRange>& ranges) {
    QStringList items;
    for (const ByteRange& range : ranges)
        items << QStringLiteral("%1-%2").arg(range.start).arg(range.end);
    return items.join(',');
}

} // namespace fr::test
