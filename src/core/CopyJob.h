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
//
// A job too large for the 32-bit fields (a source of 4 GiB or more, a volume of 2^32 sectors
// or more) has the large form: both fields hold kLargeMark, which no job of the small form
// can hold, and the 64-bit values sit in the unused tail of a name field (see LargeTrailer in
// CopyJob.cpp). An older reader sees a source whose size differs from the record's and a
// position no destination fits, and never resumes it at a wrong place.
struct CopyJob {
    static constexpr int kRecordBytes = 536;
    static constexpr std::uint32_t kLargeMark = 0xFFFFFFFFu;
    // The largest totalSize the 32-bit fields hold: room is left for the position of a last
    // fill block past it.
    static constexpr std::uint64_t kLargestSmall = 0xFFFFFFFFull - 2048;

    QString sourceName; // a path in drive form, or a medium code such as "AA"
    QString destinationName;
    // Read and written as one 64-bit unit.
    std::atomic<std::uint64_t> position{0};
    std::uint64_t totalSize = 0;
    double startDate = 0; // whole days
    double startTime = 0; // fraction of a day

    CopyJob() = default;
    CopyJob(const CopyJob& other) { *this = other; }
    CopyJob& operator=(const CopyJob& other);

    // Whether the record holds position and totalSize in its own 32-bit fields.
    bool fitsSmallRecord() const;
    // Whether a record can hold the job: always for the small form; the large form needs one
    // name that leaves room for its trailer.
    bool fitsRecord() const;
    // A large-form record whose trailer is gone (an older program saved it with new names):
    // its sizes are unknown, and it cannot be resumed.
    bool sizesLost() const { return sizesLost_; }

    QByteArray toRecord() const;
    // Reads a record of exactly 536 bytes; false for any other size.
    bool fromRecord(const QByteArray& record);
    // Where the record keeps position, and its bytes there now: the one field that changes
    // while a job runs, written alone so that a power cut leaves its old value or its new one.
    struct PositionField {
        int offset = 0;
        QByteArray bytes;
    };
    PositionField positionField() const;

    // Sets startDate and startTime to this moment.
    void stampStart(const QDateTime& now);
    QDate startDay() const;
    QTime startTimeOfDay() const;

private:
    // Whether a record with these names holds the job in its 32-bit fields: a job of the small
    // size, or one whose values fit them exactly while its names leave no room for the large
    // form's trailer (an entry an older program journalled at just under 4 GiB).
    bool writesSmallForm(const QByteArray& names) const;

    bool sizesLost_ = false;
};

// OLE Automation dates: whole days since 30 December 1899 and the day's fraction.
double oleDate(const QDate& day);
double oleTime(const QTime& time);
// A damaged value (not a number, infinite, a day outside the years 100 to 9999) gives an
// invalid date or time.
QDate dateFromOle(double days);
QTime timeFromOle(double fraction);

} // namespace fr
