#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QTimer;

namespace fr {

class ClickableLabel;
class JobControl;
class SingleInstance;
struct ProgramContext;

// The main window: one fixed, frameless 500 x 330 window whose pages are arrangements of
// one shared set of controls.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Fragmentrove 3.1";

    // arguments are the command-line arguments after the program name.
    TForm1(ProgramContext& context, SingleInstance& instance, QStringList arguments,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The window's set-up at start-up: starts listening for a second copy's hand-off, seeds
    // the random numbers, applies the settings and sets every caption. Returns the reason
    // when a file of the program cannot be used, empty on success.
    QString FormCreate();
    // The re-apply after the settings are saved: the language and the captions follow at
    // once. A language file that cannot be read is reported and the captions are left.
    void reapplySettings();

    // The exit procedure of the close picture.
    void SpeedButton10Click();
    // The start-up timer: acts once on the command line.
    void Timer3Timer();
    // A second copy was started: come back from the task bar and to the front.
    void restoreFromHandOff();

    // The job controls, once a page that runs jobs provides them.
    void setJobControl(JobControl* jobControl) { jobControl_ = jobControl; }

    QLabel* Label1 = nullptr; // page title
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    ClickableLabel* Image1 = nullptr; // minimise
    ClickableLabel* Image2 = nullptr; // close
    ClickableLabel* Image5 = nullptr; // help
    QTimer* Timer3 = nullptr;

signals:
    // The command line asked to open the damaged-media page and test the medium.
    void exploreRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void applyCaptions();
    // The orderly close: a second copy is no longer handed to this window.
    void FormDestroy();

    ProgramContext& context_;
    SingleInstance& instance_;
    QStringList arguments_;
    JobControl* jobControl_ = nullptr;
    bool centred_ = false;
};

} // namespace fr
