#pragma once

#include <QByteArray>
#include <QString>

namespace fr {

// The texts inside the journal's and the register's records: one length byte and 255
// bytes of text, UTF-8 here. A file name holds its exact bytes, also when they are not UTF-8
// (read back, they open the same file). A text longer than 255 bytes is cut on a character
// boundary; the bytes past the length are written as zeros.
namespace RecordText {

constexpr int kFieldBytes = 256;
constexpr int kMaxBytes = 255;

// The 256 bytes of a text.
QByteArray encode(const QString& text);
// The text of a field; a length byte past the field's end reads as the whole field.
QString decode(const char* field);
// The text as it would be stored: cut to 255 bytes on a character boundary.
QString fitted(const QString& text);
// Whether the text is stored whole.
bool fits(const QString& text);

} // namespace RecordText

} // namespace fr
