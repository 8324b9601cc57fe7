#include "FuzzInput.h"
#include "core/CopyJob.h"
#include "rescue/JournalEntry.h"
#include "rescue/RecordFile.h"

using namespace fr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RecordFile journal(fuzz::fileWith(data, size), CopyJob::kRecordBytes);
    const RecordFile::Contents contents = journal.readAll();
    fuzz::require(contents.brokenTail == (size % CopyJob::kRecordBytes != 0));
    for (const QByteArray& record : contents.records) {
        CopyJob entry;
        fuzz::require(entry.fromRecord(record));
        // Everything a journal listing reads of an entry.
        JournalEntry::kindOf(entry);
        JournalEntry::isFilePath(entry.sourceName);
        JournalEntry::megabytes(entry.totalSize);
        const QDateTime started(entry.startDay(), entry.startTimeOfDay());
        started.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        // An entry written back holds what was read of it.
        CopyJob written;
        fuzz::require(written.fromRecord(entry.toRecord()));
        fuzz::require(written.position.load() == entry.position.load() &&
                      written.totalSize == entry.totalSize);
    }
    return 0;
}
