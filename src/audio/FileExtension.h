#pragma once

#include <QString>

namespace fr {

// `fileName` with the extension of its last part (from its last dot) replaced by `extension`,
// which carries its own dot when it wants one; a name without extension gets it appended.
// "1.mp3" with "jitt" gives "1jitt"; folders with dots are left alone.
inline QString changeFileExt(const QString& fileName, const QString& extension) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? fileName.left(dot) : fileName;
    return stem + extension;
}

} // namespace fr
