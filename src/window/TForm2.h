#pragma once

#include <QDialog>

class QLabel;

namespace fr {

class DriveComboBox;
class FlatButton;
class PieGauge;
struct ProgramContext;
struct Skin;

// The small dialog that chooses a folder and tests a medium sector by sector.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);

    // Opens the dialog to test a medium: horizontally centred on the main window, 100 pixels
    // below its top, modal. It returns at once; the dialog keeps the rest of the program
    // waiting until it is closed.
    void openForTest(QWidget* mainWindow);

    DriveComboBox* DriveComboBox1 = nullptr;
    PieGauge* ProgressBar1 = nullptr;
    QLabel* Label1 = nullptr;
    FlatButton* SpeedButton1 = nullptr; // confirm the folder, or start and stop the test
    FlatButton* SpeedButton2 = nullptr; // close

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProgramContext& context_;
    const Skin& skin_;
};

} // namespace fr
