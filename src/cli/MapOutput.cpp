#include "cli/MapOutput.h"

#include "cli/ExitStatus.h"
#include "cli/Session.h"
#include "core/RescueMap.h"

#include <QDir>
#include <QFileInfo>

namespace fr::cli {

namespace {

// The areas of `areas` outside `handled`.
AreaList outside(const AreaList& areas, const ByteRange& handled, std::int64_t size) {
    AreaList kept;
    for (const ByteRange& area : areas) {
        kept.add(area.intersection({0, handled.start}));
        kept.add(area.intersection({handled.end, size}));
    }
    return kept;
}

// This run over what the earlier runs learnt: inside `handled` this run's word counts.
RescueMap addRun(const RescueMap& earlier, const RescueMap& run, const ByteRange& handled) {
    RescueMap map = run;
    map.unreadable = outside(earlier.unreadable, handled, run.size);
    map.unreadable.merge(run.unreadable);
    map.untried = outside(earlier.untried, handled, run.size);
    return map;
}

} // namespace

int withMapResult(const Session& session, int status, const QString& mapError) {
    if (mapError.isEmpty())
        return status;
    session.note(mapError);
    return status == kDone || status == kDoneWithDamage ? kFailed : status;
}

QString writeRunMap(const Session& session, std::int64_t size, ByteRange handled,
                    const AreaList& unreadable, const QDateTime& started, bool resumed) {
    const QString option = QStringLiteral("map");
    if (!session.arguments().hasValue(option))
        return {};
    const QString path = QDir::current().absoluteFilePath(session.arguments().value(option));
    const MapFileHeader header{QStringLiteral("Fragmentrove 3.1 (fragmentrove-cli)"),
                               session.commandLine(), started, QDateTime::currentDateTime()};
    RescueMap map = RescueMap::ofRun(size, handled, unreadable);
    if (resumed && QFileInfo::exists(path)) {
        const MapFileContents earlier = readMapFile(path);
        if (earlier.error.isEmpty() && earlier.map.size == map.size)
            map = addRun(earlier.map, map, handled.intersection({0, map.size}));
    }
    return writeMapFile(path, map, header);
}

} // namespace fr::cli
