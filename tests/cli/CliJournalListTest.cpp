// The journal as the command line lists it, from entries the program did not write itself.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "support/TempProgramDir.h"

#include <cmath>
#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(CliJournalListTest, AnEntryWithADamagedStartDateIsListedAsSuch) {
    test::TempProgramDir dir;
    CopyJob stamped;
    stamped.sourceName = QStringLiteral("D:\\photo.jpg");
    stamped.destinationName = QStringLiteral("E:\\photo.jpg");
    stamped.totalSize = 1000;
    stamped.stampStart(QDateTime(QDate(2024, 3, 1), QTime(10, 30)));
    CopyJob damaged = stamped;
    damaged.startDate = std::nan("");
    damaged.startTime = HUGE_VAL;
    dir.write(QStringLiteral("databaza.fgv"), stamped.toRecord() + damaged.toRecord());

    const test::CliResult listed = test::runCli(dir.path(), {"resume"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out.toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("2024-03-01 10:30"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2. D:\\photo.jpg"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("(start date damaged)")))
        << lines[1].toStdString();
}

} // namespace
} // namespace fr
