// Every button a page shows reaches its handler when it is pressed with the mouse: a button
// whose press changes nothing the user can see or keep is a dead feature. Each case opens its
// page through its command button, presses one button through the widget, and compares what
// the window shows, the message boxes and dialogs asked, and the program's files, before and
// after.

#include "core/CopyJob.h"
#include "rescue/RegisterRecord.h"
#include "support/MediaImages.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/SpinEdit.h"
#include "window/FormatDialog.h"
#include "window/TForm1.h"
#include "window/TForm2.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>

namespace fr {
namespace {

struct ButtonCase {
    const char* command; // the command button that opens the page
    const char* button;  // the button pressed
    // Brings the page into a state where the press has something to do.
    std::function<void(TForm1&)> prepare;
};

std::ostream& operator<<(std::ostream& out, const ButtonCase& c) {
    return out << c.command << " -> " << c.button;
}

void typeInto(QWidget* field, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->clear();
    QTest::keyClicks(field, text);
}

void press(TForm1& form, const char* name) {
    QWidget* control = form.findChild<QWidget*>(QLatin1String(name));
    ASSERT_NE(control, nullptr) << name;
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
}

// Save and write act only on a sector that was read: the floppy's first one.
void readFloppySector(TForm1& form) {
    form.DriveComboBox1->setDrive('E');
    press(form, "SpeedButton28");
}

const ButtonCase kCases[] = {
    // copy files: start with nothing named is refused aloud, stop without a job too
    {"SpeedButton1", "SpeedButton13", {}},
    {"SpeedButton1", "SpeedButton15", {}},
    {"SpeedButton1", "Image3", {}},
    {"SpeedButton1", "Image4", {}},
    // copy a whole medium: start with no medium named is refused aloud, the folder choice opens
    {"SpeedButton3", "SpeedButton13", {}},
    {"SpeedButton3", "SpeedButton15", {}},
    {"SpeedButton3", "Image4", {}},
    // finish copying: the entry's source is gone, so resume asks whether to forget it
    {"SpeedButton4", "SpeedButton20", {}},
    {"SpeedButton4", "SpeedButton21",
     [](TForm1& form) {
         typeInto(form.LabeledEdit1, QStringLiteral("D:\\moved.bin"));
     }},
    {"SpeedButton4", "SpeedButton22", {}},
    // damaged media
    {"SpeedButton5", "SpeedButton24",
     [](TForm1& form) {
         typeInto(form.Edit1, QStringLiteral("scratched"));
     }},
    {"SpeedButton5", "SpeedButton25", {}},
    {"SpeedButton5", "SpeedButton26", {}},
    // settings: each tab from another one, and the save
    {"SpeedButton9", "SpeedButton27",
     [](TForm1& form) {
         press(form, "SpeedButton34");
     }},
    {"SpeedButton9", "SpeedButton34", {}},
    {"SpeedButton9", "SpeedButton35", {}},
    {"SpeedButton9", "SpeedButton12", {}},
    // disk image: both directions, start with no image named, stop without a job, browse
    {"SpeedButton8", "SpeedButton33", {}},
    {"SpeedButton8", "SpeedButton32",
     [](TForm1& form) {
         press(form, "SpeedButton33");
     }},
    {"SpeedButton8", "SpeedButton13", {}},
    {"SpeedButton8", "SpeedButton15", {}},
    {"SpeedButton8", "Image4", {}},
    // copy music: start with no folder is refused aloud, the MP3 settings, the folder choice
    {"SpeedButton2", "SpeedButton16", {}},
    {"SpeedButton2", "SpeedButton23", {}},
    {"SpeedButton2", "Image3", {}},
    // format: the dialog opens for the floppy image (C: holds the running system: refused)
    {"SpeedButton6", "SpeedButton12",
     [](TForm1& form) {
         form.DriveComboBox1->setDrive('E');
     }},
    // sector viewer: reading the drive goes back to sector 1, save asks for a file, the drive
    // information, the question before writing
    {"SpeedButton7", "SpeedButton28",
     [](TForm1& form) {
         form.DriveComboBox1->setDrive('D');
         form.SpinEdit1->setValue(7);
     }},
    {"SpeedButton7", "SpeedButton29", readFloppySector},
    {"SpeedButton7", "SpeedButton30", {}},
    {"SpeedButton7", "SpeedButton31", readFloppySector},
    // secure deletion: delete with no file named is refused aloud, the file choice opens
    {"SpeedButton10", "SpeedButton12", {}},
    {"SpeedButton10", "Image3", {}},
};

// The buttons each page shows enabled when its list holds one entry.
const std::pair<const char*, QStringList> kPageButtons[] = {
    {"SpeedButton1", {"Image3", "Image4", "SpeedButton13", "SpeedButton15"}},
    {"SpeedButton3", {"Image4", "SpeedButton13", "SpeedButton15"}},
    {"SpeedButton4", {"SpeedButton20", "SpeedButton21", "SpeedButton22"}},
    {"SpeedButton5", {"SpeedButton24", "SpeedButton25", "SpeedButton26"}},
    {"SpeedButton9", {"SpeedButton12", "SpeedButton27", "SpeedButton34", "SpeedButton35"}},
    {"SpeedButton8",
     {"Image4", "SpeedButton13", "SpeedButton15", "SpeedButton32", "SpeedButton33"}},
    {"SpeedButton2", {"Image3", "SpeedButton16", "SpeedButton23"}},
    // C:, chosen when the page opens, holds the running system: it is never formatted.
    {"SpeedButton6", {}},
    // Save and write wait for a sector that was read.
    {"SpeedButton7", {"SpeedButton28", "SpeedButton30"}},
    {"SpeedButton10", {"Image3", "SpeedButton12"}},
};

class EveryButtonTest : public test::WindowFixture {
protected:
    void SetUp() override {
        CopyJob stopped;
        stopped.sourceName = QStringLiteral("D:\\gone.bin");
        stopped.destinationName = QStringLiteral("D:\\copy.bin");
        stopped.position = 4096;
        stopped.totalSize = 10000;
        dir.write(QStringLiteral("databaza.fgv"), stopped.toRecord());
        dir.write(
            QStringLiteral("drives.fgv"),
            RegisterRecord{QStringLiteral("1234"), QStringLiteral("DISK"), QStringLiteral("note")}
                .toBytes());
        const QString floppy = media.filePath(QStringLiteral("floppy.img"));
        test::MediaImages::floppy(floppy, QStringLiteral("RESCUE"), 0x1234abcd);
        drives.setDevice('E', floppy);
        createWindow();
    }

