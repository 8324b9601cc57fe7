// The fixed-record data files: created when missing, read whole, and never damaged further
// when their size shows they were damaged already.

#include "rescue/RecordFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

class RecordFileTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("records.fgv"));

    static QByteArray record(char fill) { return QByteArray(16, fill); }

    void write(const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray bytes() const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

TEST_F(RecordFileTest, MissingFileIsCreatedEmptyAndChangesLandAtTheirRecords) {
    RecordFile file(path, 16);
    const RecordFile::Contents empty = file.readAll();
    EXPECT_TRUE(empty.records.empty());
    EXPECT_TRUE(empty.error.isEmpty()) << empty.error;
    EXPECT_TRUE(QFile::exists(path));

    EXPECT_EQ(file.append(record('a')), QString());
    EXPECT_EQ(file.append(record('b')), QString());
    EXPECT_EQ(file.append(record('c')), QString());
    EXPECT_EQ(file.rewrite(1, record('B')), QString());
    EXPECT_EQ(bytes(), record('a') + record('B') + record('c'));
    EXPECT_FALSE(file.rewrite(3, record('d')).isEmpty()) << "past the last record";
    EXPECT_FALSE(file.append(QByteArray(15, 'x')).isEmpty()) << "a record of the wrong size";
    EXPECT_EQ(bytes().size(), 48);

    // A file copied from a CD is read-only; the program still keeps it up to date.
    QFile::setPermissions(path, QFile::ReadOwner);
    EXPECT_EQ(file.replaceAll({record('c'), record('a')}), QString());
    EXPECT_EQ(file.readAll().records, (std::vector<QByteArray>{record('c'), record('a')}));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".new")));
}

TEST_F(RecordFileTest, BrokenTailIsReadButNeverChanged) {
    const QByteArray damaged = record('a') + record('b') + QByteArray(5, 'z');
    write(damaged);
    RecordFile file(path, 16);

    const RecordFile::Contents contents = file.readAll();
    EXPECT_TRUE(contents.brokenTail);
    EXPECT_EQ(contents.records, (std::vector<QByteArray>{record('a'), record('b')}));
    EXPECT_TRUE(contents.error.contains(path)) << contents.error;
    EXPECT_TRUE(contents.error.contains(QStringLiteral("37 bytes"))) << contents.error;

    for (const QString& error :
         {file.append(record('c')), file.rewrite(0, record('c')), file.replaceAll({record('c')})}) {
        EXPECT_TRUE(error.contains(path)) << error;
        EXPECT_TRUE(error.contains(QStringLiteral("not a whole number"))) << error;
    }
    EXPECT_EQ(bytes(), damaged);
}

TEST_F(RecordFileTest, FailedRenameLeavesTheOldFileWhole) {
    RecordFile file(path, 16);
    ASSERT_EQ(file.append(record('a')), QString());
    ASSERT_EQ(file.append(record('b')), QString());
    QByteArray replacementSeen;
    file.setRename([&](const QString& from, const QString&, QString* error) {
        QFile written(from);
        if (written.open(QIODevice::ReadOnly))
            replacementSeen = written.readAll();
        *error = QStringLiteral("no space left on device");
        return false;
    });

    const QString error = file.replaceAll({record('b')});
    EXPECT_TRUE(error.contains(path) && error.contains(QStringLiteral("no space left"))) << error;
    EXPECT_EQ(replacementSeen, record('b')) << "the new content was complete before the rename";
    EXPECT_EQ(bytes(), record('a') + record('b'));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".new")));
}

} // namespace
} // namespace fr
