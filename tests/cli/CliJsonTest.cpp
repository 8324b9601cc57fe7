// The command line's JSON output as a script reads it: every line of standard output one JSON
// object, progress events that only move forward, and a last line that sums up the run however
// it ended.

#include "cli/CliProcess.h"
#include "core/CopyJob.h"
#include "core/RescueMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/TempProgramDir.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <vector>

namespace fr {
namespace {

using test::ByteRange;
using test::CliResult;
using test::FaultyMedium;

// Every line of `out` as a JSON object; a line that is not one fails the test.
std::vector<QJsonObject> jsonLines(const QString& out) {
    std::vector<QJsonObject> objects;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << "not JSON: " << line.toStdString();
        EXPECT_TRUE(document.isObject()) << line.toStdString();
        objects.push_back(document.object());
    }
    return objects;
}

std::vector<QJsonObject> progressEvents(const std::vector<QJsonObject>& lines) {
    std::vector<QJsonObject> events;
    for (const QJsonObject& line : lines)
        if (line["event"].toString() == QLatin1String("progress"))
            events.push_back(line);
    return events;
}

// The summary is the last line and the only one.
QJsonObject summaryOf(const std::vector<QJsonObject>& lines) {
    int summaries = 0;
    for (const QJsonObject& line : lines)
        summaries += line["event"].toString() == QLatin1String("summary");
    EXPECT_EQ(summaries, 1);
    if (lines.empty() || lines.back()["event"].toString() != QLatin1String("summary")) {
        ADD_FAILURE() << "the last line is no summary";
        return {};
    }
    return lines.back();
}

class CliJsonTest : public ::testing::Test {
protected:
    void SetUp() override { drives.setRoot('D', media.path()); }

    test::TempProgramDir dir;
    QTemporaryDir media;
    test::DosDevices drives{dir.path()};
};

TEST_F(CliJsonTest, ADamagedCopyReportsItsPassesAndSumsUpWithTheMapsAreas) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 300 * 1024 + 3;
    FaultyMedium medium(size, {{10001, 10005}, {150000, 153333}}, {.delayMs = 20});
    const QString map = media.filePath(QStringLiteral("out.map"));
    const CliResult run =
        test::runCli(dir.path(), {"copy", medium.path(), media.filePath("out.bin"), "--map", map,
                                  "--retries", "1", "--json"});
    ASSERT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Done with unreadable places")))
        << "the account goes to standard error: " << run.err.toStdString();

    const std::vector<QJsonObject> lines = jsonLines(run.out);
    const std::vector<QJsonObject> progress = progressEvents(lines);
    ASSERT_GE(progress.size(), 2u);
    qint64 settled = 0;
    int pass = 0;
    for (const QJsonObject& event : progress) {
        EXPECT_EQ(event["command"].toString(), QStringLiteral("copy"));
        EXPECT_EQ(event["totalBytes"].toInteger(), size);
        EXPECT_GE(event["bytesSettled"].toInteger(), settled) << "settled bytes went back";
        EXPECT_GE(event["pass"].toInt(), pass) << "the pass went back";
        settled = event["bytesSettled"].toInteger();
        pass = event["pass"].toInt();
    }
    // Two sweeps, the edges, the unit-by-unit rule and one more go over the fills.
    EXPECT_EQ(progress.back()["pass"].toInt(), 5);
    EXPECT_EQ(progress.back()["percent"].toInt(), 100);
    EXPECT_EQ(settled, size);

    const QJsonObject summary = summaryOf(lines);
    EXPECT_EQ(summary["outcome"].toString(), QStringLiteral("done-with-damage"));
    EXPECT_EQ(summary["exitStatus"].toInt(), 1);
    EXPECT_TRUE(summary["signal"].isNull());
    EXPECT_TRUE(summary["journalEntry"].isNull());
    EXPECT_EQ(summary["map"].toString(), map);
    EXPECT_EQ(summary["totalBytes"].toInteger(), size);
    EXPECT_EQ(summary["bytesSettled"].toInteger(), size);
    const MapFileContents written = readMapFile(map);
    ASSERT_EQ(written.error, QString());
    QJsonArray areas;
    for (const ByteRange& area : written.map.unreadable)
        areas.append(QJsonArray{qint64(area.start), qint64(area.length())});
    EXPECT_EQ(summary["areas"].toArray(), areas);
    EXPECT_EQ(written.map.unreadable.size(), 2u);
    EXPECT_EQ(summary["unreadableBytes"].toInteger(), written.map.unreadable.totalBytes());
}

