// The whole-medium page: the start checks in their order, a real medium copied into a
// folder with its tree, hidden and mixed-case names as the mask allows, a medium that fails to
// read, and an empty selection that still runs the end actions.

#include "window/WholeMediumPage.h"

#include "platform/FileName.h"
#include "rescue/RegisterRecord.h"
#include "support/ByteNames.h"
#include "support/FaultyMedium.h"
#include "support/LoopMount.h"
#include "support/MediaImages.h"
#include "support/ReferenceRescue.h"
#include "support/WindowFixture.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "window/JobControls.h"
#include "window/TForm1.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace fr {
namespace {

using test::ByteRange;
using test::FaultyMedium;

// The numbered language file with a real list of file types, as string 53 has them.
QByteArray languageFile() {
    QByteArray content;
    for (int line = 0; line <= 236; ++line)
        content += (line == 53 ? QStringLiteral("All files|*.*|Text files|*.txt")
                               : QStringLiteral("en %1").arg(line))
                       .toUtf8() +
                   "\r\n";
    return content;
}

// Every file under a folder, hidden ones included, by its path below the folder.
std::map<QString, QByteArray> treeOf(const QString& folder) {
    std::map<QString, QByteArray> tree;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        QFile file(path);
        tree[QDir(folder).relativeFilePath(path)] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return tree;
}

class WholeMediumPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow(languageFile());
        QDir(media.path()).mkpath(QStringLiteral("save"));
    }
    // Opens the page with drive `letter` chosen as the source.
    void open(QChar letter) {
        form->SpeedButton9Click(form->SpeedButton3);
        form->DriveComboBox1->setDrive(letter);
        ASSERT_EQ(form->DriveComboBox1->drive(), letter);
    }
    WholeMediumPage& page() { return *window->wholeMediumPage(); }
    bool jobEnded() const { return form->SpeedButton13->isEnabled(); }
    bool runToEnd() {
        return QTest::qWaitFor([this] { return jobEnded(); }, 60000);
    }
};

TEST_F(WholeMediumPageTest, StartChecksComeInOrderAndStopTheStart) {
    open('D');
    const struct {
        QString folder;
        std::vector<QString> shown;
    } cases[] = {
        {QString(), {"en 108"}},
        {QStringLiteral("D:\\save"), {"en 162"}},
        {QStringLiteral("D:\\missing\\"), {"en 184"}},
        {QStringLiteral("Q:\\"), {"en 184"}}, // no such drive
        {QStringLiteral("D:\\"), {"en 175"}}, // every file onto itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        prompts.shown.clear();
        form->Edit2->setText(c.folder);
        EXPECT_FALSE(page().celydisk());
        EXPECT_EQ(texts(), c.shown);
        EXPECT_TRUE(jobEnded());
    }
    // The same folder under another letter is the same folder.
    drives.setRoot('E', media.path());
    form->Edit2->setText(QStringLiteral("E:\\"));
    prompts.shown.clear();
    EXPECT_FALSE(page().celydisk());
    EXPECT_EQ(texts(), std::vector<QString>{"en 175"});
}

