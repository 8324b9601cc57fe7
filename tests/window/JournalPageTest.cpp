// The journal of stopped copies: the status of each entry, the questions before a resume and
// their effects, save and remove on the file, a damaged journal, and a resumed copy on a medium
// that fails.

#include "window/JournalPage.h"

#include "core/ProgramContext.h"
#include "platform/SingleInstance.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/ScriptedFileDialogs.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "window/CopyFilesPage.h"
#include "window/JobControls.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

// The numbered language file, except that the status heading (line 68) is seven characters
// long like in every shipped language: the resume reads the state after it.
QByteArray languageFile() {
    QByteArray content;
    for (int line = 0; line < 276; ++line)
        content +=
            (line == 68 ? QStringLiteral("State: ") : QStringLiteral("en %1").arg(line)).toUtf8() +
            "\r\n";
    return content;
}

CopyJob entry(const QString& source, const QString& destination, quint32 position,
              quint32 totalSize) {
    CopyJob job;
    job.sourceName = source;
    job.destinationName = destination;
    job.position = position;
    job.totalSize = totalSize;
    job.startDate = 46000;
    job.startTime = 0.25;
    return job;
}

// The plain step-by-step rescue, written out with the resume tests below.
QByteArray referenceResume(const QByteArray& source, const QList<ByteRange>& bad,
                           QByteArray destination, qint64 position,
                           const std::vector<std::uint8_t>& fill);

class JournalPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        dir.write(QStringLiteral("databaza.fgv"), {});
        createWindow(languageFile());
    }

    QString journalPath() const { return dir.file(QStringLiteral("databaza.fgv")); }
    void writeJournal(const QByteArray& bytes) const {
        dir.write(QStringLiteral("databaza.fgv"), bytes);
    }
    void writeJournal(const std::vector<CopyJob>& entries) const {
        QByteArray bytes;
        for (const CopyJob& job : entries)
            bytes += job.toRecord();
        writeJournal(bytes);
    }
    QByteArray journal() const {
        QFile in(journalPath());
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }

    // A file of D: with `size` bytes; a negative size removes it.
    void sized(const QString& name, qint64 size) {
        const QString path = media.filePath(name);
        QFile::remove(path);
        if (size < 0)
            return;
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(QByteArray(size, 'x')), size);
    }

    void openJournal() { form->SpeedButton9Click(form->SpeedButton4); }
    void select(int row) {
        form->CheckListBox1->setCurrentRow(row);
        page().CheckListBox1Click();
    }
    QStringList listLines() const {
        QStringList lines;
        for (int row = 0; row < form->CheckListBox1->count(); ++row)
            lines << form->CheckListBox1->item(row)->text();
        return lines;
    }
    JournalPage& page() { return *window->journalPage(); }

    // Whether D:`name` holds what the step-by-step rescue makes of the medium from `position`
    // on, over the `old` destination.
    testing::AssertionResult rescuedExactly(const QString& name, const FaultyMedium& medium,
                                            const QList<ByteRange>& bad, const QByteArray& old = {},
                                            qint64 position = 0) {
        const auto& fill = context.settings.fillMode == 3 ? context.fillBuffers.fillBufferRandom
                                                          : context.fillBuffers.fillBufferZero;
        QFile backing(medium.backingPath());
        QFile result(media.filePath(name));
        if (!backing.open(QIODevice::ReadOnly) || !result.open(QIODevice::ReadOnly))
            return testing::AssertionFailure() << "cannot read the medium or the result";
        const QByteArray expected = referenceResume(backing.readAll(), bad, old, position, fill);
        const QByteArray got = result.readAll();
        const auto difference =
            std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
        if (difference.first == got.end() && difference.second == expected.end())
            return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << got.size() << " bytes against " << expected.size()
               << ", first difference at byte " << (difference.first - got.begin());
    }
};

// --- What the page shows -----------------------------------------------------------------

