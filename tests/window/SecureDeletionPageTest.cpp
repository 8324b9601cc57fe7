// The secure-deletion page: its layout, the refusals before anything is written, a file
// wiped from a drive, and the reports when a file cannot be overwritten or deleted.

#include "window/SecureDeletionPage.h"

#include "support/BindMount.h"
#include "support/WindowFixture.h"
#include "widgets/ClickableLabel.h"
#include "widgets/FlatButton.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

class SecureDeletionPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        createWindow();
        form->SpeedButton9Click(form->SpeedButton10);
    }

    QString onDriveD(const QString& name, const QByteArray& bytes) {
        const QString native = media.filePath(name);
        QFile file(native);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return native;
    }

    void deleteSecurely(const QString& path) {
        form->Edit2->setText(path);
        QTest::mouseClick(form->SpeedButton12, Qt::LeftButton);
    }

    static QByteArray contents(const QString& native) {
        QFile file(native);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    const QByteArray secret = QByteArray("account 1234 ").repeated(500);
};

TEST_F(SecureDeletionPageTest, ShowsTheFileFieldItsBrowserAndTheWideDeleteButton) {
    EXPECT_EQ(form->Label6->pos(), QPoint(170, 150));
    EXPECT_EQ(form->Label6->text(), context.text(153));
    EXPECT_EQ(form->Edit2->geometry().topLeft(), QPoint(168, 170));
    EXPECT_EQ(form->Edit2->width(), 225);
    EXPECT_EQ(form->Image3->pos(), QPoint(400, 169));
    EXPECT_EQ(form->Image3->toolTip(), context.text(219));
    EXPECT_EQ(form->SpeedButton12->geometry(), QRect(168, 210, 140, 20));
    EXPECT_EQ(form->SpeedButton12->text(), context.text(151));

    // The browser names the chosen file in drive form in this page's field.
    dialogs.answers.push_back(onDriveD(QStringLiteral("chosen.txt"), secret));
    QTest::mouseClick(form->Image3, Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, context.text(152));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\chosen.txt"));
}

TEST_F(SecureDeletionPageTest, NoFileNamedOrNoSuchFileIsSaidAndNothingElseHappens) {
    deleteSecurely(QString());
    deleteSecurely(QStringLiteral("D:\\missing.txt"));
    EXPECT_EQ(texts(), (std::vector{context.text(163), context.text(164)}));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\missing.txt"));
}

TEST_F(SecureDeletionPageTest, AFileIsOverwrittenAndDeletedWithoutAQuestion) {
    const QString native = onDriveD(QStringLiteral("secret.txt"), secret);
    deleteSecurely(QStringLiteral("D:\\secret.txt"));
    EXPECT_EQ(texts(), std::vector{context.text(177)});
    EXPECT_FALSE(QFileInfo::exists(native));
    EXPECT_TRUE(form->Edit2->text().isEmpty());
}

TEST_F(SecureDeletionPageTest, AReadOnlyFileIsReportedWithItsPathAndKept) {
    const QString native = onDriveD(QStringLiteral("secret.txt"), secret);
    ASSERT_TRUE(QFile::setPermissions(native, QFileDevice::ReadOwner));
    deleteSecurely(QStringLiteral("D:\\secret.txt"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(240) + "\nD:\\secret.txt\n"));
    EXPECT_EQ(contents(native), secret);
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\secret.txt"));
}

TEST_F(SecureDeletionPageTest, AFileThatCannotBeDeletedIsNotReportedAsDeleted) {
    const QString native = onDriveD(QStringLiteral("secret.txt"), secret);
    test::BindMount pinned(native);
    if (!pinned.mounted())
        GTEST_SKIP() << "mounting a file over itself needs root";
    deleteSecurely(QStringLiteral("D:\\secret.txt"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(229) + "\nD:\\secret.txt\n"));
    EXPECT_NE(contents(native), secret);
    EXPECT_EQ(contents(native).size(), secret.size());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\secret.txt"));
}

} // namespace
} // namespace fr
