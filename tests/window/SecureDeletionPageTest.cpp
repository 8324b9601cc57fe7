// The secure-deletion page: its captions in every language, the refusals before anything is
// written, a file wiped from a drive, and the reports when a file cannot be overwritten or deleted.

#include "window/SecureDeletionPage.h"

#include "support/BindMount.h"
#include "support/WindowFixture.h"
#include "widgets/FlatButton.h"
#include "window/TForm1.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(SecureDeletionPageTest, EveryCaptionFitsItsControlInEveryLanguage) {
    form->show();
    for (int language = 0; language < 6; ++language) {
        context.settings.language = static_cast<std::uint8_t>(language);
        form->reapplySettings();
        form->SpeedButton9Click(form->SpeedButton10);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 form->SpeedButton10, form->SpeedButton12, form->Label6, form->Label1})
            EXPECT_LE(control->sizeHint().width(), control->width())
                << "language " << language << ": " << control->objectName().toStdString();
    }
}

// Nothing named, nothing there, and a pipe (whose opening would wait for a writer forever).
TEST_F(SecureDeletionPageTest, WhatIsNoFileToWipeIsSaidAndNothingElseHappens) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(media.filePath(QStringLiteral("pipe"))), 0600), 0);
    deleteSecurely(QString());
    deleteSecurely(QStringLiteral("D:\\missing.txt"));
    deleteSecurely(QStringLiteral("D:\\pipe"));
    EXPECT_EQ(texts(), (std::vector{context.text(163), context.text(164), context.text(241)}));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\pipe"));
}

TEST_F(SecureDeletionPageTest, AFileIsOverwrittenAndDeletedWithoutAQuestion) {
    const QString native = onDriveD(QStringLiteral("secret.txt"), secret);
    deleteSecurely(QStringLiteral("D:\\secret.txt"));
    EXPECT_EQ(texts(), std::vector{context.text(177)});
    EXPECT_FALSE(QFileInfo::exists(native));
    EXPECT_TRUE(form->Edit2->text().isEmpty());
}

// A link is refused as a device is, and what it points to is kept. A file with other names is
// wiped, and the user learns that those names still show it.
TEST_F(SecureDeletionPageTest, ALinkIsRefusedAndOtherNamesOfAWipedFileAreMentioned) {
    const QString target = onDriveD(QStringLiteral("secret.txt"), secret);
    ASSERT_TRUE(QFile::link(target, media.filePath(QStringLiteral("link.txt"))));
    deleteSecurely(QStringLiteral("D:\\link.txt"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(241)));
    EXPECT_EQ(contents(target), secret);
    EXPECT_TRUE(QFileInfo(media.filePath(QStringLiteral("link.txt"))).isSymLink());

    const QString otherName = media.filePath(QStringLiteral("copy.txt"));
    ASSERT_EQ(::link(QFile::encodeName(target), QFile::encodeName(otherName)), 0);
    deleteSecurely(QStringLiteral("D:\\secret.txt"));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].text, context.text(177) + '\n' + context.text(266) + '1');
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(contents(otherName).size(), secret.size());
    EXPECT_NE(contents(otherName), secret);
}

// A file that cannot be overwritten stays as it was; one that cannot be deleted is not said to
// be deleted. Either way the path stays in the field.
TEST_F(SecureDeletionPageTest, FailuresAreReportedWithThePathAndTheReason) {
    const QString readOnly = onDriveD(QStringLiteral("readonly.txt"), secret);
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
    deleteSecurely(QStringLiteral("D:\\readonly.txt"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(context.text(240) + "\nD:\\readonly.txt\n"));
    EXPECT_EQ(contents(readOnly), secret);
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\readonly.txt"));

    const QString pinnedFile = onDriveD(QStringLiteral("pinned.txt"), secret);
    test::BindMount pinned(pinnedFile);
    if (!pinned.mounted())
        GTEST_SKIP() << "mounting a file over itself needs root";
    deleteSecurely(QStringLiteral("D:\\pinned.txt"));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_TRUE(prompts.shown[1].text.startsWith(context.text(229) + "\nD:\\pinned.txt\n"));
    EXPECT_NE(contents(pinnedFile), secret);
    EXPECT_EQ(contents(pinnedFile).size(), secret.size());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("D:\\pinned.txt"));
}

} // namespace
} // namespace fr
