#include "cli/JobSummary.h"

#include "cli/ExitStatus.h"
#include "cli/JsonLines.h"
#include "core/RescueMap.h"

#include <QJsonArray>

namespace fr::cli {

void JobSummary::takeMap(const RescueMap& map) {
    totalBytes = map.size;
    bytesSettled = map.size - map.untried.totalBytes();
    unreadableBytes = map.unreadable.totalBytes();
    areas = map.unreadable;
}

QString JobSummary::outcomeOf(int exitStatus) {
    switch (exitStatus) {
    case kDone:
        return QStringLiteral("done");
    case kDoneWithDamage:
        return QStringLiteral("done-with-damage");
    case kRefused:
        return QStringLiteral("refused");
    case kFailed:
        return QStringLiteral("failed");
    default:
        break;
    }
    return exitStatus >= kStopped ? QStringLiteral("stopped") : QStringLiteral("failed");
}

QJsonObject JobSummary::toJson(int exitStatus) const {
    const auto orNull = [](const std::optional<std::int64_t>& value) {
        return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue(QJsonValue::Null);
    };
    const auto stringOrNull = [](const QString& text) {
        return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
    };
    QJsonObject summary;
    summary.insert(QStringLiteral("event"), QStringLiteral("summary"));
    summary.insert(QStringLiteral("command"), stringOrNull(command));
    summary.insert(QStringLiteral("outcome"), outcomeOf(exitStatus));
    summary.insert(QStringLiteral("exitStatus"), exitStatus);
    // 128 alone is a stop because the medium went away, which no signal caused.
    summary.insert(QStringLiteral("signal"), exitStatus > kStoppedBySignal
                                                 ? QJsonValue(exitStatus - kStoppedBySignal)
                                                 : QJsonValue(QJsonValue::Null));
    summary.insert(QStringLiteral("totalBytes"), orNull(totalBytes));
    summary.insert(QStringLiteral("bytesSettled"), orNull(bytesSettled));
    summary.insert(QStringLiteral("unreadableBytes"), orNull(unreadableBytes));
    if (areas) {
        QJsonArray list;
        for (const ByteRange& area : *areas)
            list.append(
                QJsonArray{static_cast<qint64>(area.start), static_cast<qint64>(area.length())});
        summary.insert(QStringLiteral("areas"), list);
    } else {
        summary.insert(QStringLiteral("areas"), QJsonValue(QJsonValue::Null));
    }
    summary.insert(QStringLiteral("map"), stringOrNull(map));
    summary.insert(QStringLiteral("journalEntry"),
                   journalEntry > 0 ? QJsonValue(journalEntry) : QJsonValue(QJsonValue::Null));
    summary.insert(QStringLiteral("messages"), QJsonArray::fromStringList(messages));
    return summary;
}

void JobSummary::write(int exitStatus) const {
    writeJsonLine(toJson(exitStatus));
}

void writeRefusedSummary(const QString& command, const QString& problem) {
    JobSummary summary;
    summary.command = command;
    summary.messages << problem;
    summary.write(kRefused);
}

} // namespace fr::cli