TEST_F(JournalPageTest, StatusLineForEveryStateOfSourceAndDestination) {
    constexpr quint32 position = 40000;
    constexpr quint32 total = 100000;
    writeJournal(
        {entry(QStringLiteral("D:\\src.bin"), QStringLiteral("D:\\dst.bin"), position, total)});
    struct Case {
        qint64 source;      // size, -1 for missing
        qint64 destination; // size, -1 for missing
        const char* status;
    };
    const Case cases[] = {
        {total, position + 2048, "en 69"},
        {total, position + 1024, "en 69"},
        {total, position + 512, "en 69"},
        // The program journals the exact position of a stopped copy, so a destination ending
        // there is what a stop leaves (a copy that lagged one step behind could not leave it).
        {total, position, "en 69"},
        {total, position + 4, "en 73"},
        {total, -1, "en 71"},
        {-1, position + 512, "en 70"},
        {total + 1, position + 512, "en 72"},
        {total - 1, position + 4, "en 72, en 73"},
        {-1, -1, "en 70, en 71"},
        {total + 1, -1, "en 72, en 71"},
    };
    for (const Case& c : cases) {
        sized(QStringLiteral("src.bin"), c.source);
        sized(QStringLiteral("dst.bin"), c.destination);
        openJournal();
        EXPECT_EQ(form->Label3->text(), QStringLiteral("State: ") + c.status)
            << "source " << c.source << ", destination " << c.destination;
    }
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 670.0954 Mb / 0.0381 Mb"));
    EXPECT_EQ(form->LabeledEdit1->text(), QStringLiteral("D:\\src.bin"));
    EXPECT_EQ(form->LabeledEdit2->text(), QStringLiteral("D:\\dst.bin"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(JournalPageTest, EmptyOrMissingJournalShowsTheHeadingsAndDisablesTheActions) {
    dir.remove(QStringLiteral("databaza.fgv"));
    openJournal();
    EXPECT_EQ(form->CheckListBox1->count(), 0);
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 67"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("State: "));
    EXPECT_FALSE(form->SpeedButton20->isEnabled());
    EXPECT_FALSE(form->SpeedButton21->isEnabled());
    EXPECT_FALSE(form->SpeedButton22->isEnabled());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(QFileInfo::exists(journalPath())) << "a missing journal is made anew, empty";
    EXPECT_EQ(QFileInfo(journalPath()).size(), 0);
}

TEST_F(JournalPageTest, MediumEntriesShowTheDriveAndKeepTheirCodeWhenSaved) {
    writeJournal({entry(QStringLiteral("AA"), QStringLiteral("D:\\floppy.ima"), 700, 2880),
                  entry(QStringLiteral("D:\\floppy.ima"), QStringLiteral("BB"), 10, 2880)});
    openJournal();
    EXPECT_EQ(listLines(), (QStringList{"en 140A -> D:\\floppy.ima", "D:\\floppy.ima -> en 154B"}));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 1412880 / 700"));
    EXPECT_EQ(form->Label3->text(), QString());
    EXPECT_EQ(form->LabeledEdit1->text(), QStringLiteral("en 140A"));

    form->LabeledEdit2->setText(QStringLiteral("D:\\moved.ima"));
    page().SpeedButton21Click();
    select(1);
    form->LabeledEdit1->setText(QStringLiteral("D:\\other.ima"));
    page().SpeedButton21Click();
    EXPECT_TRUE(prompts.shown.empty());
    openJournal();
    EXPECT_EQ(listLines(), (QStringList{"en 140A -> D:\\moved.ima", "D:\\other.ima -> en 154B"}));
    EXPECT_EQ(
        journal(),
        entry(QStringLiteral("AA"), QStringLiteral("D:\\moved.ima"), 700, 2880).toRecord() +
            entry(QStringLiteral("D:\\other.ima"), QStringLiteral("BB"), 10, 2880).toRecord());
}

// A medium no drive stood for when it was journalled is named by its device; the page resumes
// it through the drive that stands for that device now, and without one there is nothing to
// read.
TEST_F(JournalPageTest, AMediumJournalledByItsDeviceResumesThroughTheDriveThatStandsForIt) {
    const QString stick = media.filePath(QStringLiteral("stick.img"));
    QByteArray sectors(64 * 512, '\0');
    for (int i = 0; i < sectors.size(); ++i)
        sectors[i] = static_cast<char>(i * 7 + i / 512);
    test::writeFile(stick, sectors);
    sized(QStringLiteral("stick.ima"), 0);
    const CopyJob job = entry(QStringLiteral("::") + stick, QStringLiteral("D:\\stick.ima"), 0, 64);
    writeJournal({job});
    openJournal();
    EXPECT_EQ(listLines(), QStringList{QStringLiteral("en 140") + stick + " -> D:\\stick.ima"});

    page().SpeedButton20Click();
    EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 176")});
    EXPECT_EQ(journal(), job.toRecord()) << "the entry waits for its medium";

    drives.setDevice('E', stick);
    prompts.shown.clear();
    prompts.answers.push_back(PromptAnswer::Yes); // the image it began is written on
    page().SpeedButton20Click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return form->SpeedButton13->isEnabled() &&
                   test::contentOf(media.filePath(QStringLiteral("stick.ima"))) == sectors;
        },
        30000))
        << testing::PrintToString(texts());
    EXPECT_EQ(journal(), QByteArray());
    EXPECT_EQ(context.copyJob.sourceName, job.sourceName)
        << "the resumed job keeps the name its map and running record go by";
}

