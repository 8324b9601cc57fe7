#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fr::fuzz {

// The readers under test take a file by its path, as the program does: each input becomes the
// content of one file in a folder of this run's own.
inline QString fileWith(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("input"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
        std::abort(); // the run itself is broken, not the reader
    return path;
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A property of the reader that does not hold: stop the run like a crash, so the input is kept.
inline void require(bool holds) {
    if (!holds)
        std::abort();
}

} // namespace fr::fuzz
