#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace fr {

// A file name is bytes on this system, and an old FAT stick or a folder copied from another
// machine holds names that are not UTF-8 (Latin-1, a cut character). The program keeps every
// name as text, so the bytes go into the text and come back out unchanged:
// - bytes that are valid UTF-8 are their characters, as everywhere else;
// - every other byte b (always 0x80 or above) is the lone surrogate U+DC00 + b, which valid
//   UTF-8 never yields, and turns back into b on the way out.
// A name that is valid UTF-8 is thus the same text it always was, and a name of any bytes
// opens the file it came from. Shown on the screen, such a byte is a replacement character.
QString fileNameFromBytes(QByteArrayView bytes);
// The bytes a file-system call takes for this name. A lone surrogate that no name can have
// produced is written as U+FFFD.
QByteArray fileNameBytes(const QString& name);

// `path` made absolute against the working folder (read as bytes too), with "." and ".."
// parts and doubled separators resolved as text. An empty path stays empty.
QString absoluteFileName(const QString& path);

// The name as text to show or to match against a pattern (the pattern engine refuses text
// that holds a lone surrogate): each byte that is no UTF-8 is a replacement character. Never
// for opening: it names another file.
QString fileNameAsText(const QString& name);

} // namespace fr
