#include "support/MediaImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <stdexcept>

namespace fr::test {

namespace {

[[noreturn]] void fail(const QString& message) {
    throw std::runtime_error(("media image: " + message).toStdString());
}

void run(const QString& program, const QStringList& arguments) {
    QProcess process;
    // mtools checks a FAT's geometry against a drive's unless told not to.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (process.state() != QProcess::NotRunning)
            process.kill();
        fail(program + ' ' + arguments.join(' ') + " failed: " +
             (process.error() == QProcess::FailedToStart
                  ? process.errorString()
                  : QString::fromLocal8Bit(process.readAll()).trimmed()));
    }
}

// A fresh file of `size` bytes (sparse: the tools write what they need).
void makeEmpty(const QString& image, qint64 size) {
    QFile::remove(image);
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
        fail(QStringLiteral("cannot make ") + image);
}

// The files laid out in a temporary folder, as the tools take them.
void writeTree(const QString& root, const QList<ImageFile>& files) {
    for (const ImageFile& entry : files) {
        const QString path = QDir(root).filePath(entry.path);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(entry.content) != entry.content.size())
            fail(QStringLiteral("cannot stage ") + entry.path);
    }
}

} // namespace

QString MediaImages::fatSerialText(quint32 serial) {
    return QStringLiteral("%1-%2")
        .arg(serial >> 16, 4, 16, QLatin1Char('0'))
        .arg(serial & 0xffff, 4, 16, QLatin1Char('0'))
        .toUpper();
}

void MediaImages::floppy(const QString& image, const QString& label, quint32 serial,
                         const QList<ImageFile>& files) {
    fat(image, 12, label, serial, files, 1440 * 1024);
}

void MediaImages::fat(const QString& image, int fatBits, const QString& label, quint32 serial,
                      const QList<ImageFile>& files, qint64 size) {
    if (fatBits != 12 && fatBits != 16 && fatBits != 32)
        fail(QStringLiteral("no FAT%1").arg(fatBits));
    if (size == 0)
        size = fatBits == 12 ? 1440 * 1024 : fatBits == 16 ? 16 << 20 : 64 << 20;
    makeEmpty(image, size);
    QStringList arguments{QStringLiteral("--invariant"), QStringLiteral("-F"),
                          QString::number(fatBits), QStringLiteral("-i"),
                          QString::number(serial, 16).rightJustified(8, '0')};
    if (!label.isEmpty())
        arguments << QStringLiteral("-n") << label;
    // FAT32 needs at least 65525 clusters: on small images they must be single sectors.
    if (fatBits == 32 && size < (260 << 20))
        arguments << QStringLiteral("-s") << QStringLiteral("1");
    run(QStringLiteral("mkfs.fat"), arguments << image);
    if (files.isEmpty())
        return;

    QTemporaryDir staging;
    writeTree(staging.path(), files);
    QStringList copy{QStringLiteral("-s"), QStringLiteral("-i"), image};
    for (const QString& name :
         QDir(staging.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        copy << QDir(staging.path()).filePath(name);
    run(QStringLiteral("mcopy"), copy << QStringLiteral("::/"));
}

void MediaImages::ext4(const QString& image, const QString& label, const QString& uuid,
                       const QList<ImageFile>& files, qint64 size) {
    makeEmpty(image, size);
    QTemporaryDir staging;
    writeTree(staging.path(), files);
    QStringList arguments{QStringLiteral("-q"), QStringLiteral("-F"),
                          QStringLiteral("-U"), uuid,
                          QStringLiteral("-E"), QStringLiteral("root_owner=0:0")};
    if (!label.isEmpty())
        arguments << QStringLiteral("-L") << label;
    if (!files.isEmpty())
        arguments << QStringLiteral("-d") << staging.path();
    run(QStringLiteral("mkfs.ext4"), arguments << image);
}

void MediaImages::iso9660(const QString& image, const QString& label, const QList<ImageFile>& files,
                          const QString& volumeDate) {
    QFile::remove(image);
    QTemporaryDir staging;
    writeTree(staging.path(), files);
    run(QStringLiteral("xorriso"),
        {QStringLiteral("-as"), QStringLiteral("mkisofs"), QStringLiteral("-quiet"),
         QStringLiteral("-R"), QStringLiteral("-J"), QStringLiteral("-V"), label,
         QStringLiteral("--modification-date=") + volumeDate, QStringLiteral("-o"), image,
         staging.path()});
}

} // namespace fr::test
