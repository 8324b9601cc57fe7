// The register of damaged media: its entries byte for byte, registration of the medium in a
// drive, and the register page in the main window.

#include "app/ProgramWindow.h"
#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "platform/SingleInstance.h"
#include "rescue/RegisterEntry.h"
#include "rescue/RegisterRecord.h"
#include "support/DosDevices.h"
#include "support/MediaImages.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "window/Prisposob.h"
#include "window/TForm1.h"
#include "window/TForm2.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace fr {
namespace {

TEST(RegisterRecordTest, BytesAreThreeLengthPrefixedTextsPaddedWithZeros) {
    QByteArray expected(768, '\0');
    expected[0] = 9;
    std::memcpy(expected.data() + 1, "305441741", 9);
    expected[256] = 5;
    std::memcpy(expected.data() + 257, "DISK1", 5);
    expected[512] = 7;
    std::memcpy(expected.data() + 513, "bad fat", 7);

    const RegisterRecord record{QStringLiteral("305441741"), QStringLiteral("DISK1"),
                                QStringLiteral("bad fat")};
    EXPECT_EQ(record.toBytes(), expected);
    const RegisterRecord read = RegisterRecord::fromBytes(expected);
    EXPECT_EQ(read.serialText, record.serialText);
    EXPECT_EQ(read.volumeLabel, record.volumeLabel);
    EXPECT_EQ(read.note, record.note);
    EXPECT_EQ(read.listLine(), QStringLiteral("DISK1(305441741)"));

    // 128 two-byte letters are 256 bytes: the label keeps 127 of them, never half a letter.
    const QByteArray cut = RegisterRecord{{}, QString(128, QChar(0x10D)), {}}.toBytes();
    EXPECT_EQ(static_cast<unsigned char>(cut[256]), 254);
    EXPECT_EQ(RegisterRecord::fromBytes(cut).volumeLabel, QString(127, QChar(0x10D)));
    EXPECT_EQ(cut[511], '\0');
}

class RegisterTest : public testing::Test {
protected:
    test::TempProgramDir dir;
    test::ScriptedPlatform platform;
    test::ScriptedPrompts prompts;
    RawDiskAccess disk{dir.path(), platform};
    ProgramContext context{dir.path(), platform, prompts, disk};
    QString registerPath = dir.file(QStringLiteral("drives.fgv"));

    void SetUp() override {
        dir.write(QStringLiteral("lang/lang.eng"),
                  test::numberedLanguageFile(QStringLiteral("en "), 234));
        ASSERT_EQ(context.language.load(dir.file(QStringLiteral("lang/lang.eng"))), QString());
    }

    // A drive E: holding a floppy with this label and serial.
    void floppyInE(const QString& label, quint32 serial) {
        const QString image = dir.file(QStringLiteral("floppy.img"));
        test::MediaImages::floppy(image, label, serial);
        test::DosDevices(dir.path()).setDevice('E', image);
    }
    void writeRegister(const QList<RegisterRecord>& records) const {
        QByteArray bytes;
        for (const RegisterRecord& record : records)
            bytes += record.toBytes();
        dir.write(QStringLiteral("drives.fgv"), bytes);
    }
    QByteArray registerBytes() const {
        QFile file(registerPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static RegisterRecord numbered(int i) {
        return {QString::number(1000 + i), QStringLiteral("VOL%1").arg(i),
                QStringLiteral("note %1").arg(i)};
    }
};

TEST_F(RegisterTest, AddingRegistersTheMediumInTheDriveEveryTime) {
    floppyInE(QString(), 0x0badcafe);
    std::vector<QString> order;
    const auto stopMonitor = [&] {
        order.push_back(QFile::exists(registerPath) ? QString::number(QFile(registerPath).size())
                                                    : QStringLiteral("none"));
    };
    dir.remove(QStringLiteral("drives.fgv"));
    EXPECT_EQ(addRegisterEntry(context, 'E', QStringLiteral("en 224"), stopMonitor), QString());
    EXPECT_EQ(addRegisterEntry(context, 'e', QStringLiteral("again"), stopMonitor), QString());
    EXPECT_EQ(addRegisterEntry(context, 'Y', QStringLiteral("no medium")), QString());
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("none"), QStringLiteral("768")}))
        << "the monitor is stopped before the register is touched";

