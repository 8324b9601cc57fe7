#include "cli/JournalSlot.h"

namespace fr::cli {

JournalSlot::JournalSlot(const QString& journalPath, QByteArray entry)
    : file_(journalPath, CopyJob::kRecordBytes), entry_(std::move(entry)) {}

int JournalSlot::find() const {
    if (entry_.isEmpty())
        return -1;
    const RecordFile::Contents contents = file_.readAll();
    for (std::size_t i = 0; i < contents.records.size(); ++i)
        if (contents.records[i] == entry_)
            return static_cast<int>(i);
    return -1;
}

int JournalSlot::number() const {
    return find() + 1;
}

QString JournalSlot::put(const CopyJob& job) {
    const QByteArray record = job.toRecord();
    const int index = find();
    if (index >= 0 && record == entry_)
        return {};
    const QString error = index >= 0 ? file_.rewrite(index, record) : file_.append(record);
    if (error.isEmpty())
        entry_ = record;
    return error;
}

QString JournalSlot::remove() {
    const int index = find();
    if (index < 0)
        return {};
    RecordFile::Contents contents = file_.readAll();
    if (!contents.error.isEmpty())
        return contents.error;
    contents.records.erase(contents.records.begin() + index);
    const QString error = file_.replaceAll(contents.records);
    if (error.isEmpty())
        entry_.clear();
    return error;
}

} // namespace fr::cli
