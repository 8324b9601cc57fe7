#pragma once

#include <QString>
#include <array>
#include <cstdint>

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

} // namespace fr
