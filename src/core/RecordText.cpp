#include "core/RecordText.h"

#include "platform/FileName.h"

namespace fr::RecordText {

namespace {

QByteArray cutUtf8(QByteArray bytes) {
    if (bytes.size() <= kMaxBytes)
        return bytes;
    int length = kMaxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
        --length;
    return bytes.left(length);
}

} // namespace

QByteArray encode(const QString& text) {
    const QByteArray bytes = cutUtf8(fileNameBytes(text));
    QByteArray field(kFieldBytes, '\0');
    field[0] = static_cast<char>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), field.begin() + 1);
    return field;
}

QString decode(const char* field) {
    const int length = static_cast<unsigned char>(field[0]);
    return fileNameFromBytes(QByteArrayView(field + 1, length));
}

QString fitted(const QString& text) {
    return fileNameFromBytes(cutUtf8(fileNameBytes(text)));
}

bool fits(const QString& text) {
    return fileNameBytes(text).size() <= kMaxBytes;
}

} // namespace fr::RecordText
