#include "audio/Id3Tag.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace fr {

namespace {

// Writes `text` into tag bytes [offset, offset + width) as ISO-8859-1, which is what tag
// readers take version 1 tags to be: the rest of the field stays zero.
void putField(std::array<std::uint8_t, kId3TagSize>& tag, int offset, int width,
              const QString& text) {
    int at = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        if (at == width)
            break;
        tag[std::size_t(offset + at++)] = codePoint <= 0xFF ? std::uint8_t(codePoint) : '?';
    }
}

Id3FileError fileError(const QString& file, const QString& reason) {
    return Id3FileError((file + QStringLiteral(": ") + reason).toStdString());
}

} // namespace

std::array<std::uint8_t, kId3TagSize> id3v1Tag(const Id3Record& record, int track) {
    std::array<std::uint8_t, kId3TagSize> tag{};
    std::memcpy(tag.data(), "TAG", 3);
    putField(tag, 3, 30, Id3Record::text(record.Title));
    putField(tag, 33, 30, Id3Record::text(record.Artist));
    putField(tag, 63, 30, Id3Record::text(record.Album));
    putField(tag, 93, 4, Id3Record::text(record.Year));
    // 28 bytes, so that byte 125 stays zero and readers find the track number after it.
    putField(tag, 97, 28, Id3Record::text(record.Comment));
    tag[125] = 0;
    tag[126] = std::uint8_t(track);
    tag[127] = std::uint8_t(record.GenreIndex + 1);
    return tag;
}

void WriteId3Tag(const QString& nativeFile, int track, const Id3Record& record) {
    QFile file(nativeFile);
    // A missing file means the rip made none: that is an error, not a file to create.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw fileError(nativeFile, QStringLiteral("cannot be opened: ") + file.errorString());
    const qint64 size = file.size();
    if (size < kId3TagSize)
        throw fileError(nativeFile,
                        QStringLiteral("is too short to hold a tag (%1 bytes)").arg(size));

    if (!file.seek(size - kId3TagSize))
        throw fileError(nativeFile, QStringLiteral("cannot be read: ") + file.errorString());
    const QByteArray tail = file.read(3);
    if (tail.size() != 3)
        throw fileError(nativeFile, QStringLiteral("cannot be read: ") + file.errorString());
    // Only an existing tag area may be replaced; anything else is the end of the sound.
    const qint64 at = tail == "TAG" ? size - kId3TagSize : size;

    const auto tag = id3v1Tag(record, track);
    if (!file.seek(at) ||
        file.write(reinterpret_cast<const char*>(tag.data()), kId3TagSize) != kId3TagSize ||
        !file.flush())
        throw fileError(nativeFile, QStringLiteral("cannot be written: ") + file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw fileError(nativeFile, QStringLiteral("cannot be written: ") + file.errorString());
}

} // namespace fr
