#pragma once

#include "window/ProgressSpeed.h"
#include "window/WorkerReports.h"

#include <QDateTime>
#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>

class QLabel;

namespace fr {

class DirectoryListBox;
class DriveComboBox;
class FlatButton;
class PieGauge;
class Testovanie;
struct ProgramContext;
struct Skin;
struct TestOutcome;

// The small dialog that chooses a folder and tests a medium group by group. Whoever opens it
// chooses the mode; it is modal in both.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);
    ~TForm2() override;

    // Opens the dialog to choose a folder: 10 pixels in from the main window's right edge and
    // 10 below its top. The confirm button hands the folder, in drive form, to `chosen`, and
    // closes the dialog. It returns at once; the dialog keeps the rest of the program waiting
    // until it is closed.
    void openForFolder(QWidget* mainWindow, std::function<void(const QString&)> chosen);

    // Opens the dialog to test a medium: horizontally centred on the main window, 100 pixels
    // below its top. Returns at once, as above.
    void openForTest(QWidget* mainWindow);

    // After a damaged medium has been registered from the close button: the main window shows
    // the register.
    void setShowRegister(std::function<void()> showRegister) {
        showRegister_ = std::move(showRegister);
    }

    void SpeedButton1Click(); // confirm the folder
    void testuj();            // start or stop the medium test
    void SpeedButton2Click(); // close; after a damaged test, offer to register the medium

    // Whether a group could not be read since the dialog was last shown (also in a stopped
    // test).
    bool isDamaged() const { return damaged_; }
    bool isTesting() const;
    // The text drawn on the dialog under the status line: the test began, or a group failed.
    QString canvasText() const { return canvasText_; }
    // Waits for the test's worker to end (tests).
    void waitForTest();
    // Only the close button closes a dialog whose test runs, never Escape.
    void reject() override;

    DriveComboBox* DriveComboBox1 = nullptr;
    DirectoryListBox* DirectoryListBox1 = nullptr;
    PieGauge* ProgressBar1 = nullptr;
    QLabel* Label1 = nullptr;
    FlatButton* SpeedButton1 = nullptr; // confirm the folder, or start and stop the test
    FlatButton* SpeedButton2 = nullptr; // close

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class Mode { Folder, Test };

    void FormShow();
    void showDriveFolders();
    void setCanvasText(const QString& text);
    // The start button's caption; the running test stops when it shows the idle caption.
    void setStartCaption(const QString& caption);
    void becomeIdle();
    void startWorker();
    void retireWorker();
    void workerEnded(const TestOutcome& outcome);

    ProgramContext& context_;
    const Skin& skin_;
    Mode mode_ = Mode::Test;
    std::function<void(const QString&)> folderChosen_;
    std::function<void()> showRegister_;
    bool damaged_ = false;
    QString canvasText_;
    std::unique_ptr<Testovanie> worker_;
    std::unique_ptr<ProgressSpeed> progressSpeed_;
    QDateTime startedAt_;
    std::shared_ptr<std::atomic<bool>> stop_;
    // Reports of a retired worker that arrive late are not for the test now running.
    WorkerReports reports_{*this};
};

} // namespace fr