TEST_F(CliJsonTest, ACopyStoppedByCtrlCEndsWithAWholeSummaryNamingItsJournalEntry) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 8 * 1024 * 1024 + 5;
    FaultyMedium medium(size, {}, {.bytesPerSecond = 4 * 1024 * 1024, .multithreaded = true});
    const QString out = media.filePath(QStringLiteral("out.bin"));
    const auto cli = test::startCli(dir.path(), {"copy", medium.path(), out, "--json"});
    ASSERT_TRUE(QTest::qWaitFor([&out] { return QFileInfo(out).size() >= 1024 * 1024; }, 30000));
    ::kill(static_cast<pid_t>(cli->processId()), SIGINT);
    const CliResult stopped = test::finishCli(*cli);
    ASSERT_EQ(stopped.exitCode, 130) << stopped.err.toStdString();

    const std::vector<QJsonObject> lines = jsonLines(stopped.out);
    EXPECT_FALSE(progressEvents(lines).empty());
    const QJsonObject summary = summaryOf(lines);
    EXPECT_EQ(summary["outcome"].toString(), QStringLiteral("stopped"));
    EXPECT_EQ(summary["exitStatus"].toInt(), 130);
    EXPECT_EQ(summary["signal"].toInt(), SIGINT);
    EXPECT_EQ(summary["journalEntry"].toInt(), 1);
    EXPECT_GT(summary["bytesSettled"].toInteger(), 0);
    EXPECT_LT(summary["bytesSettled"].toInteger(), size);
    EXPECT_TRUE(summary["messages"].toArray().contains(
        QJsonValue(QStringLiteral("stopping after the read under way (again to quit at once)"))));
    EXPECT_EQ(QFileInfo(dir.file("databaza.fgv")).size(), CopyJob::kRecordBytes);
}

TEST_F(CliJsonTest, ARefusalBeforeOrAfterTheProgramFolderIsReadIsTheOnlyLine) {
    test::writeFile(media.filePath("source.bin"), FaultyMedium::pattern(0, 5000));
    test::writeFile(media.filePath("kept.bin"), "keep me");
    const QStringList cases[] = {
        {"copy", "D:\\source.bin", "--bogus", "--json"}, // --json after the bad option
        {"--json"},
        {"copy", "D:\\source.bin", "--json"},
        {"copy", "D:\\source.bin", "D:\\kept.bin", "--json"}, // no one to ask about replacing
    };
    for (const QStringList& arguments : cases) {
        const CliResult run = test::runCli(dir.path(), arguments);
        const std::string named = arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 2) << named;
        const std::vector<QJsonObject> lines = jsonLines(run.out);
        ASSERT_EQ(lines.size(), 1u) << named << ": " << run.out.toStdString();
        const QJsonObject summary = summaryOf(lines);
        EXPECT_EQ(summary["outcome"].toString(), QStringLiteral("refused")) << named;
        EXPECT_EQ(summary["exitStatus"].toInt(), 2) << named;
        EXPECT_FALSE(summary["messages"].toArray().isEmpty()) << named;
    }
    EXPECT_EQ(test::contentOf(media.filePath("kept.bin")), "keep me");
}

// A copy journalled past 4 GiB is listed and resumed at its exact place.
TEST_F(CliJsonTest, AnEntryPastFourGibibytesIsListedAndResumedFromItsFullPosition) {
    constexpr qint64 position = (qint64(4) << 30) + 4096;
    constexpr qint64 size = position + 64 * 1024;
    for (const auto& [name, length] : {std::pair{"src.bin", size}, {"dst.bin", position}}) {
        QFile file(media.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(length)); // sparse
    }
    CopyJob job;
    job.sourceName = QStringLiteral("D:\\src.bin");
    job.destinationName = QStringLiteral("D:\\dst.bin");
    job.position = position;
    job.totalSize = size;
    job.stampStart(QDateTime::currentDateTime());
    dir.write(QStringLiteral("databaza.fgv"), job.toRecord());

    const CliResult listed = test::runCli(dir.path(), {"resume", "--json"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const std::vector<QJsonObject> entries = jsonLines(listed.out);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0]["event"].toString(), QStringLiteral("entry"));
    EXPECT_EQ(entries[0]["number"].toInt(), 1);
    EXPECT_EQ(entries[0]["position"].toInteger(), position);
    EXPECT_EQ(entries[0]["totalSize"].toInteger(), size);

    const CliResult resumed = test::runCli(dir.path(), {"resume", "1", "--yes", "--json"});
    ASSERT_EQ(resumed.exitCode, 0) << resumed.err.toStdString();
    const std::vector<QJsonObject> lines = jsonLines(resumed.out);
    const std::vector<QJsonObject> progress = progressEvents(lines);
    ASSERT_FALSE(progress.empty());
    for (const QJsonObject& event : progress)
        EXPECT_GE(event["bytesSettled"].toInteger(), position) << "the start was cut to 32 bits";
    EXPECT_EQ(summaryOf(lines)["bytesSettled"].toInteger(), size);
    EXPECT_EQ(QFileInfo(media.filePath("dst.bin")).size(), size);
}

} // namespace
} // namespace fr
