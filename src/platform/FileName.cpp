#include "platform/FileName.h"

#include <QDir>
#include <cerrno>
#include <climits>
#include <unistd.h>
#include <vector>

namespace fr {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char32_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 sequence that starts at `at`, 0 when the byte there does not
// start one (a stray continuation byte, a cut sequence, an overlong form, a surrogate, or a
// code point beyond U+10FFFF). `codePoint` receives what the sequence stands for.
int validSequence(QByteArrayView bytes, qsizetype at, char32_t* codePoint) {
    const auto byte = [&bytes](qsizetype i) {
        return static_cast<unsigned char>(bytes[i]);
    };
    const unsigned char lead = byte(at);
    int length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

void appendUtf8(QByteArray& out, char32_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

QString workingFolder() {
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return QStringLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
    return fileNameFromBytes(QByteArrayView(buffer.data()));
}

} // namespace

QString fileNameFromBytes(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t value = 0;
        if (const int length = validSequence(bytes, at, &value); length > 0) {
            name += QString::fromUcs4(&value, 1);
            at += length;
        } else {
            name +=
                QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
        }
    }
    return name;
}

QByteArray fileNameBytes(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        if (QChar::isHighSurrogate(unit) && at + 1 < name.size() &&
            QChar::isLowSurrogate(name[at + 1].unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, name[at + 1].unicode()));
            ++at;
        } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(unit - kEscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, kReplacement);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

QString fileNameAsText(const QString& name) {
    QString text = name;
    for (QChar& unit : text)
        if (unit.unicode() >= kEscapeBase + 0x80 && unit.unicode() <= kEscapeBase + 0xFF)
            unit = QChar(QChar::ReplacementCharacter);
    return text;
}

QString absoluteFileName(const QString& path) {
    if (path.isEmpty())
        return path;
    return QDir::cleanPath(path.startsWith('/') ? path : workingFolder() + '/' + path);
}

} // namespace fr
