#include "audio/Id3Tag.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <memory>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

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

TagLib::String utf8(const QString& text) {
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// One text frame of the tag, in UTF-8; none when the text is empty.
void setTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const QString& text) {
    tag.removeFrames(id);
    if (text.isEmpty())
        return;
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(id),
                                                                          TagLib::String::UTF8);
    frame->setText(utf8(text));
    tag.addFrame(frame.release());
}

// The recording time frame holds a timestamp ("1987", "1987-05", "1987-05-14"); a year typed
// otherwise stays in the version 1.1 area only, where any four characters go.
QString recordingTime(const QString& typed) {
    static const QRegularExpression timestamp(QStringLiteral("^\\d{4}(-\\d{2}(-\\d{2})?)?$"));
    const QString year = typed.trimmed();
    return timestamp.match(year).hasMatch() ? year : QString();
}

void writeVersion2Tag(const QString& nativeFile, int track, const Id3Record& record,
                      int trackCount) {
    TagLib::MPEG::File file(QFile::encodeName(nativeFile).constData(), false);
    if (!file.isValid() || file.readOnly())
        throw fileError(nativeFile, QStringLiteral("cannot be opened to write its tag"));
    TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
    setTextFrame(tag, "TIT2", Id3Record::text(record.Title));
    setTextFrame(tag, "TPE1", Id3Record::text(record.Artist));
    setTextFrame(tag, "TALB", Id3Record::text(record.Album));
    setTextFrame(tag, "TDRC", recordingTime(Id3Record::text(record.Year)));
    setTextFrame(tag, "TRCK",
                 trackCount > 0 ? QStringLiteral("%1/%2").arg(track).arg(trackCount)
                                : QString::number(track));
    setTextFrame(tag, "TCON", genreTable().value(record.GenreIndex + 1));
    tag.removeFrames("COMM");
    if (const QString comment = Id3Record::text(record.Comment); !comment.isEmpty()) {
        auto frame = std::make_unique<TagLib::ID3v2::CommentsFrame>(TagLib::String::UTF8);
        frame->setLanguage("XXX"); // the tag format's "language not known"
        frame->setText(utf8(comment));
        tag.addFrame(frame.release());
    }
    // Only the version 2 tag is written here; the version 1.1 area at the end is ours.
    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate))
        throw fileError(nativeFile, QStringLiteral("its tag cannot be written"));
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

bool cutInVersion1(const Id3Record& record) {
    const auto cut = [](const Id3Record::Text& field, int width) {
        const QString text = Id3Record::text(field);
        const QList<uint> points = text.toUcs4();
        return points.size() > width ||
               std::any_of(points.begin(), points.end(), [](uint point) { return point > 0xFF; });
    };
    return cut(record.Title, 30) || cut(record.Artist, 30) || cut(record.Album, 30) ||
           cut(record.Year, 4) || cut(record.Comment, 28);
}

void WriteId3Tag(const QString& nativeFile, int track, const Id3Record& record, int trackCount) {
    QFile file(nativeFile);
    // A missing file means the rip made none: that is an error, not a file to create.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw fileError(nativeFile, QStringLiteral("cannot be opened: ") + file.errorString());
    if (const qint64 size = file.size(); size < kId3TagSize)
        throw fileError(nativeFile,
                        QStringLiteral("is too short to hold a tag (%1 bytes)").arg(size));
    file.close();

    // The version 2 tag goes first: writing it moves the sound and the area behind it.
    writeVersion2Tag(nativeFile, track, record, trackCount);

    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw fileError(nativeFile, QStringLiteral("cannot be opened: ") + file.errorString());
    const qint64 size = file.size();
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