    const RegisterFile::Contents contents = RegisterFile(context).readAll();
    ASSERT_EQ(contents.records.size(), 3u) << contents.error;
    const QString serial = QString::number(0x0badcafeu);
    EXPECT_EQ(contents.records[0].listLine(), QStringLiteral("en 167(") + serial + ')');
    EXPECT_EQ(contents.records[0].note, QStringLiteral("en 224"));
    EXPECT_EQ(contents.records[1].serialText, serial) << "the same medium is kept twice";
    EXPECT_EQ(contents.records[1].note, QStringLiteral("again"));
    EXPECT_EQ(contents.records[2].listLine(), QStringLiteral("en 167(0)"));

    EXPECT_TRUE(RegisterFile(context).isRegistered(0x0badcafe));
    EXPECT_TRUE(RegisterFile(context).isRegistered(0));
    EXPECT_FALSE(RegisterFile(context).isRegistered(0x0badcaff));
}

TEST_F(RegisterTest, RegistrationFromAJobThreadIsNotLostToARemovalOnThePage) {
    floppyInE(QStringLiteral("SOURCE"), 77);
    std::vector<RegisterRecord> start;
    for (int i = 0; i < 20; ++i)
        start.push_back(numbered(i));
    writeRegister({start.begin(), start.end()});

    std::thread job([this] {
        for (int i = 0; i < 30; ++i)
            addRegisterEntry(context, 'E', QStringLiteral("job %1").arg(i));
    });
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(RegisterFile(context).remove(0), QString());
    job.join();

    const RegisterFile::Contents contents = RegisterFile(context).readAll();
    ASSERT_EQ(contents.records.size(), 30u) << contents.error;
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(contents.records[i].note, QStringLiteral("job %1").arg(i));
}

class RegisterPageTest : public RegisterTest {
protected:
    QTemporaryDir runtime;
    SingleInstance instance{runtime.path()};
    std::unique_ptr<ProgramWindow> window;
    TForm1* form = nullptr;
    TForm2* dialog = nullptr;

    void makeWindow(const QStringList& arguments = {}) {
        window = std::make_unique<ProgramWindow>(context, instance, arguments);
        ASSERT_EQ(window->create(), QString());
        form = &window->form();
        dialog = window->form2();
    }
    void openPage() { form->SpeedButton9Click(form->SpeedButton5); }
    QStringList listed() const {
        QStringList lines;
        for (int row = 0; row < form->CheckListBox1->count(); ++row)
            lines << form->CheckListBox1->item(row)->text();
        return lines;
    }
    void select(int row) {
        form->CheckListBox1->setCurrentRow(row);
        form->run(form->checkListBoxClickAction);
    }
};

