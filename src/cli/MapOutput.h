#pragma once

#include "core/AreaList.h"
#include "core/RescueMap.h"

#include <QDateTime>
#include <QString>
#include <optional>

namespace fr::cli {

class Session;

// Before a job starts: whether the file its --map option names may receive the map, so that a
// refused map never costs a run. The map never goes over one of `jobFiles` (native paths of the
// job's source, destination, image or device), a file of the program folder, a device, folder
// or pipe; an existing file that is no map is replaced only when the user says so. kDone when
// no map was asked for or it may be written; otherwise the refusal is said and its status
// returned.
int checkRunMap(Session& session, const QStringList& jobFiles);

// The file --map names, with a symbolic link followed to the file it names; empty when no map
// was asked for. For a job that keeps the map up to date while it runs.
QString runMapPath(const Session& session);

// A map --map names that an earlier run left: the job continues where it says, reading only
// its untried and unreadable areas. None when no map was asked for or the file holds no map
// (it is then replaced, see checkRunMap). A map of a source of another size than `size`, or a
// damaged one, is refused with its reason: kRefused, and the job does not start.
int mapToContinueFrom(const Session& session, std::int64_t size, std::optional<RescueMap>* map);

// The map a job's --map option asks for: the bytes of a source of `size` that this run
// handled, and those it could not read. Written when the option was given; the error names the
// file and the reason, empty when the map was written (or none was asked for).
//
// A resumed job adds its run to the map an earlier run of the same source left in the file
// (one of the same size), so that the map covers the whole source; any other map is replaced.
QString writeRunMap(const Session& session, std::int64_t size, ByteRange handled,
                    const AreaList& unreadable, const QDateTime& started, bool resumed = false);

// A job's exit status once its map is written: a map that was asked for and could not be
// written is noted, and a job that was done then counts as failed.
int withMapResult(const Session& session, int status, const QString& mapError);

} // namespace fr::cli