TEST_F(WholeMediumPageTest, ATypedFolderIsTakenInDriveFormAndItsWriteProbeReplacesNothing) {
    QFile existing(media.filePath(QStringLiteral("save/a")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    QTemporaryDir source;
    drives.setRoot('E', source.path());
    open('E');
    form->Edit2->setText(media.path() + QStringLiteral("/x/../save/"));
    EXPECT_TRUE(page().celydisk());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\save\\"));
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(texts(), std::vector<QString>{"en 182"}) << "nothing to copy, and nothing else";
    EXPECT_EQ((treeOf(media.filePath(QStringLiteral("save")))),
              (std::map<QString, QByteArray>{{"a", "keep"}}));
}

TEST_F(WholeMediumPageTest, NamesThatAreNotUtf8AreCopiedIntoAFolderThatIsNotUtf8Either) {
    QTemporaryDir source;
    const test::EmptiedAtEnd emptiedSource(source.path());
    const test::EmptiedAtEnd emptiedMedia(media.path());
    const QByteArray files[] = {"caf\xe9.txt", "old\xff/in.txt"};
    for (const QByteArray& name : files) {
        const QString path = source.path() + '/' + fileNameFromBytes(name);
        std::filesystem::create_directories(test::bytePath(path).parent_path());
        test::writeByteNamed(path, name);
    }
    std::filesystem::create_directory(
        test::bytePath(media.path() + fileNameFromBytes("/r\xe9sultat")));
    drives.setRoot('E', source.path());
    open('E');
    form->Edit2->setText(fileNameFromBytes("D:\\r\xe9sultat\\"));
    EXPECT_TRUE(page().celydisk()) << testing::PrintToString(texts());
    ASSERT_TRUE(runToEnd());
    for (const QByteArray& name : files)
        EXPECT_EQ(
            test::contentOfByteNamed(media.path() + fileNameFromBytes("/r\xe9sultat/" + name)),
            name);
}

TEST_F(WholeMediumPageTest, EveryRegisterEntryOfTheDestinationIsAskedAbout) {
    // D: is a folder: serial 0, which these entries hold.
    RegisterRecord entry;
    entry.serialText = QStringLiteral("0");
    for (const char* label : {"OLD", "OLDER", "OLDEST"}) {
        entry.volumeLabel = QLatin1String(label);
        ASSERT_EQ(RegisterFile(context).append(entry), QString());
    }
    QTemporaryDir source;
    drives.setRoot('E', source.path());
    open('E');
    form->Edit2->setText(QStringLiteral("D:\\save\\"));
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::No};
    EXPECT_FALSE(page().celydisk());
    EXPECT_EQ(texts(), (std::vector<QString>{"en 131", "en 131"}));
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Warning);

    prompts.shown.clear();
    prompts.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes};
    EXPECT_TRUE(page().celydisk());
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(texts(), (std::vector<QString>{"en 131", "en 131", "en 131", "en 182"}));
}

// Whether this kernel mounts FAT: some build machines have ext4 only.
bool kernelMountsFat() {
    QFile filesystems(QStringLiteral("/proc/filesystems"));
    return filesystems.open(QIODevice::ReadOnly) && filesystems.readAll().contains("\tvfat\n");
}