// --- Save and remove ---------------------------------------------------------------------

TEST_F(JournalPageTest, SaveRewritesOnlyTheSelectedRecordAndLeavesTheListLine) {
    const std::vector<CopyJob> entries = {
        entry(QStringLiteral("D:\\a"), QStringLiteral("D:\\a.out"), 4, 8),
        entry(QStringLiteral("D:\\b"), QStringLiteral("D:\\b.out"), 1024, 4096),
        entry(QStringLiteral("D:\\c"), QStringLiteral("D:\\c.out"), 12, 16)};
    writeJournal(entries);
    const QByteArray before = journal();
    openJournal();
    select(1);
    form->LabeledEdit1->setText(QStringLiteral("D:\\b moved"));
    form->LabeledEdit2->setText(QStringLiteral("D:\\b moved.out"));
    page().SpeedButton21Click();
    EXPECT_TRUE(prompts.shown.empty());

    const QByteArray after = journal();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(536), before.left(536));
    EXPECT_EQ(after.mid(2 * 536), before.mid(2 * 536));
    CopyJob expected = entries[1];
    expected.sourceName = QStringLiteral("D:\\b moved");
    expected.destinationName = QStringLiteral("D:\\b moved.out");
    EXPECT_EQ(after.mid(536, 536), expected.toRecord()) << "position, size and start kept";
    EXPECT_EQ(listLines()[1], QStringLiteral("D:\\b -> D:\\b.out"));
    openJournal();
    EXPECT_EQ(listLines()[1], QStringLiteral("D:\\b moved -> D:\\b moved.out"));

    // A path the record cannot hold whole would name another file when resumed.
    select(2);
    form->LabeledEdit2->setText(QStringLiteral("D:\\") + QString(300, 'z'));
    page().SpeedButton21Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 230"});
    EXPECT_EQ(journal(), after);
}

TEST_F(JournalPageTest, RemovalKeepsEveryOtherEntryInOrderAndTheOnlyOneLeavesNothing) {
    std::vector<CopyJob> entries;
    for (quint32 i = 0; i < 150; ++i)
        entries.push_back(entry(QStringLiteral("D:\\file%1").arg(i),
                                QStringLiteral("D:\\copy%1").arg(i), i, 1000 + i));
    writeJournal(entries);
    openJournal();
    select(120);
    form->SpeedButton22->click();
    entries.erase(entries.begin() + 120);
    QByteArray expected;
    for (const CopyJob& job : entries)
        expected += job.toRecord();
    EXPECT_EQ(journal(), expected);
    EXPECT_EQ(form->CheckListBox1->count(), 149) << "the page is shown anew";
    EXPECT_TRUE(prompts.shown.empty());

    writeJournal({entries[0]});
    openJournal();
    page().SpeedButton22Click();
    EXPECT_TRUE(QFileInfo::exists(journalPath()));
    EXPECT_EQ(QFileInfo(journalPath()).size(), 0);
    EXPECT_FALSE(form->SpeedButton22->isEnabled());
}

TEST_F(JournalPageTest, DamagedJournalIsReportedListedAndNeverRewritten) {
    const CopyJob first = entry(QStringLiteral("D:\\a"), QStringLiteral("D:\\a.out"), 4, 8);
    const CopyJob second = entry(QStringLiteral("D:\\b"), QStringLiteral("D:\\b.out"), 4, 8);
    const QByteArray damaged = first.toRecord() + second.toRecord() + QByteArray(100, '\x01');
    writeJournal(damaged);
    openJournal();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.contains(journalPath())) << prompts.shown[0].text;
    EXPECT_EQ(listLines(), (QStringList{"D:\\a -> D:\\a.out", "D:\\b -> D:\\b.out"}));

    select(1);
    form->LabeledEdit1->setText(QStringLiteral("D:\\changed"));
    page().SpeedButton21Click();
    page().SpeedButton22Click();
    EXPECT_EQ(journal(), damaged);
    EXPECT_GE(prompts.shown.size(), 3u) << "each refused change is reported";
}

// --- Resume ------------------------------------------------------------------------------

