#pragma once

#include <QObject>

namespace fr {

class TForm1;
class TForm2;

// The folder choice the whole-medium and copy-music pages share: the dialog in its folder mode,
// and the chosen folder into the page's path field.
class FolderChoice : public QObject {
    Q_OBJECT
public:
    // Registers the choice with the window's folder-choice action.
    FolderChoice(TForm1& form, TForm2& dialog);

    void adresar2(); // choose a folder
    // The copy-music page takes the folder as it is into Edit1; the other pages take it into
    // Edit2 as a prefix for file names, ending in "\".
    void folderChosen(const QString& folder);

private:
    TForm1& form_;
    TForm2& dialog_;
};

} // namespace fr
