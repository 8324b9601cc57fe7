#include "window/FormatPage.h"

#include "core/ProgramContext.h"
#include "disk/Formatter.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "window/FormatDialog.h"
#include "window/PageAction.h"
#include "window/TForm1.h"

#include <QLabel>

namespace fr {

namespace {

// Where the page says why a drive cannot be formatted: under the drive list, left aligned.
constexpr QRect kReasonArea{170, 150, 290, 90};

} // namespace

FormatPage::FormatPage(TForm1& form) : Page(form, form.SpeedButton6), form_(form) {
    form_.setHandler(PageAction::Format, [this] { Formating(); });
    connect(form_.DriveComboBox1, &DriveComboBox::driveChanged, this, [this] {
        if (shown_)
            showChosenDrive();
    });
}

QString FormatPage::refusal() const {
    ProgramContext& context = form_.context();
    const DriveMap drives = DriveMap::build(context.programDir);
    const Drive* drive = drives.drive(form_.DriveComboBox1->drive());
    if (QString why; drive && !drive->device.isEmpty() &&
                     Formatter::holdsSystem(drive->device, context.programDir, &why))
        return context.text(264) + '\r' + why;
    return {};
}

void FormatPage::showChosenDrive() {
    const QString why = refusal();
    form_.SpeedButton12->setEnabled(why.isEmpty());
    QLabel* reason = form_.Label3;
    reason->setText(QString(why).replace('\r', '\n'));
    reason->setVisible(!why.isEmpty());
}

void FormatPage::opened() {
    shown_ = true;
    QLabel* reason = form_.Label3;
    reason->setGeometry(kReasonArea);
    reason->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    showChosenDrive();
}

void FormatPage::left() {
    if (!shown_)
        return;
    shown_ = false;
    // The action button serves the other pages; they lay out the label themselves.
    form_.SpeedButton12->setEnabled(true);
}

void FormatPage::Formating() {
    const QChar letter = form_.DriveComboBox1->drive();
    if (letter.isNull() || !openDialog_)
        return;
    // Refused before any question: formatting it would take the system or this program away.
    if (const QString why = refusal(); !why.isEmpty()) {
        form_.context().prompts.error(why);
        showChosenDrive();
        return;
    }
    openDialog_(letter.unicode() - 'A', FormatDialog::kFullFormat);
}

} // namespace fr
