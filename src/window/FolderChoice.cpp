#include "window/FolderChoice.h"

#include "widgets/FlatButton.h"
#include "window/TForm1.h"
#include "window/TForm2.h"

#include <QLineEdit>

namespace fr {

FolderChoice::FolderChoice(TForm1& form, TForm2& dialog) : form_(form), dialog_(dialog) {
    form_.setHandler(PageAction::ChooseFolder, [this] { adresar2(); });
}

void FolderChoice::adresar2() {
    dialog_.openForFolder(&form_, [this](const QString& folder) { folderChosen(folder); });
}

void FolderChoice::folderChosen(const QString& folder) {
    // The copy-music page is the one that shows its rip button.
    if (form_.SpeedButton23->isVisibleTo(&form_)) {
        form_.Edit1->setText(folder);
        return;
    }
    // A drive's root already ends in "\"; a second one would make a path no file has.
    form_.Edit2->setText(folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('\\'));
}

} // namespace fr
