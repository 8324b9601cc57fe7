#include "window/FormatPage.h"

#include "widgets/DriveComboBox.h"
#include "window/FormatDialog.h"
#include "window/PageAction.h"
#include "window/TForm1.h"

namespace fr {

FormatPage::FormatPage(TForm1& form) : Page(form, form.SpeedButton6), form_(form) {
    form_.setHandler(PageAction::Format, [this] { Formating(); });
}

void FormatPage::Formating() {
    const QChar letter = form_.DriveComboBox1->drive();
    if (letter.isNull() || !openDialog_)
        return;
    openDialog_(letter.unicode() - 'A', FormatDialog::kFullFormat);
}

} // namespace fr
