#include "cli/JsonLines.h"

#include <QJsonDocument>
#include <cstdio>

namespace fr::cli {

void writeJsonLine(const QJsonObject& object) {
    // Compact output holds no line break, also for strings that contain one: one object, one
    // line. The keys come sorted; the event's kind goes first, where a reader's eye (or a
    // grep) looks for it.
    QJsonObject rest = object;
    const QJsonValue event = rest.take(QStringLiteral("event"));
    QByteArray line = QJsonDocument(rest).toJson(QJsonDocument::Compact);
    if (!event.isUndefined()) {
        const QByteArray head = QJsonDocument(QJsonObject{{QStringLiteral("event"), event}})
                                    .toJson(QJsonDocument::Compact);
        line = head.chopped(1) + (rest.isEmpty() ? QByteArray() : QByteArray(",")) + line.mid(1);
    }
    line += '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace fr::cli
