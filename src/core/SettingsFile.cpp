#include "core/SettingsFile.h"

#include "core/NumberLines.h"
#include "platform/FileAttributes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace fr::SettingsFile {

namespace {

constexpr const char* kNames[Settings::kFieldCount] = {
    "fillMode",      "language",   "blockSize",     "autostartManager",
    "launchManager", "mp3Bitrate", "mp3MaxBitrate", "mp3SampleRate",
    "mp3Vbr",        "mp3Stereo",  "skin"};

constexpr int kMaximum[Settings::kFieldCount] = {3, 5, 2, 255, 255, 5, 3, 2, 255, 255, 2};

QString describeLine(int index) {
    return QStringLiteral("line %1 (%2)").arg(index + 1).arg(QLatin1String(kNames[index]));
}

QString cannotBeWritten(const QString& path, const QString& reason) {
    return path + QStringLiteral(": cannot be written: ") + reason;
}

QString systemReason(const QString& path) {
    return cannotBeWritten(path, QString::fromLocal8Bit(std::strerror(errno)));
}

// For a program folder that takes no new files (so no new copy can be made beside the file)
// while settings.ini itself may still be written: the old content is overwritten from the
// start, cut to the new length and flushed to the disk before the save counts as done.
QString rewriteInPlace(const QString& path, const QByteArray& content) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return systemReason(path);
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t written =
            ::pwrite(fd, content.constData() + done, static_cast<size_t>(content.size() - done),
                     static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const QString error = written < 0
                                      ? systemReason(path)
                                      : cannotBeWritten(path, QStringLiteral("short write"));
            ::close(fd);
            return error;
        }
        done += written;
    }
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0 || ::fsync(fd) != 0) {
        const QString error = systemReason(path);
        ::close(fd);
        return error;
    }
    if (::close(fd) != 0)
        return systemReason(path);
    return {};
}

} // namespace

const char* fieldName(int index) {
    return kNames[index];
}

int fieldMaximum(int index) {
    return kMaximum[index];
}

QString read(const QString& path, Settings& settings) {
    // A read needs no write permission, so a failure to clear the attribute is not fatal
    // here; the settings page's save reports its own failure.
    resetEX(path);

    std::vector<QByteArray> lines;
    if (QString error = NumberLines::read(path, Settings::kFieldCount, describeLine, lines);
        !error.isEmpty())
        return error;

    Settings loaded = settings;
    for (int index = 0; index < Settings::kFieldCount; ++index) {
        const QByteArray& line = lines[static_cast<size_t>(index)];
        const std::optional<long long> value = NumberLines::leadingInteger(line);
        if (!value)
            return path + QStringLiteral(", ") + describeLine(index) + QStringLiteral(": \"") +
                   QString::fromUtf8(line) + QStringLiteral("\" is not a number");
        const std::uint8_t stored =
            static_cast<std::uint8_t>(static_cast<unsigned long long>(*value) & 0xFF);
        if (stored > kMaximum[index])
            return path + QStringLiteral(", ") + describeLine(index) + QStringLiteral(": ") +
                   QString::fromUtf8(line.trimmed()) +
                   QStringLiteral(" is outside the allowed values 0 to %1").arg(kMaximum[index]);
        loaded.field(index) = stored;
    }
    settings = loaded;
    return {};
}

QString write(const QString& path, const Settings& settings) {
    // A value the next start would refuse must never reach the file: it would lock the user
    // out of the program.
    for (int index = 0; index < Settings::kFieldCount; ++index)
        if (settings.field(index) > kMaximum[index])
            return path + QStringLiteral(", ") + describeLine(index) +
                   QStringLiteral(": %1 is outside the allowed values 0 to %2; nothing was written")
                       .arg(settings.field(index))
                       .arg(kMaximum[index]);

    QByteArray content;
    for (int index = 0; index < Settings::kFieldCount; ++index)
        content += QByteArray::number(settings.field(index)) + "\r\n";

    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(content) != content.size() || !file.commit())
            return cannotBeWritten(path, file.errorString());
        return {};
    }
    // No new file could be made beside it; an existing file may still take the new content.
    if (!QFileInfo(path).isFile())
        return cannotBeWritten(path, file.errorString());
    return rewriteInPlace(path, content);
}

} // namespace fr::SettingsFile