TEST_F(JournalPageTest, ResumeQuestionsComeInOrderAndEndOrRemoveAsAnswered) {
    const CopyJob job =
        entry(QStringLiteral("D:\\src.bin"), QStringLiteral("D:\\dst.bin"), 4000, 10000);
    struct Case {
        const char* name;
        qint64 source;
        qint64 destination;
        PromptAnswer answer;
        std::vector<QString> asked;
        bool removed;
    };
    // Every case that reaches the start action meets the existing destination (63) and is
    // refused there by the unscripted No.
    const Case cases[] = {
        {"source gone, remove", -1, 4512, PromptAnswer::Yes, {"en 186"}, true},
        {"source gone, keep", -1, 4512, PromptAnswer::No, {"en 186"}, false},
        {"destination gone, remove", 10000, -1, PromptAnswer::Yes, {"en 185"}, true},
        {"destination gone, keep", 10000, -1, PromptAnswer::No, {"en 185"}, false},
        {"both gone: the source is asked about first", -1, -1, PromptAnswer::No, {"en 186"}, false},
        {"source shorter than the position, remove",
         3000,
         4512,
         PromptAnswer::Yes,
         {"en 189"},
         true},
        {"source shorter than the position, keep", 3000, 4512, PromptAnswer::No, {"en 189"}, false},
        {"source changed, no", 12000, 4512, PromptAnswer::No, {"en 187"}, false},
        {"source changed, yes", 12000, 4512, PromptAnswer::Yes, {"en 187", "en 63"}, false},
        {"destination unexpected, no", 10000, 4004, PromptAnswer::No, {"en 188"}, false},
        {"destination unexpected, yes", 10000, 4004, PromptAnswer::Yes, {"en 188", "en 63"}, false},
        {"source changed and destination unexpected",
         12000,
         4004,
         PromptAnswer::No,
         {"en 63"},
         false},
        {"both as left", 10000, 4512, PromptAnswer::No, {"en 63"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeJournal({job});
        sized(QStringLiteral("src.bin"), c.source);
        sized(QStringLiteral("dst.bin"), c.destination);
        openJournal();
        prompts.shown.clear();
        prompts.answers = {c.answer};
        page().SpeedButton20Click();
        EXPECT_EQ(texts(), c.asked);
        EXPECT_EQ(journal(), c.removed ? QByteArray() : job.toRecord());
        EXPECT_TRUE(form->SpeedButton13->isEnabled()) << "no copy started";
        EXPECT_EQ(QFileInfo(media.filePath(QStringLiteral("dst.bin"))).size(),
                  std::max<qint64>(c.destination, 0))
            << "a refused resume leaves the destination as it was";
    }
}

TEST_F(JournalPageTest, AnEntryThatCannotBeTrueIsReportedDamagedAndNeverRun) {
    // Past the end of a size that still matches the source, and an image entry far past its
    // last sector: either would pass for a finished job at once.
    const CopyJob copy =
        entry(QStringLiteral("D:\\src.bin"), QStringLiteral("D:\\dst.bin"), 2441400, 10000);
    const CopyJob image =
        entry(QStringLiteral("DD"), QStringLiteral("D:\\disk.ima"), 0xFFFFFFF0, 2880);
    writeJournal({copy, image});
    sized(QStringLiteral("src.bin"), 10000);
    sized(QStringLiteral("dst.bin"), 0);
    sized(QStringLiteral("disk.ima"), 0);
    form->CheckBox1->setChecked(true); // delete the source when done
    openJournal();
    for (const int row : {0, 1}) {
        SCOPED_TRACE(row);
        select(row);
        EXPECT_EQ(form->Label3->text(), QStringLiteral("State: en 263"));
        prompts.shown.clear();
        page().SpeedButton20Click();
        EXPECT_EQ(texts(), std::vector<QString>{QStringLiteral("en 263")});
        EXPECT_TRUE(form->SpeedButton13->isEnabled()) << "nothing started";
    }
    EXPECT_EQ(journal(), copy.toRecord() + image.toRecord()) << "the entries stay as they are";
    EXPECT_EQ(QFileInfo(media.filePath(QStringLiteral("src.bin"))).size(), 10000);
}

TEST_F(JournalPageTest, AVanishedNetworkSourceIsLeftToTheStartChecks) {
    const CopyJob job = entry(QStringLiteral("\\\\server\\share\\photo.jpg"),
                              QStringLiteral("D:\\photo.jpg"), 4000, 10000);
    writeJournal({job});
    sized(QStringLiteral("photo.jpg"), 4512);
    openJournal();
    EXPECT_EQ(listLines(), QStringList{"\\\\server\\share\\photo.jpg -> D:\\photo.jpg"});
    EXPECT_EQ(form->Label3->text(), QStringLiteral("State: en 70"));
    page().SpeedButton20Click();
    EXPECT_EQ(texts(), (std::vector<QString>{"en 102", "en 63"}));
    EXPECT_EQ(journal(), job.toRecord());
}

// The plain step-by-step rescue from `position` on: up to 4 bytes per read, and one fill block
// in place of a read that touches a bad range.
QByteArray referenceResume(const QByteArray& source, const QList<ByteRange>& bad,
                           QByteArray destination, qint64 position,
                           const std::vector<std::uint8_t>& fill) {
    const auto put = [&](const char* data, qint64 length) {
        if (destination.size() < position + length)
            destination.resize(position + length, '\0');
        std::copy(data, data + length, destination.begin() + position);
        position += length;
    };
    while (position < source.size()) {
        const qint64 n = std::min<qint64>(4, source.size() - position);
        const bool failed = std::any_of(bad.begin(), bad.end(), [&](const ByteRange& range) {
            return position < range.end && range.start < position + n;
        });
        if (failed)
            put(reinterpret_cast<const char*>(fill.data()), static_cast<qint64>(fill.size()));
        else
            put(source.constData() + position, n);
    }
    return destination;
}

TEST_F(JournalPageTest, ResumedCopyOnAFailingMediumFinishesExactlyAndLeavesTheJournal) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    constexpr qint64 size = 300 * 1024 + 3;
    const QList<ByteRange> bad = {{10001, 10005}, {150000, 153333}};
    FaultyMedium medium(size, bad);
    drives.setRoot('E', medium.mountPoint());

    constexpr quint32 position = 4097;
    const QByteArray old = FaultyMedium::pattern(0, position) + QByteArray(512, '\0');
    QFile out(media.filePath(QStringLiteral("rescued.bin")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(old);
    out.close();
    const CopyJob stopped =
        entry(QStringLiteral("E:\\disk.img"), QStringLiteral("D:\\rescued.bin"), position, size);
    const CopyJob other = entry(QStringLiteral("D:\\x"), QStringLiteral("D:\\y"), 0, 8);
    writeJournal({other, stopped});
    openJournal();
    select(1);
    ASSERT_EQ(form->Label3->text(), QStringLiteral("State: en 69"));

    // Refused by the start checks: the entry stays.
    prompts.answers = {PromptAnswer::No};
    page().SpeedButton20Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 63"});
    EXPECT_EQ(journal(), other.toRecord() + stopped.toRecord());

    openJournal();
    select(1);
    prompts.shown.clear();
    prompts.answers = {PromptAnswer::Yes};
    page().SpeedButton20Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 63"});
    EXPECT_EQ(journal(), other.toRecord()) << "the entry goes as soon as the copy starts";
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("E:\\disk.img"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton13->isEnabled(); }, 30000));
    EXPECT_GT(medium.failedReads(), 0);

    EXPECT_TRUE(rescuedExactly(QStringLiteral("rescued.bin"), medium, bad, old, position));
    EXPECT_EQ(context.copyJob.position.load(),
              QFileInfo(media.filePath(QStringLiteral("rescued.bin"))).size());
    EXPECT_EQ(context.copyJob.startTime, stopped.startTime) << "the start of the first run stays";
}

// A medium that takes a fifth of a second for every unreadable place and answers other
// requests meanwhile: the stopped copy is still in a slow read when the user turns to the journal.
TEST_F(JournalPageTest, AResumeRightAfterAStopFinishesExactly) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QList<ByteRange> bad{{16384, 16384 + 4096}};
    FaultyMedium medium(128 * 1024, bad, {.delayMs = 200, .multithreaded = true});
    drives.setRoot('E', medium.mountPoint());
    form->SpeedButton9Click(form->SpeedButton1);
    form->Edit1->setText(QStringLiteral("E:\\disk.img"));
    form->Edit2->setText(QStringLiteral("D:\\rescued.bin"));
    ASSERT_TRUE(window->copyFilesPage()->SpeedButton13Click());
    ASSERT_TRUE(QTest::qWaitFor([&] { return medium.failedReads() >= 4; }, 30000));
    window->jobControls()->SpeedButton15Click();

    // The journal, as soon as the window lets the user open it.
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton4->isEnabled(); }, 30000));
    openJournal();
    EXPECT_EQ(form->Label3->text(), QStringLiteral("State: en 69"));
    prompts.answers = {PromptAnswer::Yes};
    page().SpeedButton20Click();
    EXPECT_EQ(texts(), std::vector<QString>{"en 63"});
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->SpeedButton13->isEnabled(); }, 60000));
    EXPECT_TRUE(rescuedExactly(QStringLiteral("rescued.bin"), medium, bad));
}

} // namespace
} // namespace fr
