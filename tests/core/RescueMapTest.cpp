#include "core/RescueMap.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

using Status = RescueMap::Status;

TEST(RescueMapTest, AStoppedResumedRunReadsBackFromItsMapFile) {
    // A run resumed at 1000 and stopped at 9000 of 10000 bytes, with an area that reaches past
    // the run (a fill block behind the last byte read) and two that touch.
    AreaList bad;
    bad.add({2000, 2512});
    bad.add({2512, 3000});
    bad.add({8800, 9300});
    const RescueMap map = RescueMap::ofRun(10000, {1000, 9000}, bad);
    const std::vector<RescueMap::Block> expected = {
        {{0, 1000}, Status::Untried},       {{1000, 2000}, Status::Rescued},
        {{2000, 3000}, Status::Unreadable}, {{3000, 8800}, Status::Rescued},
        {{8800, 9000}, Status::Unreadable}, {{9000, 10000}, Status::Untried}};
    EXPECT_EQ(map.blocks(), expected);
    EXPECT_EQ(map.unreadableBytes(), 1200);
    EXPECT_FALSE(map.finished());

    const QByteArray text = mapFileText(map, {QStringLiteral("test"), QString(), {}, {}, {}, {}});
    EXPECT_TRUE(text.contains("\n0x00002328     ?               1\n")) << text.constData();
    EXPECT_TRUE(text.contains("\n0x000007d0  0x000003e8  -\n")) << text.constData();
    const MapFileContents back = parseMapFile(text);
    ASSERT_EQ(back.error, QString());
    EXPECT_EQ(back.map, map);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.map"));
    ASSERT_EQ(writeMapFile(path, map, {}), QString());
    EXPECT_EQ(readMapFile(path).map, map);
    EXPECT_TRUE(writeMapFile(dir.filePath(QStringLiteral("no/such/run.map")), map, {})
                    .contains(QStringLiteral("no/such/run.map")));
}

TEST(RescueMapTest, FinishedAndEmptyRunsAndFilesOfOtherTools) {
    const RescueMap clean = RescueMap::ofRun(4096, {0, 4096}, {});
    EXPECT_TRUE(clean.finished());
    EXPECT_EQ(clean.blocks(), (std::vector<RescueMap::Block>{{{0, 4096}, Status::Rescued}}));
    EXPECT_TRUE(mapFileText(clean, {}).contains("# Finished\n"));
    EXPECT_TRUE(RescueMap::ofRun(0, {0, 0}, {}).blocks().empty());

    // Another tool's map: trimming and scraping states are unreadable areas not yet narrowed.
    const MapFileContents other = parseMapFile("# comment\n0x0 + 1\n0x0 0x200 +\n"
                                               "0x200 0x200 *\n0x400 0x200 /\n0x600 0x200 ?\n");
    ASSERT_EQ(other.error, QString());
    EXPECT_EQ(other.map.size, 0x800);
    EXPECT_EQ(other.map.unreadableBytes(), 0x400);
    EXPECT_EQ(other.map.untried.totalBytes(), 0x200);

    EXPECT_TRUE(parseMapFile("0x0 +\n0x0 0x200 +\n0x400 0x200 -\n").error.contains("line 3"));
    EXPECT_TRUE(parseMapFile("0x0 +\n0x0 0x200 X\n").error.contains("status"));
    EXPECT_FALSE(parseMapFile("# only comments\n").error.isEmpty());

    // A block whose end lies past the largest position is damage: accepting it would wrap the
    // map's size and let any block follow it.
    const MapFileContents wrapped = parseMapFile("0x0 +\n0x1 0x7fffffffffffffff +\n0x0 0x200 -\n");
    EXPECT_TRUE(wrapped.error.contains("line 2")) << wrapped.error.toStdString();
    EXPECT_EQ(parseMapFile("0x0 +\n0x0 0x7fffffffffffffff ?\n").map.size, INT64_MAX);
}

TEST(RescueMapTest, RescueToolsReadOurMapFiles) {
    if (QStandardPaths::findExecutable(QStringLiteral("ddrescuelog")).isEmpty())
        GTEST_SKIP() << "needs ddrescuelog (Debian package gddrescue)";
    AreaList bad;
    bad.add({2000, 3000});
    bad.add({8800, 9000});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.map"));
    ASSERT_EQ(writeMapFile(path, RescueMap::ofRun(10000, {1000, 9000}, bad),
                           {QStringLiteral("test"), QStringLiteral("copy A:\\x to C:\\y"),
                            QDateTime::currentDateTime(), QDateTime::currentDateTime(),
                            QStringLiteral("A:\\x"), QStringLiteral("C:\\y")}),
              QString());
    QProcess reader;
    reader.start(QStringLiteral("ddrescuelog"), {QStringLiteral("-t"), path});
    ASSERT_TRUE(reader.waitForFinished(10000));
    const QString summary = QString::fromUtf8(reader.readAll()).simplified();
    EXPECT_EQ(reader.exitCode(), 0) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("non-tried: 2000 B, in 2 area(s)")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("rescued: 6800 B, in 2 area(s)")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("bad-sector: 1200 B, in 2 area(s)")))
        << summary.toStdString();
}

} // namespace
} // namespace fr
