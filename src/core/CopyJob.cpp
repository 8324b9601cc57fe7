#include "core/CopyJob.h"

#include "core/RecordText.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace fr {

namespace {

const QDate kOleEpoch(1899, 12, 30);

// The large form's 64-bit values: 20 bytes at the end of a name field whose text leaves them
// free, the source's field first. Older programs write and read only the text before them.
//   0 "FRL1", 4 position, 12 totalSize (unsigned 64-bit, little-endian)
struct LargeTrailer {
    static constexpr int kBytes = 20;
    static constexpr char kMagic[4] = {'F', 'R', 'L', '1'};

    // Where a record's trailer sits, or -1 when neither name leaves room for it.
    static int offsetIn(const QByteArray& record) {
        for (const int field : {0, RecordText::kFieldBytes}) {
            const int textEnd = field + 1 + static_cast<unsigned char>(record[field]);
            const int offset = field + RecordText::kFieldBytes - kBytes;
            if (textEnd <= offset)
                return offset;
        }
        return -1;
    }
    static bool isAt(const QByteArray& record, int offset) {
        return std::memcmp(record.constData() + offset, kMagic, sizeof kMagic) == 0;
    }
};

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
    sizesLost_ = other.sizesLost_;
    startDate = other.startDate;
    startTime = other.startTime;
    return *this;
}

bool CopyJob::fitsSmallRecord() const {
    // A job of this size never moves past the 32-bit fields: its position stays within one
    // fill block of its end.
    return totalSize <= kLargestSmall;
}

bool CopyJob::fitsRecord() const {
    if (fitsSmallRecord())
        return true;
    const QByteArray names = RecordText::encode(sourceName) + RecordText::encode(destinationName);
    return LargeTrailer::offsetIn(names) >= 0;
}

bool CopyJob::writesSmallForm(const QByteArray& names) const {
    const std::uint64_t at = position.load();
    const bool fits32 = totalSize <= kLargeMark && at <= kLargeMark &&
                        !(totalSize == kLargeMark && at == kLargeMark);
    return fits32 && (fitsSmallRecord() || LargeTrailer::offsetIn(names) < 0);
}

QByteArray CopyJob::toRecord() const {
    QByteArray record = RecordText::encode(sourceName) + RecordText::encode(destinationName);
    record.resize(kRecordBytes);
    if (writesSmallForm(record)) {
        putU32(record, 512, static_cast<std::uint32_t>(position.load()));
        putU32(record, 516, static_cast<std::uint32_t>(totalSize));
    } else {
        putU32(record, 512, kLargeMark);
        putU32(record, 516, kLargeMark);
        // Without room (fitsRecord() said no), or for an entry whose sizes were lost, the
        // record still says "large" and its sizes read as lost: never a wrong place to resume
        // from.
        if (const int trailer = LargeTrailer::offsetIn(record); trailer >= 0 && !sizesLost_) {
            std::memcpy(record.data() + trailer, LargeTrailer::kMagic, sizeof LargeTrailer::kMagic);
            qToLittleEndian<std::uint64_t>(position.load(), record.data() + trailer + 4);
            qToLittleEndian<std::uint64_t>(totalSize, record.data() + trailer + 12);
        }
    }
    putDouble(record, 520, startDate);
    putDouble(record, 528, startTime);
    return record;
}

CopyJob::PositionField CopyJob::positionField() const {
    const QByteArray record = toRecord();
    if (writesSmallForm(record))
        return {512, record.mid(512, 4)};
    const int trailer = LargeTrailer::offsetIn(record);
    if (trailer < 0)
        return {512, record.mid(512, 4)};
    return {trailer + 4, record.mid(trailer + 4, 8)};
}

bool CopyJob::fromRecord(const QByteArray& record) {
    if (record.size() != kRecordBytes)
        return false;
    sourceName = RecordText::decode(record.constData());
    destinationName = RecordText::decode(record.constData() + 256);
    position = qFromLittleEndian<std::uint32_t>(record.constData() + 512);
    totalSize = qFromLittleEndian<std::uint32_t>(record.constData() + 516);
    sizesLost_ = false;
    if (position.load() == kLargeMark && totalSize == kLargeMark) {
        const int trailer = LargeTrailer::offsetIn(record);
        if (trailer >= 0 && LargeTrailer::isAt(record, trailer)) {
            position = qFromLittleEndian<std::uint64_t>(record.constData() + trailer + 4);
            totalSize = qFromLittleEndian<std::uint64_t>(record.constData() + trailer + 12);
        } else {
            sizesLost_ = true;
        }
    }
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
