#include "core/SettingsFile.h"

#include "core/NumberLines.h"
#include "platform/FileAttributes.h"

#include <QFile>
#include <QSaveFile>
#include <optional>

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
    QByteArray content;
    for (int index = 0; index < Settings::kFieldCount; ++index)
        content += QByteArray::number(settings.field(index)) + "\r\n";

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path + QStringLiteral(": cannot be written: ") + file.errorString();
    if (file.write(content) != content.size() || !file.commit())
        return path + QStringLiteral(": cannot be written: ") + file.errorString();
    return {};
}

} // namespace fr::SettingsFile
