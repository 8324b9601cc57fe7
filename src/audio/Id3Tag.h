#pragma once

#include "core/Id3Records.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <stdexcept>

namespace fr {

// The 148 genre names of the tag's genre byte, codes 0..147.
const QStringList& genreTable();

// The file could not take its tag; the message names the file and the reason.
class Id3FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr int kId3TagSize = 128;

// The 128-byte version 1.1 tag of track `track` (1..99): fixed-width fields in ISO-8859-1,
// each cut to its width and padded with zeros; a character that ISO-8859-1 lacks reads "?".
std::array<std::uint8_t, kId3TagSize> id3v1Tag(const Id3Record& record, int track);

// Tags track `track` of `trackCount` (0: unknown) in the file `nativeFile` twice:
// - an ID3v2.4 tag at its start with the texts whole, in UTF-8, which the players of today read
//   first; a tag there already is updated, its other frames kept;
// - the version 1.1 area at its end: over its last 128 bytes when they are a tag area already
//   (the encoder ends every stream with an empty one), else after them, so that no sound is
//   ever overwritten.
// A missing file, one shorter than a tag, or one that cannot be written throws Id3FileError.
void WriteId3Tag(const QString& nativeFile, int track, const Id3Record& record, int trackCount = 0);

// Whether a text of the tag dialog loses something in the version 1.1 area: longer than its
// field there, or with a character that ISO-8859-1 lacks.
bool cutInVersion1(const Id3Record& record);

} // namespace fr
