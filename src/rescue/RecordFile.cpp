#include "rescue/RecordFile.h"

#include "platform/FileAttributes.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

QString reasonText(int reason) {
    return QString::fromLocal8Bit(std::strerror(reason));
}

QString systemError() {
    return reasonText(errno);
}

bool renameOver(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = systemError();
    return false;
}

// Makes the rename itself durable; where the folder cannot be synced the file still is whole.
void syncFolder(const QString& path) {
    const int folder =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY);
    if (folder < 0)
        return;
    ::fsync(folder);
    ::close(folder);
}

// Why a file whose size is not a whole number of records is only read.
QString brokenTailReason(qint64 size, int recordSize) {
    return QStringLiteral("%1 bytes is not a whole number of %2-byte entries; the program will "
                          "not change it")
        .arg(size)
        .arg(recordSize);
}

// Writes every byte at the offset; returns 0, or the errno of the write that failed.
int writeAllAt(int file, qint64 offset, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::pwrite(file, bytes.constData() + done, static_cast<size_t>(bytes.size() - done),
                     static_cast<off_t>(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO; // no progress and no reason: report it rather than loop
        done += written;
    }
    return 0;
}

QString notCutBack(int reason) {
    return QStringLiteral("; the partly written entry could not be removed (%1)")
        .arg(reasonText(reason));
}

} // namespace

RecordFile::RecordFile(QString path, int recordSize)
    : path_(std::move(path)), recordSize_(recordSize), rename_(renameOver) {}

QString RecordFile::failure(const QString& reason) const {
    return path_ + QStringLiteral(": ") + reason;
}

qint64 RecordFile::prepare(QString* error) const {
    if (!resetEX(path_, error))
        return -1;
    const QByteArray native = QFile::encodeName(path_);
    // An empty file stands for no entries; one that went missing is made anew rather than
    // stopping the program.
    const int created = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (created < 0) {
        *error = failure(systemError());
        return -1;
    }
    struct stat info {};
    const int statResult = ::fstat(created, &info);
    const QString statError = statResult == 0 ? QString() : systemError();
    ::close(created);
    if (statResult != 0) {
        *error = failure(statError);
        return -1;
    }
    return info.st_size;
}

qint64 RecordFile::prepareForChange(QString* error) const {
    const qint64 size = prepare(error);
    if (size >= 0 && size % recordSize_ != 0) {
        *error = failure(brokenTailReason(size, recordSize_));
        return -1;
    }
    return size;
}

QString RecordFile::checkRecord(const QByteArray& record) const {
    if (record.size() == recordSize_)
        return {};
    return failure(QStringLiteral("an entry of %1 bytes does not fit the %2-byte entries")
                       .arg(record.size())
                       .arg(recordSize_));
}

RecordFile::Contents RecordFile::readAll() const {
    Contents contents;
    if (prepare(&contents.error) < 0)
        return contents;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.error = failure(file.errorString());
        return contents;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        contents.error = failure(file.errorString());
    const qint64 whole = bytes.size() / recordSize_;
    contents.records.reserve(static_cast<std::size_t>(whole));
    for (qint64 i = 0; i < whole; ++i)
        contents.records.push_back(bytes.mid(i * recordSize_, recordSize_));
    if (bytes.size() % recordSize_ != 0) {
        contents.brokenTail = true;
        if (contents.error.isEmpty())
            contents.error = failure(brokenTailReason(bytes.size(), recordSize_));
    }
    return contents;
}

QString RecordFile::append(const QByteArray& record) {
    if (QString error = checkRecord(record); !error.isEmpty())
        return error;
    QString error;
    const qint64 size = prepareForChange(&error);
    if (size < 0)
        return error;
    const QByteArray native = QFile::encodeName(path_);
    const int file = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
    if (file < 0)
        return failure(systemError());
    // Synced, so that a disk that fills only when the data is flushed fails here too, while
    // the file can still be cut back.
    int reason = writeAllAt(file, size, record);
    if (reason == 0 && ::fsync(file) != 0)
        reason = errno;
    // A partial entry would leave a size that is not a whole number of entries, and every later
    // change would be refused, even once the disk has room again.
    if (reason != 0) {
        error = failure(reasonText(reason));
        if (::ftruncate(file, size) != 0 || ::fsync(file) != 0)
            error += notCutBack(errno);
    }
    if (::close(file) != 0 && error.isEmpty()) {
        error = failure(systemError());
        if (::truncate(native.constData(), size) != 0)
            error += notCutBack(errno);
    }
    return error;
}

QString RecordFile::rewrite(int index, const QByteArray& record) {
    if (QString error = checkRecord(record); !error.isEmpty())
        return error;
    QString error;
    const qint64 size = prepareForChange(&error);
    if (size < 0)
        return error;
    if (index < 0 || index >= size / recordSize_)
        return failure(QStringLiteral("there is no entry %1").arg(index + 1));
    const int file = ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_CLOEXEC);
    if (file < 0)
        return failure(systemError());
    int reason = writeAllAt(file, static_cast<qint64>(index) * recordSize_, record);
    if (::close(file) != 0 && reason == 0)
        reason = errno;
    return reason == 0 ? QString() : failure(reasonText(reason));
}

QString RecordFile::replaceAll(const std::vector<QByteArray>& records) {
    for (const QByteArray& record : records)
        if (QString error = checkRecord(record); !error.isEmpty())
            return error;
    QString error;
    if (prepareForChange(&error) < 0)
        return error;

    const QString replacement = path_ + QStringLiteral(".new");
    QFile file(replacement);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QByteArray& record : records)
        written = written && file.write(record) == record.size();
    written = written && file.flush();
    if (!written) {
        error = failure(file.errorString());
        file.close();
        QFile::remove(replacement);
        return error;
    }
    // The new content must be on the disk before its name replaces the old file's.
    if (::fsync(file.handle()) != 0) {
        error = failure(systemError());
        file.close();
        QFile::remove(replacement);
        return error;
    }
    file.close();

    QString reason;
    if (!rename_(replacement, path_, &reason)) {
        QFile::remove(replacement);
        return failure(QStringLiteral("the new content could not replace the old (%1); the file "
                                      "is unchanged")
                           .arg(reason));
    }
    syncFolder(path_);
    return {};
}

} // namespace fr
