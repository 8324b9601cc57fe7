#pragma once

#include "disk/Formatter.h"

#include <QDialog>
#include <atomic>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace fr {

struct ProgramContext;
struct Skin;

// Our format dialog: shows the drive, its device and current label, lets the user choose the
// file system, the new label and a quick or full format, asks once more naming the drive, and
// then formats it, showing the progress and the outcome.
class FormatDialog : public QDialog {
    Q_OBJECT
public:
    // Bit 0 of the options preselects the full format (every sector is read first).
    static constexpr unsigned kFullFormat = 1;

    FormatDialog(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);
    ~FormatDialog() override;

    // Opens the dialog for the drive with this 0-based index (A: is 0) over the main window.
    // Returns at once; the dialog keeps the rest of the program waiting until it is closed.
    // A drive without a device or image is reported and the dialog stays closed.
    void openFor(QWidget* mainWindow, int driveIndex, unsigned options);

    // The format button: asks, then formats in the background.
    void formatDrive();
    bool isFormatting() const { return worker_ != nullptr; }
    // Waits for a format under way to end and its outcome to be shown (tests).
    void waitForFormat();
    // A format under way is never left running behind a closed dialog.
    void reject() override;

    QLabel* driveLine = nullptr;
    QLabel* deviceCaption = nullptr;
    QLabel* deviceValue = nullptr;
    QLabel* labelCaption = nullptr;
    QLabel* labelValue = nullptr;
    QLabel* fileSystemCaption = nullptr;
    QComboBox* fileSystemBox = nullptr;
    QLabel* newLabelCaption = nullptr;
    QLineEdit* newLabelEdit = nullptr;
    QRadioButton* quickButton = nullptr;
    QRadioButton* fullButton = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* status = nullptr;
    QPushButton* formatButton = nullptr;
    QPushButton* closeButton = nullptr;

signals:
    // The outcome has been shown.
    void formatEnded(const fr::FormatOutcome& outcome);

private:
    void retranslate();
    void setBusy(bool busy);
    void fileSystemChosen();
    void showOutcome(const FormatOutcome& outcome);

    ProgramContext& context_;
    QChar letter_;
    QString device_;
    QThread* worker_ = nullptr;
    std::atomic<bool> stop_{false};
};

} // namespace fr
