#include "cli/MapOutput.h"

#include "cli/Session.h"
#include "core/RescueMap.h"

#include <QDir>

namespace fr::cli {

QString writeRunMap(const Session& session, std::int64_t size, ByteRange handled,
                    const AreaList& unreadable, const QDateTime& started) {
    const QString option = QStringLiteral("map");
    if (!session.arguments().hasValue(option))
        return {};
    const QString path = QDir::current().absoluteFilePath(session.arguments().value(option));
    const MapFileHeader header{QStringLiteral("Fragmentrove 3.1 (fragmentrove-cli)"),
                               session.commandLine(), started, QDateTime::currentDateTime()};
    return writeMapFile(path, RescueMap::ofRun(size, handled, unreadable), header);
}

} // namespace fr::cli