TEST_F(WholeMediumPageTest, AMediumIsCopiedWithItsTreeAsTheMaskAllows) {
    QString why;
    if (!test::LoopMount::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QByteArray deep = QByteArray("deep down").repeated(5000) + "odd";
    const QList<test::ImageFile> files{
        {QStringLiteral(".hidden.txt"), "hidden in the root"},
        {QStringLiteral("Photo.JPG"), QByteArray(3000, 'p')},
        {QStringLiteral("Docs/Mixed Case.TXT"), "Mixed"},
        {QStringLiteral("Docs/Sub Folder/deep.bin"), deep},
        {QStringLiteral("Docs/empty.txt"), QByteArray()},
        {QStringLiteral(".secret/inside.txt"), "not under a hidden folder"}};
    QStringList kinds{QStringLiteral("ext4")};
    if (kernelMountsFat())
        kinds.prepend(QStringLiteral("FAT"));
    for (const QString& kind : kinds) {
        SCOPED_TRACE(kind.toStdString());
        const QString image = dir.file(kind + QStringLiteral(".img"));
        if (kind == QLatin1String("FAT"))
            test::MediaImages::fat(image, 16, QStringLiteral("STICK"), 0x5eed1234, files);
        else
            test::MediaImages::ext4(image, QStringLiteral("STICK"),
                                    QStringLiteral("5eed1234-0000-4000-8000-000000000000"), files);
        const QString root = dir.file(kind);
        test::LoopMount mount(image, root);
        ASSERT_TRUE(mount.mounted()) << mount.error().toStdString();
        drives.setRoot('E', root);
        drives.setDevice('E', image);

        const QString all = media.filePath(kind + QStringLiteral("-all"));
        const QString text = media.filePath(kind + QStringLiteral("-text"));
        QDir().mkpath(all);
        QDir().mkpath(text);
        open('E');
        form->Edit2->setText(QStringLiteral("D:\\") + kind + QStringLiteral("-all\\"));
        ASSERT_TRUE(page().celydisk()) << (texts().empty() ? "" : texts()[0].toStdString());
        ASSERT_TRUE(runToEnd());
        EXPECT_EQ(treeOf(all), (std::map<QString, QByteArray>{
                                   {".hidden.txt", "hidden in the root"},
                                   {"Photo.JPG", QByteArray(3000, 'p')},
                                   {"Docs/Mixed Case.TXT", "Mixed"},
                                   {"Docs/Sub Folder/deep.bin", deep},
                                   {"Docs/empty.txt", QByteArray()},
                               }));
        EXPECT_TRUE(form->Edit2->text().isEmpty()) << "the folder field is emptied at the end";
        EXPECT_TRUE(form->SpeedButton1->isEnabled());

        form->FilterComboBox1->setCurrentIndex(1); // *.txt
        form->Edit2->setText(QStringLiteral("D:\\") + kind + QStringLiteral("-text\\"));
        ASSERT_TRUE(page().celydisk());
        ASSERT_TRUE(runToEnd());
        EXPECT_EQ(treeOf(text),
                  (std::map<QString, QByteArray>{{".hidden.txt", "hidden in the root"},
                                                 {"Docs/Mixed Case.TXT", "Mixed"},
                                                 {"Docs/empty.txt", QByteArray()}}));
        EXPECT_FALSE(QFileInfo::exists(text + QStringLiteral("/Docs/Sub Folder")))
            << "a folder with no matching file is not made";
        EXPECT_TRUE(prompts.shown.empty());
    }
}

TEST_F(WholeMediumPageTest, AMediumThatFailsIsFilledAndRegisteredBeforeTheSwitchOff) {
    QString why;
    if (!FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const QList<ByteRange> bad{{5000, 5001}};
    // Named as a text file, so that the medium's control files stay out of the selection.
    FaultyMedium medium(64 * 1024, bad, {.name = QStringLiteral("disk.txt")});
    drives.setRoot('E', medium.mountPoint());
    open('E');
    form->FilterComboBox1->setCurrentIndex(1);
    form->Edit2->setText(QStringLiteral("D:\\save\\"));
    form->checkbox6->setChecked(true);

    ASSERT_TRUE(page().celydisk());
    ASSERT_TRUE(QTest::qWaitFor([this] { return platform.powerOffs > 0; }, 30000));
    QFile copy(media.filePath(QStringLiteral("save/disk.txt")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    QFile backing(medium.backingPath());
    ASSERT_TRUE(backing.open(QIODevice::ReadOnly));
    const std::vector<std::uint8_t> zeros(512, 0);
    EXPECT_EQ(copy.readAll(), test::referenceCopy(backing.readAll(), bad, {}, 0,
                                                  static_cast<quint32>(medium.size()), zeros)
                                  .destination);
    // The medium of the drive the files came from, registered without a question.
    EXPECT_TRUE(context.copyJob.sourceName.startsWith(QStringLiteral("E:\\")));
    const RegisterFile::Contents entries = RegisterFile(context).readAll();
    ASSERT_EQ(entries.records.size(), 1u);
    EXPECT_EQ(entries.records[0].note, QStringLiteral("en 224"));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(jobEnded());
}

TEST_F(WholeMediumPageTest, AFailedWriteKeepsThePageRunningAndTheStopEndsIt) {
    // The destination of the one file is a folder: it cannot be written as a file.
    QTemporaryDir source;
    QFile file(source.filePath(QStringLiteral("report.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("report");
    file.close();
    QDir(media.path()).mkpath(QStringLiteral("save/report.txt"));
    drives.setRoot('E', source.path());
    open('E');
    form->Edit2->setText(QStringLiteral("D:\\save\\"));
    ASSERT_TRUE(page().celydisk());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !prompts.shown.empty(); }, 30000));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("en 226E:\\report.txt")))
        << prompts.shown[0].text;
    EXPECT_FALSE(jobEnded()) << "the page stays running until stopped";
    window->jobControls()->SpeedButton15Click();
    EXPECT_TRUE(jobEnded());
    EXPECT_TRUE(form->SpeedButton1->isEnabled());
    EXPECT_EQ(QFileInfo(dir.file(QStringLiteral("databaza.fgv"))).size(), 0);
}

TEST_F(WholeMediumPageTest, AFileOfMoreThanFourGibibytesIsCopiedWithTheRest) {
    // A stick holding a 5 GiB video: the job starts and copies it rather than refusing the
    // whole medium. Stopped once the video is under way, so as not to write 5 GiB.
    QTemporaryDir source;
    QFile video(source.filePath(QStringLiteral("video.mkv")));
    ASSERT_TRUE(video.open(QIODevice::WriteOnly));
    ASSERT_TRUE(video.resize(qint64(5) << 30)); // sparse
    video.close();
    drives.setRoot('E', source.path());
    open('E');
    form->Edit2->setText(QStringLiteral("D:\\save\\"));
    ASSERT_TRUE(page().celydisk());
    const QString copy = media.filePath(QStringLiteral("save/video.mkv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(copy).size() > 0; }, 30000));
    window->jobControls()->SpeedButton15Click();
    EXPECT_TRUE(runToEnd());
    EXPECT_TRUE(prompts.shown.empty()) << prompts.shown[0].text.toStdString();
}

} // namespace
} // namespace fr
