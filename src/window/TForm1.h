#pragma once

#include "window/PageAction.h"
#include "window/Skin.h"

#include <QPixmap>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QTableWidget;
class QTimer;

namespace fr {

class CheckListBox;
class ClickableLabel;
class DirectoryTree;
class DriveComboBox;
class FileDropTarget;
class FlatButton;
class JobControl;
class LabeledEdit;
class PictureCheckBox;
class PieGauge;
class SingleInstance;
class SpinEdit;
struct ProgramContext;

// Title and filter of one of the window's file dialogs, set by the pages.
struct FileDialogSetup {
    QString title;
    QString filter;
};

// The main window: one fixed, frameless 500 x 330 window. It owns every control that the
// pages share, and its dispatcher lays out a page when a command is chosen; what a page does
// belongs to that page's own class, which registers its handlers here.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Fragmentrove 3.1";

    // arguments are the command-line arguments after the program name.
    TForm1(ProgramContext& context, SingleInstance& instance, QStringList arguments,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- set-up and settings
    // The window's set-up at start-up: listens for a second copy's hand-off, seeds the random
    // numbers, applies the settings and the skin and sets every caption. Returns the reason
    // when a file of the program cannot be used, empty on success.
    QString FormCreate();
    // The re-apply after the settings are saved: the language and the captions follow at
    // once. A language file that cannot be read is reported and the captions are left.
    void reapplySettings();
    const Skin& skin() const { return skin_; }
    // The program's context, for the pages that need it beside the window's controls.
    ProgramContext& context() const { return context_; }

    // ---- commands and pages
    // The page dispatcher: the sender is one of the ten command buttons.
    void SpeedButton9Click(FlatButton* sender);
    void znemozni();
    void umozni();
    FlatButton* commandButton(int number) const; // SpeedButton1 .. SpeedButton10
    // Lists the drives of this machine in DriveComboBox1, with their volume labels.
    void refreshDriveList();

    // Runs the action attached to a slot; a page's class registers the handler.
    void setHandler(PageAction action, std::function<void()> handler);
    void run(PageAction action);

    // The rebindable slots and what the current page attached to them.
    PageAction actionButtonAction = PageAction::None;
    PageAction startButtonAction = PageAction::None;
    PageAction image3Action = PageAction::None;
    PageAction image4Action = PageAction::None;
    PageAction speedButton26Action = PageAction::None;
    PageAction checkListBoxClickAction = PageAction::None;
    PageAction checkListBoxMouseDownAction = PageAction::None;
    bool checkListBoxPopup = false;
    PageAction comboBox1ChangeAction = PageAction::None;
    PageAction checkBox1ClickAction = PageAction::None;
    PageAction checkBox2ClickAction = PageAction::None;

    // ---- lifetime
    void SpeedButton10Click(); // the exit procedure of the close picture
    void Timer3Timer();        // the start-up timer: acts once on the command line
    void FormActivate();       // each time the window becomes active
    void restoreFromHandOff(); // a second copy was started: come forward
    void setJobControl(JobControl* jobControl) { jobControl_ = jobControl; }

    // ---- window chrome
    // The logo area: the part of the title area that links to the product's web site.
    static bool inLogoArea(QPoint point) {
        return point.x() >= 6 && point.x() <= 179 && point.y() >= 6 && point.y() <= 49;
    }
    bool hintsShown() const { return showHints_; }
    // Context help of the help picture: the topic of the page shown, found by comparing its
    // title with the welcome text and the command captions (the settings page by its open tab).
    void Image5Click();

    // ---- the controls, by their designer names
    FlatButton* SpeedButton1 = nullptr;
    FlatButton* SpeedButton2 = nullptr;
    FlatButton* SpeedButton3 = nullptr;
    FlatButton* SpeedButton4 = nullptr;
    FlatButton* SpeedButton5 = nullptr;
    FlatButton* SpeedButton6 = nullptr;
    FlatButton* SpeedButton7 = nullptr;
    FlatButton* SpeedButton8 = nullptr;
    FlatButton* SpeedButton9 = nullptr;
    FlatButton* SpeedButton10 = nullptr;
    FlatButton* SpeedButton11 = nullptr; // help
    FlatButton* SpeedButton12 = nullptr; // actionButton
    FlatButton* SpeedButton13 = nullptr; // startButton
    FlatButton* SpeedButton14 = nullptr; // pause
    FlatButton* SpeedButton15 = nullptr; // stop
    FlatButton* SpeedButton16 = nullptr;
    FlatButton* SpeedButton17 = nullptr;
    FlatButton* SpeedButton20 = nullptr;
    FlatButton* SpeedButton21 = nullptr;
    FlatButton* SpeedButton22 = nullptr;
    FlatButton* SpeedButton23 = nullptr;
    FlatButton* SpeedButton24 = nullptr;
    FlatButton* SpeedButton25 = nullptr;
    FlatButton* SpeedButton26 = nullptr;
    FlatButton* SpeedButton27 = nullptr;
    FlatButton* SpeedButton28 = nullptr;
    FlatButton* SpeedButton29 = nullptr;
    FlatButton* SpeedButton30 = nullptr;
    FlatButton* SpeedButton31 = nullptr;
    FlatButton* SpeedButton32 = nullptr;
    FlatButton* SpeedButton33 = nullptr;
    FlatButton* SpeedButton34 = nullptr;
    FlatButton* SpeedButton35 = nullptr;
    QLabel* Label1 = nullptr; // pageTitle
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    ClickableLabel* Image1 = nullptr; // minimise
    ClickableLabel* Image2 = nullptr; // close
    ClickableLabel* Image3 = nullptr; // open chooser
    ClickableLabel* Image4 = nullptr; // save chooser
    ClickableLabel* Image5 = nullptr; // help
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    LabeledEdit* LabeledEdit1 = nullptr;
    LabeledEdit* LabeledEdit2 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    DriveComboBox* DriveComboBox1 = nullptr;
    QComboBox* FilterComboBox1 = nullptr;
    CheckListBox* CheckListBox1 = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    SpinEdit* SpinEdit1 = nullptr;
    PieGauge* Gauge1 = nullptr;
    PictureCheckBox* CheckBox1 = nullptr;
    PictureCheckBox* CheckBox2 = nullptr;
    PictureCheckBox* CheckBox3 = nullptr;
    PictureCheckBox* CheckBox4 = nullptr;
    PictureCheckBox* CheckBox5 = nullptr;
    PictureCheckBox* checkbox6 = nullptr;
    FileDialogSetup OpenDialog1;
    FileDialogSetup SaveDialog1;
    DirectoryTree* DirectoryOutline1 = nullptr;
    FileDropTarget* DropFileTarget1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* i1 = nullptr;
    QAction* i2 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    // The program's two data files, bound when the window becomes active.
    QString journalFile;
    QString registerFile;

signals:
    // The command line asked to open the damaged-media page and test the medium.
    void exploreRequested();
    // The help file is to be shown, at this topic (empty: from its beginning).
    void helpRequested(const QString& file, const QString& topic);
    // A command's page has been laid out; its own class now fills in what it keeps.
    void pageOpened(fr::FlatButton* command);
    // The window has been shown for the first time: the update check starts from here.
    void firstShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectControls();
    QString applySkin();
    void applyCaptions();
    void FormDestroy();

    // Dispatcher parts.
    void commonReset();
    void showSettingsPage();
    void showFormatPage();
    void showCopyFilesPage();
    void showCopyMusicPage();
    void showDiskImagePage();
    void showWholeMediumPage();
    void showSectorsPage();
    void showDamagedMediaPage();
    void showSecureDeletionPage();
    void showJournalPage();

    // Chrome.
    void FormMouseDown(QWidget* control, QPoint point);
    void FormMouseMove(QWidget* control, QPoint point, Qt::MouseButtons buttons,
                       QPoint globalPoint);
    void FormClick();
    bool isDragEnabled(QObject* object) const;

    ProgramContext& context_;
    SingleInstance& instance_;
    QStringList arguments_;
    JobControl* jobControl_ = nullptr;
    Skin skin_;
    std::map<PageAction, std::function<void()>> handlers_;
    bool centred_ = false;
    bool showHints_ = false;
    QPoint pressPoint_;
    QPoint lastMousePoint_{-1, -1};
    bool movedSincePress_ = false;
};

} // namespace fr
