#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <stdexcept>

namespace fr {

// One track's tag as the tag dialog stores it, in the record layout of 1537 bytes: six texts
// of a length byte and 255 bytes each (UTF-8, cut on a character boundary), and the genre's
// position in the dialog's list of genres.
struct Id3Record {
    using Text = std::array<char, 256>;

    Text Header{}; // "TAG" once the dialog was confirmed for the track
    Text Title{};
    Text Artist{};
    Text Album{};
    Text Year{}; // as typed
    Text Comment{};
    // The genre code written into the tag is this position + 1.
    std::uint8_t GenreIndex = 0;

    static QString text(const Text& field);
    static void setText(Text& field, const QString& text);
};
static_assert(sizeof(Id3Record) == 1537, "the record layout of a track's tag");

// The tags of the track numbers 1..99, all empty while nothing was confirmed. They belong to
// track numbers only: a new disc finds the tags of the last one under the same numbers.
class Id3Records {
public:
    static constexpr int kTracks = 99;

    // Track `track` from 1; throws std::out_of_range for a number that has no record.
    Id3Record& operator[](int track) { return records_.at(std::size_t(track - 1)); }
    const Id3Record& operator[](int track) const { return records_.at(std::size_t(track - 1)); }

private:
    std::array<Id3Record, kTracks> records_{};
};

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

// Puts the tag of track `track` at the end of the file `nativeFile`: over its last 128 bytes
// when they are a tag area already (the encoder ends every stream with an empty one), else
// after them, so that no sound is ever overwritten. A missing file, or one shorter than a tag,
// throws Id3FileError.
void WriteId3Tag(const QString& nativeFile, int track, const Id3Record& record);

} // namespace fr
