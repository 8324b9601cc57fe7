#pragma once

#include "core/AreaList.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace fr {

// What a job learnt of a file or a medium: the bytes it read, those it could not read, and
// those it never tried (before a resumed job's start, after a stop). It is kept in bytes of
// the source, whatever the job's unit, so that a copy, an image and a medium test draw and
// save the same way.
struct RescueMap {
    // How a stretch of the source ended up, with the characters of the mapfile format that
    // rescue tools and map viewers read.
    enum class Status : char { Rescued = '+', Unreadable = '-', Untried = '?' };

    struct Block {
        ByteRange range;
        Status status = Status::Untried;
        friend bool operator==(const Block&, const Block&) = default;
    };

    std::int64_t size = 0; // bytes of the file or medium
    AreaList unreadable;   // within [0, size)
    AreaList untried;      // within [0, size), apart from the unreadable areas
    // Where the job was when it ended: the first byte it had not handled.
    std::int64_t currentPosition = 0;

    // The map of one run over `handled` of a source of `size` bytes that met `unreadable`:
    // everything outside `handled` is untried, the areas are cut to the source.
    static RescueMap ofRun(std::int64_t size, ByteRange handled, const AreaList& unreadable);
    // A run over `handled` added to what earlier runs learnt of the same source: inside
    // `handled` the run's word counts, outside it the earlier map's. An earlier map of another
    // size says nothing of this source and is left out.
    static RescueMap withRun(const RescueMap& earlier, const RescueMap& run, ByteRange handled);
    // The areas a later run still has to read: the untried and the unreadable ones.
    AreaList pending() const;

    // The whole source from byte 0 to its size, one block per stretch of one status,
    // neighbours of the same status merged.
    std::vector<Block> blocks() const;
    std::int64_t unreadableBytes() const { return unreadable.totalBytes(); }
    bool finished() const { return untried.empty(); }

    friend bool operator==(const RescueMap&, const RescueMap&) = default;
};

// A map file in the documented mapfile format of GNU ddrescue: comment lines, a status line
// (current position, current status, pass) and one line per block ("0x... 0x... +"), so a
// user can open it in the map viewers they know and give it to a rescue tool for a later pass.
struct MapFileHeader {
    QString createdBy;   // what wrote the map, for its first comment line
    QString commandLine; // the job as the user gave it
    QDateTime started;
    QDateTime written;
    QString source;      // what the map describes, as the user knows it
    QString destination; // where the bytes it calls read were written
};
QByteArray mapFileText(const RescueMap& map, const MapFileHeader& header);

// Writes the map next to `path` and renames it over it, so a map is never half-written.
// Empty on success, otherwise the file and the system's reason.
QString writeMapFile(const QString& path, const RescueMap& map, const MapFileHeader& header);

// Reads a map file back: blocks must follow each other from their first position on, with
// the statuses the format knows ("*" and "/" count as unreadable, they are not read yet to the
// last sector). `error` names the line that could not be read.
struct MapFileContents {
    RescueMap map;
    QString error;
};
MapFileContents parseMapFile(const QByteArray& text);
// Whether a text is meant as a map: its first line that is not blank is a comment or a
// position. Such a text that does not parse is a damaged map, not some other file.
bool looksLikeMapFile(const QByteArray& text);
MapFileContents readMapFile(const QString& path);

} // namespace fr
