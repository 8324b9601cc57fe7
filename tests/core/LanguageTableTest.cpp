#include "core/LanguageTable.h"

#include "support/TempProgramDir.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

using test::numberedLanguageFile;
using test::TempProgramDir;

class LanguageTableTest : public testing::Test {
protected:
    TempProgramDir dir;
    LanguageTable table;

    QString load(const QByteArray& content) {
        dir.write(QStringLiteral("lang/test"), content);
        return table.load(dir.file(QStringLiteral("lang/test")));
    }
};

TEST_F(LanguageTableTest, LinesAreTakenWholeWithOnlyTheLineEndRemoved) {
    ASSERT_EQ(load("  padded  \r\n\r\nthird\nfourth\r\nno end"), QString());
    EXPECT_EQ(table[0], QStringLiteral("  padded  "));
    EXPECT_EQ(table[1], QString()) << "an empty line is an empty string, not the next line";
    EXPECT_EQ(table[2], QStringLiteral("third"));
    EXPECT_EQ(table[3], QStringLiteral("fourth"));
    EXPECT_EQ(table[4], QStringLiteral("no end"));
    EXPECT_EQ(table[5], QString());
}

TEST_F(LanguageTableTest, ReadsUtf8) {
    ASSERT_EQ(load("Kopíruj súbory\r\nDateien kopieren: Größe\r\n"), QString());
    EXPECT_EQ(table[0], QStringLiteral("Kopíruj súbory"));
    EXPECT_EQ(table[1], QStringLiteral("Dateien kopieren: Größe"));
}

TEST_F(LanguageTableTest, ShorterFileLeavesTheTailOfTheLongerOne) {
    ASSERT_EQ(load(numberedLanguageFile(QStringLiteral("old "), 230)), QString());
    ASSERT_EQ(load(numberedLanguageFile(QStringLiteral("new "), 225)), QString());
    EXPECT_EQ(table[224], QStringLiteral("new 224"));
    for (int slot = 225; slot < 230; ++slot)
        EXPECT_EQ(table[slot], QStringLiteral("old %1").arg(slot));
    EXPECT_EQ(table[230], QString());
}

TEST_F(LanguageTableTest, ThreeHundredLinesFitAndTheThreeHundredAndFirstIsAnError) {
    ASSERT_EQ(load(numberedLanguageFile(QStringLiteral("s"), 300)), QString());
    EXPECT_EQ(table[299], QStringLiteral("s299"));

    const QString error = load(numberedLanguageFile(QStringLiteral("t"), 301));
    EXPECT_TRUE(error.contains(QStringLiteral("more than 300 lines"))) << error.toStdString();
    EXPECT_TRUE(error.startsWith(dir.file(QStringLiteral("lang/test"))));
    EXPECT_EQ(table[299], QStringLiteral("t299")) << "slots read before the error stay filled";
    EXPECT_EQ(table[300], QString());
    EXPECT_EQ(table[-1], QString());
}

TEST_F(LanguageTableTest, MissingFileIsReportedAndTheTableKept) {
    ASSERT_EQ(load("kept\r\n"), QString());
    const QString missing = dir.file(QStringLiteral("lang/lang.xyz"));
    const QString error = table.load(missing);
    EXPECT_TRUE(error.startsWith(missing)) << error.toStdString();
    EXPECT_EQ(table[0], QStringLiteral("kept"));
}

TEST(LanguageTableFiles, EachLanguageHasItsOwnFile) {
    EXPECT_EQ(LanguageTable::fileName(0), QStringLiteral("lang/lang.svk"));
    EXPECT_EQ(LanguageTable::fileName(1), QStringLiteral("lang/lang.cze"));
    EXPECT_EQ(LanguageTable::fileName(4), QStringLiteral("lang/lang.ger"));
    EXPECT_EQ(LanguageTable::fileName(5), QStringLiteral("lang/lang.fra"));
    EXPECT_EQ(LanguageTable::fileName(6), QString());
}

} // namespace
} // namespace fr
