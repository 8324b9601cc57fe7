#include "platform/FileName.h"
#include "support/ByteNames.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/FileDropTarget.h"
#include "widgets/LabeledEdit.h"

#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

namespace fr {
namespace {

class DirectoryListBoxTest : public testing::Test {
protected:
    QTemporaryDir drive;
    DirectoryListBox list;

    void SetUp() override {
        for (const char* folder :
             {"Music/Live", "Music/Albums", "Music/.cache", "Photos", ".trash"})
            QDir(drive.path()).mkpath(QLatin1String(folder));
        QFile(drive.path() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
        list.setRoot(drive.path(), QStringLiteral("E:\\"));
    }
    // The move happens once the activation has been handled.
    bool movesTo(const QString& folder) {
        return QTest::qWaitFor([&] { return list.directory() == folder; }, 1000);
    }
    QStringList rows() const {
        QStringList texts;
        for (int row = 0; row < list.count(); ++row)
            texts << QString(list.item(row)->data(DirectoryListBox::LevelRole).toInt(), ' ') +
                         list.item(row)->text();
        return texts;
    }
};

TEST_F(DirectoryListBoxTest, ListsTheChainToTheFolderThenItsVisibleSubfolders) {
    EXPECT_EQ(rows(), (QStringList{"E:\\", " Music", " Photos"}));
    EXPECT_EQ(list.directoryInDriveForm(), QStringLiteral("E:\\"));

    QSignalSpy moved(&list, &DirectoryListBox::directoryChanged);
    list.setDirectory(drive.path() + QStringLiteral("/Music"));
    EXPECT_EQ(rows(), (QStringList{"E:\\", " Music", "  Albums", "  Live"}));
    EXPECT_EQ(list.currentRow(), 1) << "the current folder is selected";
    EXPECT_EQ(list.directoryInDriveForm(), QStringLiteral("E:\\Music"));
    EXPECT_EQ(moved.count(), 1);

    // Folders outside the drive, missing ones and files are not places to go.
    list.setDirectory(QDir::tempPath());
    list.setDirectory(drive.path() + QStringLiteral("/Music/../../"));
    list.setDirectory(drive.path() + QStringLiteral("/Gone"));
    list.setDirectory(drive.path() + QStringLiteral("/notes.txt"));
    EXPECT_EQ(list.directory(), drive.path() + QStringLiteral("/Music"));
    EXPECT_EQ(moved.count(), 1);

    // A folder whose name is not UTF-8 is listed and entered by its own bytes.
    const test::EmptiedAtEnd emptied(drive.path());
    std::filesystem::create_directory(
        test::bytePath(drive.path() + fileNameFromBytes("/Music/Caf\xe9")));
    list.refresh();
    ASSERT_EQ(list.count(), 5);
    list.setDirectory(list.item(3)->data(DirectoryListBox::PathRole).toString());
    EXPECT_EQ(fileNameBytes(list.directoryInDriveForm()), QByteArray("E:\\Music\\Caf\xe9"));
}

TEST_F(DirectoryListBoxTest, EnterAndDoubleClickMoveToTheEntry) {
    list.resize(200, 150);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy moved(&list, &DirectoryListBox::directoryChanged);
    list.setCurrentRow(1); // Music
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_TRUE(movesTo(drive.path() + QStringLiteral("/Music")));

    const QRect live = list.visualItemRect(list.item(3));
    ASSERT_EQ(list.item(3)->text(), QStringLiteral("Live"));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, live.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, live.center());
    EXPECT_TRUE(movesTo(drive.path() + QStringLiteral("/Music/Live")));
    EXPECT_EQ(rows(), (QStringList{"E:\\", " Music", "  Live"}));

    // Back up to the root through its entry.
    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_TRUE(movesTo(drive.path()));
    EXPECT_EQ(moved.count(), 3);
}

class FileDropTargetTest : public testing::Test {
protected:
    QWidget window;
    FileDropTarget target{&window};
    QSignalSpy dropped{&target, &FileDropTarget::dropped};

    bool enter(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              {});
        QCoreApplication::sendEvent(&window, &event);
        return event.isAccepted();
    }
    bool drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&window, &event);
        return event.isAccepted();
    }
};

TEST_F(FileDropTargetTest, TakesLocalFilesOnlyWhileEnabled) {
    const QList<QUrl> files{QUrl::fromLocalFile("/media/stick/b.doc"),
                            QUrl(QStringLiteral("https://example.org/x")),
                            QUrl::fromLocalFile("/media/stick/a.doc")};
    EXPECT_FALSE(window.acceptDrops());
    EXPECT_FALSE(enter(files));
    drop(files);
    EXPECT_EQ(dropped.count(), 0);

    target.setEnabled(true);
    EXPECT_TRUE(window.acceptDrops());
    EXPECT_FALSE(enter({QUrl(QStringLiteral("https://example.org/x"))}));
    EXPECT_TRUE(enter(files));
    EXPECT_TRUE(drop(files));
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(),
              (QStringList{"/media/stick/b.doc", "/media/stick/a.doc"}));

    // A name that is not UTF-8 arrives with its own bytes.
    const QList<QUrl> latin1{QUrl::fromEncoded("file:///media/stick/caf%E9%20%5C.doc")};
    EXPECT_TRUE(enter(latin1));
    EXPECT_TRUE(drop(latin1));
    ASSERT_EQ(dropped.count(), 2);
    EXPECT_EQ(dropped.at(1).at(0).toStringList(),
              QStringList{fileNameFromBytes("/media/stick/caf\xe9 \\.doc")});

    target.setEnabled(false);
    EXPECT_FALSE(window.acceptDrops());
    drop(files);
    EXPECT_EQ(dropped.count(), 2);
}

TEST(LabeledEditTest, LabelFollowsTheEditsPlaceAndVisibility) {
    QWidget window;
    window.resize(500, 330);
    auto* edit = new LabeledEdit(&window);
    edit->setLabelText(QStringLiteral("Source:"));
    edit->setGeometry(230, 100, 227, 21);
    QLabel* label = edit->editLabel();
    ASSERT_EQ(label->parentWidget(), &window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(label->isVisible());

    const auto expectBeside = [&] {
        EXPECT_EQ(label->geometry().right() + 1 + LabeledEdit::kLabelSpacing, edit->x());
        EXPECT_NEAR(label->geometry().center().y(), edit->geometry().center().y(), 1);
    };
    expectBeside();
    edit->move(260, 150);
    expectBeside();
    edit->setLabelText(QStringLiteral("A much longer caption:"));
    expectBeside();

    edit->setLabelPosition(LabeledEdit::LabelPosition::Above);
    EXPECT_EQ(label->x(), edit->x());
    EXPECT_EQ(label->geometry().bottom() + 1 + LabeledEdit::kLabelSpacing, edit->y());

    edit->hide();
    EXPECT_FALSE(label->isVisible());
    edit->show();
    EXPECT_TRUE(label->isVisible());
    edit->setEnabled(false);
    EXPECT_FALSE(label->isEnabled());

    delete edit;
    EXPECT_TRUE(window.findChildren<QLabel*>().isEmpty()) << "the label goes with its edit";
}

} // namespace
} // namespace fr
