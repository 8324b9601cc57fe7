#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <atomic>
#include <cstdint>

namespace fr {

// A copy or image job: the window's current one, a journal entry, or a worker's own copy. Its
// 536-byte image is also the journal's record, so a stopped job can be finished later:
//   0 sourceName, 256 destinationName (length byte + 255 bytes each),
//   512 position, 516 totalSize (unsigned 32-bit, little-endian),
//   520 startDate, 528 startTime (OLE Automation dates: days since 30 December 1899).
// For a file copy position and totalSize count bytes, for an image job sectors.
struct CopyJob {
    static constexpr int kRecordBytes = 536;

    QString sourceName; // a path in drive form, or a medium code such as "AA"
    QString destinationName;
    // Read and written as one 32-bit unit.
    std::atomic<std::uint32_t> position{0};
    std::uint32_t totalSize = 0;
    double startDate = 0; // whole days
    double startTime = 0; // fraction of a day

    CopyJob() = default;
    CopyJob(const CopyJob& other) { *this = other; }
    CopyJob& operator=(const CopyJob& other);

    QByteArray toRecord() const;
    // Reads a record of exactly 536 bytes; false for any other size.
    bool fromRecord(const QByteArray& record);

    // Sets startDate and startTime to this moment.
    void stampStart(const QDateTime& now);
    QDate startDay() const;
    QTime startTimeOfDay() const;
};

// OLE Automation dates: whole days since 30 December 1899 and the day's fraction.
double oleDate(const QDate& day);
double oleTime(const QTime& time);
// A damaged value (not a number, infinite, a day outside the years 100 to 9999) gives an
// invalid date or time.
QDate dateFromOle(double days);
QTime timeFromOle(double fraction);

} // namespace fr
