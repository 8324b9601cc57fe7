// The page dispatcher: one handler for the ten commands. It hides every page control, puts
// the shared controls back at their home positions, and then shows, places and captions the
// controls of the chosen page and attaches that page's actions.

#include "core/ProgramContext.h"
#include "disk/DriveLabels.h"
#include "platform/DriveMap.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "widgets/SpinEdit.h"
#include "window/Prisposob.h"
#include "window/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableWidget>

namespace fr {

namespace {

void place(QWidget* control, int left, int top) {
    control->move(left, top);
    control->show();
}

void placeTop(QWidget* control, int top) {
    place(control, control->x(), top);
}

void setLeftAligned(QLabel* label, int left, int top) {
    label->move(left, top);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->show();
}

// Gives the keyboard to the page's first field, top to bottom and then left to right. Left
// alone, the focus would move on from the hidden control of the page before to whatever
// follows it, which can be an option such as power-off that a stray Space would tick.
void focusFirstField(QWidget* window, std::initializer_list<QWidget*> fields) {
    QWidget* first = nullptr;
    for (QWidget* field : fields) {
        if (!field->isVisibleTo(window) || !field->isEnabled())
            continue;
        if (!first || field->y() < first->y() ||
            (field->y() == first->y() && field->x() < first->x()))
            first = field;
    }
    if (first)
        first->setFocus(Qt::OtherFocusReason);
}

} // namespace

FlatButton* TForm1::commandButton(int number) const {
    switch (number) {
    case 1:
        return SpeedButton1;
    case 2:
        return SpeedButton2;
    case 3:
        return SpeedButton3;
    case 4:
        return SpeedButton4;
    case 5:
        return SpeedButton5;
    case 6:
        return SpeedButton6;
    case 7:
        return SpeedButton7;
    case 8:
        return SpeedButton8;
    case 9:
        return SpeedButton9;
    case 10:
        return SpeedButton10;
    default:
        return nullptr;
    }
}

void TForm1::znemozni() {
    for (int number = 1; number <= 10; ++number)
        commandButton(number)->setEnabled(false);
}

void TForm1::umozni() {
    for (int number = 1; number <= 10; ++number)
        commandButton(number)->setEnabled(true);
}

void TForm1::setHandler(PageAction action, std::function<void()> handler) {
    handlers_[action] = std::move(handler);
}

void TForm1::run(PageAction action) {
    const auto handler = handlers_.find(action);
    if (handler != handlers_.end() && handler->second)
        handler->second();
}

void TForm1::refreshDriveList() {
    DriveComboBox1->setDrives(drivesWithLabels(context_.programDir));
}

void TForm1::SpeedButton9Click(FlatButton* sender) {
    // The old 9x family cannot reach a disk's sectors: those two pages are refused there.
    if (context_.platform.osFamily() == QLatin1String("9x") &&
        (sender == SpeedButton8 || sender == SpeedButton7)) {
        context_.prompts.information(context_.text(180));
        return;
    }

    Label1->setText(pageTitleOf(sender->text()));
    prisposob(Label1, 37, 10, 12, Label1->text());
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    commonReset();

    if (sender == SpeedButton9)
        showSettingsPage();
    else if (sender == SpeedButton6)
        showFormatPage();
    else if (sender == SpeedButton1)
        showCopyFilesPage();
    else if (sender == SpeedButton2)
        showCopyMusicPage();
    else if (sender == SpeedButton8)
        showDiskImagePage();
    else if (sender == SpeedButton3)
        showWholeMediumPage();
    else if (sender == SpeedButton7)
        showSectorsPage();
    else if (sender == SpeedButton5)
        showDamagedMediaPage();
    else if (sender == SpeedButton10)
        showSecureDeletionPage();
    else if (sender == SpeedButton4)
        showJournalPage();
    // The page's own class fills in what it keeps: lists, entries, the tabs of the settings.
    emit pageOpened(sender);
    focusFirstField(this,
                    {Edit1, Edit2, LabeledEdit1, LabeledEdit2, ComboBox1, ComboBox2, ComboBox3,
                     DriveComboBox1, FilterComboBox1, CheckListBox1, StringGrid1, SpinEdit1});
}

void TForm1::commonReset() {
    ComboBox1->move(ComboBox1->x(), 120);
    Edit1->setGeometry(168, 120, 225, Edit1->height());
    Image3->move(400, 119);
    Label4->move(Label4->x(), 235);
    Label5->move(Label5->x(), 315);
    Label6->move(Label6->x(), 104);
    SpeedButton12->resize(115, SpeedButton12->height());
    DriveComboBox1->move(DriveComboBox1->x(), 120);
    CheckBox1->move(CheckBox1->x(), 208);
    CheckBox2->move(CheckBox2->x(), 224);
    CheckBox3->move(CheckBox3->x(), 240);
    CheckListBox1->setGeometry(CheckListBox1->x(), 168, CheckListBox1->width(), 129);
    Label2->resize(208, Label2->height());
    Label2->setWordWrap(true);
    Label3->resize(206, Label3->height());
    Label3->setWordWrap(true);

    Image3->setToolTip(QString());
    Image4->setToolTip(QString());
    SpeedButton15->setToolTip(QString());
    image3Action = PageAction::BrowseSource;

    for (QWidget* control : std::initializer_list<QWidget*>{
             Label2,        Label3,       Label4,         Label5,          Label6,        ComboBox1,
             ComboBox2,     ComboBox3,    DriveComboBox1, FilterComboBox1, SpeedButton12, Edit1,
             Edit2,         LabeledEdit1, LabeledEdit2,   Image3,          Image4,        CheckBox1,
             CheckBox2,     CheckBox3,    CheckBox4,      CheckBox5,       checkbox6,     Gauge1,
             CheckListBox1, StringGrid1,  SpinEdit1})
        control->hide();
    Edit1->setEnabled(true);
    for (FlatButton* pageButton :
         {SpeedButton13, SpeedButton14, SpeedButton15, SpeedButton16, SpeedButton17, SpeedButton20,
          SpeedButton21, SpeedButton22, SpeedButton23, SpeedButton24, SpeedButton25, SpeedButton26,
          SpeedButton27, SpeedButton28, SpeedButton29, SpeedButton30, SpeedButton31, SpeedButton32,
          SpeedButton33, SpeedButton34, SpeedButton35})
        pageButton->hide();

    checkBox1ClickAction = PageAction::None;
    checkBox2ClickAction = PageAction::None;
    checkListBoxMouseDownAction = PageAction::None;
    checkListBoxPopup = false;
    speedButton26Action = PageAction::Resume;
    DropFileTarget1->setEnabled(false);
}

void TForm1::showSettingsPage() {
    // The settings page lays out its own tabs when it opens.
    setLeftAligned(Label2, 170, Label2->y());
    setLeftAligned(Label3, 170, Label3->y());
    place(SpeedButton12, 360, 250);
    SpeedButton12->setText(context_.text(27));
    actionButtonAction = PageAction::SaveSettings;
    SpeedButton27->setText(context_.text(192));
    SpeedButton34->setText(context_.text(191));
    SpeedButton35->setText(context_.text(92));
    prisposob(SpeedButton27, 24, 7, 8, SpeedButton27->text());
    prisposob(SpeedButton35, 24, 7, 8, SpeedButton35->text());
    for (FlatButton* tab : {SpeedButton27, SpeedButton34, SpeedButton35})
        tab->show();
    comboBox1ChangeAction = PageAction::None;
}

void TForm1::showFormatPage() {
    refreshDriveList();
    placeTop(DriveComboBox1, 120);
    place(SpeedButton12, 320, 119);
    SpeedButton12->setText(context_.text(28));
    actionButtonAction = PageAction::Format;
}

void TForm1::showCopyFilesPage() {
    setLeftAligned(Label2, 170, 105);
    setLeftAligned(Label3, 170, 155);
    Label2->setText(context_.text(29));
    Label3->setText(context_.text(30));
    Label4->clear();
    placeTop(Label4, 300);
    Edit1->clear();
    Edit1->show();
    Edit2->clear();
    placeTop(Edit2, 170);
    Gauge1->setProgress(0);
    Gauge1->show();
    Image3->show();
    Image4->show();
    Image3->setToolTip(context_.text(215));
    Image4->setToolTip(context_.text(216));
    Label5->clear();
    Label5->show();
    CheckBox1->show();
    CheckBox2->show();
    CheckBox3->show();
    placeTop(checkbox6, 255);
    for (FlatButton* job : {SpeedButton13, SpeedButton14, SpeedButton15})
        job->show();
    SpeedButton15->setToolTip(context_.text(48));
    SaveDialog1.filter.clear();
    startButtonAction = PageAction::StartCopy;
    image4Action = PageAction::BrowseDestination;
    DropFileTarget1->setEnabled(true);
}

void TForm1::showCopyMusicPage() {
    // Filling the list is not a change of drive by the user.
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    const DriveMap drives = DriveMap::build(context_.programDir);
    for (const Drive& drive : drives.drives())
        if (drive.type == DriveType::CdRom)
            ComboBox1->addItem(QChar(drive.letter) + QStringLiteral(":\\"));
    // A computer without a CD drive shows an empty list; the page reports it when ripping.
    if (ComboBox1->count() > 0)
        ComboBox1->setCurrentIndex(0);
    else
        ComboBox1->setEditText(QString());
    placeTop(ComboBox1, 100);
    Edit1->setGeometry(Edit1->x(), 140, 150, Edit1->height());
    Edit1->show();
    place(Image3, 325, 139);
    Image3->setToolTip(context_.text(218));
    image3Action = PageAction::ChooseFolder;
    placeTop(Label5, 125);
    Label5->setText(context_.text(81));
    SpeedButton16->show();
    SpeedButton17->setEnabled(false);
    SpeedButton17->show();
    SpeedButton23->show();
    placeTop(Label4, 255);
    CheckListBox1->clear();
    CheckListBox1->show();
    comboBox1ChangeAction = PageAction::MusicDriveChange;
    checkListBoxMouseDownAction = PageAction::TrackListMouseDown;
    checkListBoxPopup = true;
}

void TForm1::showDiskImagePage() {
    refreshDriveList();
    Gauge1->show();
    placeTop(DriveComboBox1, 120);
    setLeftAligned(Label2, 170, 155);
    Label2->setText(context_.text(54));
    placeTop(Edit2, 170);
    for (FlatButton* job :
         {SpeedButton13, SpeedButton14, SpeedButton15, SpeedButton32, SpeedButton33})
        job->show();
    Label6->show();
    CheckBox2->show();
    placeTop(checkbox6, 239);
    Image4->show();
    Image4->setToolTip(context_.text(217));
    SaveDialog1.filter = context_.text(55) + context_.text(155);
    SpeedButton15->setToolTip(context_.text(48));
    startButtonAction = PageAction::StartImage;
    image4Action = PageAction::BrowseDestination;
    // The medium-to-image direction is chosen first.
    QFont bold = SpeedButton32->font();
    bold.setBold(true);
    SpeedButton32->setFont(bold);
    QFont regular = SpeedButton33->font();
    regular.setBold(false);
    SpeedButton33->setFont(regular);
    Label6->setText(context_.text(144));
}

void TForm1::showWholeMediumPage() {
    refreshDriveList();
    placeTop(DriveComboBox1, 105);
    setLeftAligned(Label2, 170, 160);
    Label2->setText(context_.text(49));
    placeTop(Edit2, 175);
    CheckBox1->show();
    CheckBox2->show();
    placeTop(checkbox6, 239);
    for (FlatButton* job : {SpeedButton13, SpeedButton14, SpeedButton15})
        job->show();
    Gauge1->show();
    Image4->show();
    FilterComboBox1->show();
    SpeedButton15->setToolTip(context_.text(173));
    Image4->setToolTip(context_.text(218));
    startButtonAction = PageAction::StartWholeMedium;
    image4Action = PageAction::ChooseFolder;
}

void TForm1::showSectorsPage() {
    refreshDriveList();
    placeTop(DriveComboBox1, 110);
    DriveComboBox1->setDrive('C');
    for (FlatButton* action : {SpeedButton28, SpeedButton29, SpeedButton30, SpeedButton31})
        action->show();
    StringGrid1->show();
    SpinEdit1->show();
    SpinEdit1->setValue(1);
}

void TForm1::showDamagedMediaPage() {
    CheckListBox1->clear();
    CheckListBox1->setGeometry(CheckListBox1->x(), CheckListBox1->y(), CheckListBox1->width(), 110);
    CheckListBox1->show();
    placeTop(Label4, 105);
    placeTop(Label5, 120);
    Edit1->setGeometry(225, 140, 232, Edit1->height());
    Edit1->show();
    placeTop(Label6, 143);
    Label4->setText(context_.text(86));
    Label5->setText(context_.text(87));
    Label6->setText(context_.text(88));
    for (FlatButton* action : {SpeedButton24, SpeedButton25, SpeedButton26})
        action->show();
    speedButton26Action = PageAction::CheckMedium;
    checkListBoxClickAction = PageAction::RegisterSelect;
}

void TForm1::showSecureDeletionPage() {
    placeTop(Label6, 150);
    Label6->setText(context_.text(153));
    // The file field sits beside the open chooser, wherever the page before left it.
    placeTop(Edit2, 170);
    SpeedButton12->setGeometry(168, 210, 140, SpeedButton12->height());
    SpeedButton12->show();
    SpeedButton12->setText(context_.text(151));
    actionButtonAction = PageAction::SecureDelete;
    place(Image3, Image4->x(), Image4->y());
    Image3->setToolTip(context_.text(219));
}

void TForm1::showJournalPage() {
    for (FlatButton* action : {SpeedButton20, SpeedButton21, SpeedButton22})
        action->show();
    CheckListBox1->setGeometry(CheckListBox1->x(), 185, CheckListBox1->width(), 90);
    CheckListBox1->clear();
    CheckListBox1->show();
    LabeledEdit1->setLabelText(context_.text(65));
    LabeledEdit2->setLabelText(context_.text(66));
    LabeledEdit1->show();
    LabeledEdit2->show();
    for (QLabel* line : {Label2, Label3}) {
        line->setWordWrap(false);
        line->resize(999, line->height());
    }
    setLeftAligned(Label2, 170, 145);
    setLeftAligned(Label3, 170, 160);
    checkListBoxClickAction = PageAction::JournalSelect;
    // The journal page fills the list; until it does, the journal counts as empty.
    Label2->setText(context_.text(67));
    Label3->setText(context_.text(68));
    for (FlatButton* action : {SpeedButton20, SpeedButton21, SpeedButton22})
        action->setEnabled(false);
}

} // namespace fr