    void open(const char* command) { press(*form, command); }

    // What the user can see of the window and what the program has done or kept.
    QStringList state() const {
        QStringList seen;
        for (const QWidget* control : form->findChildren<QWidget*>()) {
            QString line = control->objectName() + ' ' + QString::number(control->isVisible()) +
                           QString::number(control->isEnabled()) + ' ' +
                           control->property("text").toString() + ' ' +
                           QString::number(control->font().bold());
            if (const auto* button = qobject_cast<const QAbstractButton*>(control))
                line += QString::number(button->isChecked());
            if (const auto* list = qobject_cast<const CheckListBox*>(control))
                line += QStringLiteral(" %1/%2").arg(list->currentRow()).arg(list->count());
            seen << line;
        }
        seen << QStringLiteral("prompts %1 dialogs %2 run %3 exits %4")
                    .arg(prompts.shown.size())
                    .arg(dialogs.shown.size())
                    .arg(platform.filesRun.size())
                    .arg(platform.exitCodes.size());
        seen << QStringLiteral("medium test %1").arg(window->form2()->isVisible());
        for (const char* file : {"databaza.fgv", "drives.fgv", "settings.ini"}) {
            QFile data(dir.file(QLatin1String(file)));
            seen << QLatin1String(file) + ' ' +
                        (data.open(QIODevice::ReadOnly)
                             ? QCryptographicHash::hash(data.readAll(), QCryptographicHash::Sha1)
                                   .toHex()
                             : QByteArray("missing"));
        }
        return seen;
    }
};

TEST_F(EveryButtonTest, EachPageShowsItsButtonsEnabled) {
    form->show();
    for (const auto& [command, expected] : kPageButtons) {
        open(command);
        QStringList shown;
        for (QWidget* control :
             form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            const bool pressable =
                qobject_cast<FlatButton*>(control) || qobject_cast<ClickableLabel*>(control);
            const QString name = control->objectName();
            const bool chrome =
                name == QLatin1String("Image1") || name == QLatin1String("Image2") ||
                name == QLatin1String("Image5") || name == QLatin1String("SpeedButton11");
            bool isCommand = false;
            for (int number = 1; number <= 10; ++number)
                isCommand |= control == form->commandButton(number);
            if (pressable && !chrome && !isCommand && control->isVisible() && control->isEnabled())
                shown << name;
        }
        shown.sort();
        EXPECT_EQ(shown, expected) << command;
    }
}

class EveryButtonPressTest : public EveryButtonTest,
                             public testing::WithParamInterface<ButtonCase> {};

TEST_P(EveryButtonPressTest, ThePressReachesItsHandler) {
    const ButtonCase& c = GetParam();
    form->show();
    open(c.command);
    if (c.prepare)
        c.prepare(*form);
    const QStringList before = state();
    press(*form, c.button);
    EXPECT_NE(state(), before) << "pressing " << c.button << " changed nothing";
    window->form2()->close();
    window->formatDialog()->close();
}

INSTANTIATE_TEST_SUITE_P(Pages, EveryButtonPressTest, testing::ValuesIn(kCases));

} // namespace
} // namespace fr
