#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <cstdint>
#include <optional>

namespace fr::cli {

// Writes `object` as one line of JSON on standard output and flushes it, so that a script
// reading the pipe sees each event as it happens.
void writeJsonLine(const QJsonObject& object);

// A byte count as an exact JSON integer (up to 2^63 - 1).
inline QJsonValue jsonBytes(std::uint64_t bytes) {
    return QJsonValue(static_cast<qint64>(bytes));
}

// The value, or null when there is none.
template <typename Number> QJsonValue jsonOrNull(const std::optional<Number>& value) {
    return value ? QJsonValue(static_cast<qint64>(*value)) : QJsonValue(QJsonValue::Null);
}
inline QJsonValue jsonOrNull(const std::optional<bool>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace fr::cli