TEST_F(RegisterPageTest, EmptyRegisterShowsHeadingsOnly) {
    makeWindow();
    form->Edit1->setText(QStringLiteral("typed before"));
    openPage();
    EXPECT_EQ(form->CheckListBox1->count(), 0);
    EXPECT_EQ(form->checkListBoxClickAction, PageAction::None);
    EXPECT_EQ(form->Label4->text(), QStringLiteral("en 86"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("en 87"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("en 88"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("typed before"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RegisterPageTest, SelectingAndSavingANoteChangesOnlyThatEntry) {
    writeRegister({numbered(0), numbered(1), {QStringLiteral("5"), QString(), QString()}});
    makeWindow();
    openPage();
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("VOL0(1000)"), QStringLiteral("VOL1(1001)"),
                                     QStringLiteral("(5)")}));
    EXPECT_EQ(form->CheckListBox1->currentRow(), 0);
    EXPECT_EQ(form->Label4->text(), QStringLiteral("en 86VOL0"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("en 871000"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("note 0"));

    select(1);
    EXPECT_EQ(form->Label4->text(), QStringLiteral("en 86VOL1"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("note 1"));
    const QByteArray before = registerBytes();
    QString longNote;
    for (int i = 0; i < 30; ++i)
        longNote += QStringLiteral("%1 bad ... ").arg(i % 10);
    ASSERT_EQ(longNote.size(), 300);
    form->Edit1->setText(longNote);
    form->SpeedButton24->click();

    const QByteArray after = registerBytes();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.left(768), before.left(768));
    EXPECT_EQ(after.mid(768, 512), before.mid(768, 512)) << "serial and label as stored";
    EXPECT_EQ(after.mid(2 * 768), before.mid(2 * 768));
    EXPECT_EQ(RegisterFile(context).readAll().records[1].note, longNote.left(255));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RegisterPageTest, RemovalKeepsEveryOtherEntryInOrder) {
    std::vector<RegisterRecord> records;
    for (int i = 0; i < 60; ++i)
        records.push_back(numbered(i));
    writeRegister({records.begin(), records.end()});
    makeWindow();
    openPage();
    select(41);
    form->SpeedButton25->click();

    records.erase(records.begin() + 41);
    QByteArray expected;
    QStringList lines;
    for (const RegisterRecord& record : records) {
        expected += record.toBytes();
        lines << record.listLine();
    }
    EXPECT_EQ(registerBytes(), expected);
    EXPECT_EQ(listed(), lines) << "the page is shown anew";
    EXPECT_EQ(form->CheckListBox1->currentRow(), 0);

    for (int left = 59; left > 0; --left)
        form->SpeedButton25->click();
    EXPECT_EQ(registerBytes(), QByteArray());
    EXPECT_EQ(form->CheckListBox1->count(), 0);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(RegisterPageTest, DamagedRegisterIsReportedListedAndNeverChanged) {
    floppyInE(QStringLiteral("DISK1"), 1234);
    const QByteArray damaged = numbered(0).toBytes() + QByteArray(1000 - 768, 'x');
    dir.write(QStringLiteral("drives.fgv"), damaged);
    makeWindow();
    openPage();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.contains(registerPath)) << prompts.shown[0].text;
    EXPECT_TRUE(prompts.shown[0].text.contains(QStringLiteral("1000 bytes")));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("VOL0(1000)")});
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("note 0"));

    form->Edit1->setText(QStringLiteral("changed"));
    form->SpeedButton24->click();
    form->SpeedButton25->click();
    EXPECT_FALSE(addRegisterEntry(context, 'E', QStringLiteral("en 224")).isEmpty());
    EXPECT_EQ(registerBytes(), damaged);
    ASSERT_EQ(prompts.shown.size(), 3u) << "the save and the removal are refused aloud";
    EXPECT_TRUE(prompts.shown[2].text.contains(registerPath));
}

TEST_F(RegisterPageTest, ExploreOpensThePageAndTheMediumTest) {
    writeRegister({numbered(0)});
    makeWindow({QStringLiteral("explore")});
    form->move(120, 80);
    form->Timer3Timer();
    EXPECT_EQ(form->Label1->text(), pageTitleOf(form->SpeedButton5->text()));
    EXPECT_EQ(listed(), QStringList{QStringLiteral("VOL0(1000)")});
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->pos(), QPoint(120 + 250 - 100, 80 + 100));
    dialog->close();

    // Only the exact word counts.
    makeWindow({QStringLiteral("Explore")});
    form->Timer3Timer();
    EXPECT_FALSE(dialog->isVisible());

    // The old 9x family cannot test a medium.
    platform.family = QStringLiteral("9x");
    openPage();
    form->SpeedButton26->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Information);
    EXPECT_EQ(prompts.shown[0].text, QStringLiteral("en 180"));
    EXPECT_FALSE(dialog->isVisible());
}

} // namespace
} // namespace fr
