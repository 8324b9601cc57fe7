#include "cli/MapOutput.h"

#include "cli/ExitStatus.h"
#include "cli/Session.h"
#include "core/RescueMap.h"
#include "program/ProgramContext.h"
#include "rescue/OutputTarget.h"

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

const QString kMapOption = QStringLiteral("map");

QString typedMapPath(const Session& session) {
    return QDir::current().absoluteFilePath(session.arguments().value(kMapOption));
}

} // namespace

int checkRunMap(Session& session, const QStringList& jobFiles) {
    if (!session.arguments().hasValue(kMapOption))
        return kDone;
    const QString path = typedMapPath(session);
    const OutputTarget target = checkOutputTarget(path, {jobFiles, session.programDir(), true});
    const QString named = session.arguments().value(kMapOption);
    switch (target.verdict) {
    case OutputTarget::Verdict::Write:
        return kDone;
    case OutputTarget::Verdict::Ask:
        return session.context().prompts.confirm(named + QStringLiteral(": ") +
                                                 session.text(target.text))
                   ? kDone
                   : kRefused;
    case OutputTarget::Verdict::Refused:
        break;
    }
    return session.refuse(QStringLiteral("--map: ") + session.text(target.text) + ' ' + named);
}

int withMapResult(const Session& session, int status, const QString& mapError) {
    if (mapError.isEmpty())
        return status;
    session.note(mapError);
    return status == kDone || status == kDoneWithDamage ? kFailed : status;
}

QString writeRunMap(const Session& session, std::int64_t size, ByteRange handled,
                    const AreaList& unreadable, const QDateTime& started, bool resumed) {
    if (!session.arguments().hasValue(kMapOption))
        return {};
    // Checked before the job; the file a link names receives the map, the link stays.
    const OutputTarget target =
        checkOutputTarget(typedMapPath(session), {{}, session.programDir(), true});
    if (target.verdict == OutputTarget::Verdict::Refused)
        return session.text(target.text) + ' ' + session.arguments().value(kMapOption);
    const QString& path = target.path;
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
