#include "core/CopyJob.h"

#include "core/RecordText.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace fr {

namespace {

const QDate kOleEpoch(1899, 12, 30);

void putU32(QByteArray& record, int offset, std::uint32_t value) {
    qToLittleEndian(value, record.data() + offset);
}

void putDouble(QByteArray& record, int offset, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, record.data() + offset);
}

double getDouble(const QByteArray& record, int offset) {
    const std::uint64_t bits = qFromLittleEndian<std::uint64_t>(record.constData() + offset);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

CopyJob& CopyJob::operator=(const CopyJob& other) {
    sourceName = other.sourceName;
    destinationName = other.destinationName;
    position = other.position.load();
    totalSize = other.totalSize;
    startDate = other.startDate;
    startTime = other.startTime;
    return *this;
}

QByteArray CopyJob::toRecord() const {
    QByteArray record = RecordText::encode(sourceName) + RecordText::encode(destinationName);
    record.resize(kRecordBytes);
    putU32(record, 512, position.load());
    putU32(record, 516, totalSize);
    putDouble(record, 520, startDate);
    putDouble(record, 528, startTime);
    return record;
}

bool CopyJob::fromRecord(const QByteArray& record) {
    if (record.size() != kRecordBytes)
        return false;
    sourceName = RecordText::decode(record.constData());
    destinationName = RecordText::decode(record.constData() + 256);
    position = qFromLittleEndian<std::uint32_t>(record.constData() + 512);
    totalSize = qFromLittleEndian<std::uint32_t>(record.constData() + 516);
    startDate = getDouble(record, 520);
    startTime = getDouble(record, 528);
    return true;
}

void CopyJob::stampStart(const QDateTime& now) {
    startDate = oleDate(now.date());
    startTime = oleTime(now.time());
}

QDate CopyJob::startDay() const {
    return dateFromOle(startDate);
}
QTime CopyJob::startTimeOfDay() const {
    return timeFromOle(startTime);
}

double oleDate(const QDate& day) {
    return static_cast<double>(kOleEpoch.daysTo(day));
}

double oleTime(const QTime& time) {
    return time.msecsSinceStartOfDay() / 86400000.0;
}

QDate dateFromOle(double days) {
    // The day numbers of OLE dates run from 1 January 100 to 31 December 9999; anything else
    // (not a number, infinite, far outside) is a damaged record and has no day.
    constexpr double kFirstDay = -657434.0;
    constexpr double kLastDay = 2958465.0;
    if (!std::isfinite(days) || days < kFirstDay || days >= kLastDay + 1.0)
        return {};
    return kOleEpoch.addDays(static_cast<qint64>(std::floor(days)));
}

QTime timeFromOle(double fraction) {
    if (!std::isfinite(fraction))
        return {};
    const double part = fraction - std::floor(fraction);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::lround(part * 86400000.0)) %
                                           86400000);
}

} // namespace fr
