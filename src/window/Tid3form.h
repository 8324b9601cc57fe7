#pragma once

#include "core/Id3Records.h"

#include <QDialog>

class QComboBox;
class QLabel;

namespace fr {

class FlatButton;
class LabeledEdit;
class SpinEdit;
struct ProgramContext;
struct Skin;

// The dialog that edits the ID3 tag of one track: the entry of the program's tags for the
// context's currentId3Track. Made once, in the skin of its time, and shown again for each
// track.
class Tid3form : public QDialog {
    Q_OBJECT
public:
    Tid3form(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);

    // The comment a tag gets when the user wrote none.
    static QString defaultComment();

    // Loads the current track's tag into the fields and shows the dialog modally at
    // `topLeft` (screen coordinates); it returns at once, the answer comes through the buttons.
    void showAt(QPoint topLeft);
    void FormShow();
    void SpeedButton1Click(); // confirm: store the fields as the track's tag
    void SpeedButton2Click(); // cancel

    LabeledEdit* LabeledEdit1 = nullptr; // artist
    LabeledEdit* LabeledEdit2 = nullptr; // title
    LabeledEdit* LabeledEdit3 = nullptr; // album
    LabeledEdit* LabeledEdit4 = nullptr; // comment
    SpinEdit* SpinEdit1 = nullptr;       // year
    QComboBox* ComboBox1 = nullptr;      // genre
    FlatButton* SpeedButton1 = nullptr;
    FlatButton* SpeedButton2 = nullptr;
    // A note under the fields while a text is longer than its version 1.1 field or holds a
    // letter that field cannot: the version 2 tag keeps it whole, the 1.1 area cuts it.
    QLabel* CutNote = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setYearText(const QString& year);
    // The fields as the track's tag would store them.
    Id3Record fieldsRecord() const;
    // Shows or hides the note, the dialog taller by its lines while it shows.
    void updateCutNote();

    ProgramContext& context_;
    const Skin& skin_;
};

} // namespace fr
