#include "cli/MapOutput.h"

#include "cli/ExitStatus.h"
#include "cli/Session.h"
#include "core/ProgramContext.h"
#include "core/RescueMap.h"
#include "rescue/OutputTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fr::cli {

namespace {

const QString kMapOption = QStringLiteral("map");

// A map named in drive form ("D:\run.map") lies on that drive, as every other file of a job
// named so; a native path is taken as it stands, relative to the working directory.
QString typedMapPath(const Session& session) {
    const QString typed = session.arguments().value(kMapOption);
    const bool driveForm = typed.size() >= 3 && typed[0].isLetter() && typed[1] == ':' &&
                           (typed[2] == '\\' || typed[2] == '/');
    if (driveForm) {
        QString path = typed;
        return session.drives().toNative(path.replace('/', '\\'));
    }
    return QDir::current().absoluteFilePath(typed);
}

} // namespace

int checkRunMap(Session& session, const QStringList& jobFiles) {
    if (!session.arguments().hasValue(kMapOption))
        return kDone;
    const QString path = typedMapPath(session);
    const QString named = session.arguments().value(kMapOption);
    if (path.isEmpty())
        return session.refuse(
            QStringLiteral("--map %1: drive %2: is not in the program's drive map")
                .arg(named, named.left(1).toUpper()));
    const OutputTarget target = checkOutputTarget(path, {jobFiles, session.programDir(), true});
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

QString runMapPath(const Session& session) {
    if (!session.arguments().hasValue(kMapOption))
        return {};
    return checkOutputTarget(typedMapPath(session), {{}, session.programDir(), true}).path;
}

int mapToContinueFrom(const Session& session, std::int64_t size, std::optional<RescueMap>* map) {
    map->reset();
    const QString path = runMapPath(session);
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return kDone;
    const QByteArray text = file.readAll();
    if (!looksLikeMapFile(text))
        return kDone;
    const QString named = QStringLiteral("--map ") + session.arguments().value(kMapOption);
    const MapFileContents earlier = parseMapFile(text);
    if (!earlier.error.isEmpty())
        return session.refuse(named + QStringLiteral(": the map is damaged (") + earlier.error +
                              QStringLiteral("); nothing was read"));
    if (earlier.map.size != size)
        return session.refuse(named + QStringLiteral(": the map describes %1 bytes, the source "
                                                     "has %2; nothing was read")
                                          .arg(earlier.map.size)
                                          .arg(size));
    *map = earlier.map;
    return kDone;
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
                               session.commandLine(),
                               started,
                               QDateTime::currentDateTime(),
                               QString(),
                               QString()};
    RescueMap map = RescueMap::ofRun(size, handled, unreadable);
    if (resumed && QFileInfo::exists(path)) {
        const MapFileContents earlier = readMapFile(path);
        if (earlier.error.isEmpty() && earlier.map.size == map.size)
            map = RescueMap::withRun(earlier.map, map, handled);
    }
    return writeMapFile(path, map, header);
}

} // namespace fr::cli
