#include "window/RegisterPage.h"

#include "core/ProgramContext.h"
#include "platform/Prompts.h"
#include "rescue/RegisterRecord.h"
#include "widgets/CheckListBox.h"
#include "widgets/FlatButton.h"
#include "window/TForm1.h"
#include "window/TForm2.h"

#include <QLabel>
#include <QLineEdit>

namespace fr {

RegisterPage::RegisterPage(TForm1& form, ProgramContext& context)
    : Page(form, form.SpeedButton5), form_(form), context_(context) {
    form_.setHandler(PageAction::RegisterSelect, [this] { posk(); });
    form_.setHandler(PageAction::CheckMedium, [this] { checkni(); });
    connect(form_.SpeedButton24, &FlatButton::clicked, this, &RegisterPage::SpeedButton24Click);
    connect(form_.SpeedButton25, &FlatButton::clicked, this, &RegisterPage::SpeedButton25Click);
    // Started with "explore": straight to this page and the medium test.
    connect(&form_, &TForm1::exploreRequested, this, [this] {
        form_.SpeedButton9Click(form_.SpeedButton5);
        checkni();
    });
}

void RegisterPage::setTestDialog(TForm2* dialog) {
    testDialog_ = dialog;
    if (testDialog_)
        testDialog_->setShowRegister([this] { form_.SpeedButton9Click(form_.SpeedButton5); });
}

void RegisterPage::open() {
    const RegisterFile::Contents contents = RegisterFile(context_).readAll();
    // A damaged register is reported, and its whole entries are still listed.
    if (!contents.error.isEmpty())
        context_.prompts.error(contents.error);
    for (const RegisterRecord& record : contents.records)
        form_.CheckListBox1->addItem(record.listLine());
    if (form_.CheckListBox1->count() == 0) {
        // Nothing to select: the headings stay without values and the note keeps its text.
        form_.checkListBoxClickAction = PageAction::None;
        return;
    }
    form_.CheckListBox1->setCurrentRow(0);
    form_.checkListBoxClickAction = PageAction::RegisterSelect;
    posk();
}

void RegisterPage::posk() {
    const int row = form_.CheckListBox1->currentRow();
    const RegisterFile::Contents contents = RegisterFile(context_).readAll();
    if (row < 0 || static_cast<std::size_t>(row) >= contents.records.size())
        return;
    const RegisterRecord& record = contents.records[static_cast<std::size_t>(row)];
    form_.Label4->setText(context_.text(86) + record.volumeLabel);
    form_.Label5->setText(context_.text(87) + record.serialText);
    form_.Edit1->setText(record.note);
}

void RegisterPage::SpeedButton24Click() {
    const int row = form_.CheckListBox1->currentRow();
    if (row < 0)
        return;
    if (const QString error = RegisterFile(context_).rewriteNote(row, form_.Edit1->text());
        !error.isEmpty())
        context_.prompts.error(error);
}

void RegisterPage::SpeedButton25Click() {
    const int row = form_.CheckListBox1->currentRow();
    if (row < 0)
        return;
    if (const QString error = RegisterFile(context_).remove(row); !error.isEmpty()) {
        context_.prompts.error(error);
        return;
    }
    form_.SpeedButton9Click(form_.SpeedButton5);
}

void RegisterPage::checkni() {
    // The old 9x family cannot reach a medium's sectors.
    if (context_.disk.GetPlatformFamily() == QLatin1String("9x")) {
        context_.prompts.information(context_.text(180));
        return;
    }
    if (testDialog_)
        testDialog_->openForTest(&form_);
}

} // namespace fr
