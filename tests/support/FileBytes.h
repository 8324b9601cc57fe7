#pragma once

#include "core/CopyJob.h"
#include "rescue/RecordFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <vector>

namespace fr::test {

// The bytes of a file as a test compares them; "<missing>" for a file that is not there, which
// no test writes.
inline QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Replaces the file with these bytes; a failure ends the test.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

// The entries of a journal file, in order.
inline std::vector<CopyJob> journalEntries(const QString& journalPath) {
    std::vector<CopyJob> entries;
    for (const QByteArray& record :
         RecordFile(journalPath, CopyJob::kRecordBytes).readAll().records)
        entries.emplace_back().fromRecord(record);
    return entries;
}

} // namespace fr::test
