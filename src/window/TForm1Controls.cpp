// The main window's controls at their home positions.

#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DirectoryTree.h"
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
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

namespace fr {

namespace {

template <typename Control>
Control* make(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left, top, width, height);
    return control;
}

FlatButton* button(QWidget* parent, const char* name, int left, int top, int width,
                   int height = 20) {
    return make<FlatButton>(parent, name, left, top, width, height);
}

QLabel* label(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = make<QLabel>(parent, name, left, top, width, height);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return control;
}

} // namespace

void TForm1::createControls() {
    // The ten commands down the left edge, with their captions of the window layout.
    const struct {
        FlatButton** control;
        const char* name;
        int top;
        const char* caption;
    } commands[] = {
        {&SpeedButton1, "SpeedButton1", 56, "kopíruj súbory"},
        {&SpeedButton2, "SpeedButton2", 80, "kopíruj muziku"},
        {&SpeedButton3, "SpeedButton3", 104, "kopíruj celé médium"},
        {&SpeedButton4, "SpeedButton4", 128, "dokonči kopírovanie"},
        {&SpeedButton8, "SpeedButton8", 152, "kopíruj image disku"},
        {&SpeedButton5, "SpeedButton5", 176, "poškodené disky"},
        {&SpeedButton6, "SpeedButton6", 200, "formátuj disk"},
        {&SpeedButton7, "SpeedButton7", 224, "zobraz sektory disku"},
        {&SpeedButton9, "SpeedButton9", 248, "nastavenia programu"},
        {&SpeedButton10, "SpeedButton10", 296, "ukončenie programu"},
    };
    for (const auto& command : commands) {
        *command.control = button(this, command.name, 2, command.top, 125, 22);
        (*command.control)->setText(QString::fromUtf8(command.caption));
        (*command.control)->setUnderline(true);
    }
    SpeedButton11 = button(this, "SpeedButton11", 2, 272, 125, 22);

    Label1 = label(this, "Label1", 155, 70, 313, 22);
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setBold(true);
    titleFont.setPixelSize(pixelsOfPoints(12));
    Label1->setFont(titleFont);
    // The welcome texts, centred and wrapped; the pages realign them.
    Label2 = label(this, "Label2", 210, 112, 208, 88);
    Label3 = label(this, "Label3", 210, 200, 206, 90);
    for (QLabel* welcome : {Label2, Label3}) {
        welcome->setWordWrap(true);
        welcome->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    Label4 = label(this, "Label4", 170, 235, 300, 15);
    Label5 = label(this, "Label5", 170, 315, 300, 15);
    Label6 = label(this, "Label6", 170, 104, 300, 15);

    SpeedButton12 = button(this, "SpeedButton12", 360, 288, 115);
    SpeedButton13 = button(this, "SpeedButton13", 336, 200, 89);
    SpeedButton14 = button(this, "SpeedButton14", 336, 220, 89);
    SpeedButton15 = button(this, "SpeedButton15", 336, 240, 89);
    SpeedButton16 = button(this, "SpeedButton16", 337, 95, 130);
    SpeedButton17 = button(this, "SpeedButton17", 337, 115, 130);
    SpeedButton23 = button(this, "SpeedButton23", 345, 135, 122);
    SpeedButton20 = button(this, "SpeedButton20", 168, 280, 95);
    SpeedButton21 = button(this, "SpeedButton21", 264, 280, 95);
    SpeedButton22 = button(this, "SpeedButton22", 360, 280, 95);
    SpeedButton24 = button(this, "SpeedButton24", 360, 280, 95);
    SpeedButton25 = button(this, "SpeedButton25", 264, 280, 95);
    SpeedButton26 = button(this, "SpeedButton26", 168, 280, 95);
    SpeedButton27 = button(this, "SpeedButton27", 340, 80, 130);
    SpeedButton34 = button(this, "SpeedButton34", 340, 100, 130);
    SpeedButton35 = button(this, "SpeedButton35", 340, 120, 130);
    // The sector viewer's four actions in a row under its grid, across the page's whole width
    // so that their captions fit in every language.
    SpeedButton28 = button(this, "SpeedButton28", 168, 290, 76);
    SpeedButton29 = button(this, "SpeedButton29", 246, 290, 78);
    SpeedButton30 = button(this, "SpeedButton30", 326, 290, 84);
    SpeedButton31 = button(this, "SpeedButton31", 412, 290, 84);
    SpeedButton32 = button(this, "SpeedButton32", 320, 110, 130);
    SpeedButton33 = button(this, "SpeedButton33", 320, 135, 130);
    for (FlatButton* action :
         {SpeedButton12, SpeedButton13, SpeedButton14, SpeedButton15, SpeedButton16, SpeedButton17,
          SpeedButton20, SpeedButton21, SpeedButton22, SpeedButton23, SpeedButton24, SpeedButton25,
          SpeedButton26, SpeedButton27, SpeedButton28, SpeedButton29, SpeedButton30, SpeedButton31,
          SpeedButton32, SpeedButton33, SpeedButton34, SpeedButton35})
        action->setPanel(true);

    Image1 = make<ClickableLabel>(this, "Image1", 460, 5, 16, 14);
    Image2 = make<ClickableLabel>(this, "Image2", 476, 5, 16, 14);
    Image5 = make<ClickableLabel>(this, "Image5", 444, 5, 16, 14);
    Image3 = make<ClickableLabel>(this, "Image3", 400, 119, 33, 33);
    Image4 = make<ClickableLabel>(this, "Image4", 400, 169, 33, 33);
    for (ClickableLabel* picture : {Image1, Image2, Image3, Image4, Image5})
        picture->setCursor(Qt::PointingHandCursor);

    Edit1 = make<QLineEdit>(this, "Edit1", 168, 120, 225, 21);
    Edit2 = make<QLineEdit>(this, "Edit2", 168, 170, 225, 21);
    LabeledEdit1 = make<LabeledEdit>(this, "LabeledEdit1", 230, 100, 227, 19);
    LabeledEdit2 = make<LabeledEdit>(this, "LabeledEdit2", 230, 120, 227, 19);
    for (LabeledEdit* edit : {LabeledEdit1, LabeledEdit2})
        edit->setLabelPosition(LabeledEdit::LabelPosition::Left);

    ComboBox1 = make<QComboBox>(this, "ComboBox1", 168, 120, 145, 21);
    ComboBox2 = make<QComboBox>(this, "ComboBox2", 168, 185, 145, 21);
    ComboBox3 = make<QComboBox>(this, "ComboBox3", 168, 250, 145, 21);
    for (QComboBox* box : {ComboBox1, ComboBox2, ComboBox3})
        box->setEditable(true);
    DriveComboBox1 = make<DriveComboBox>(this, "DriveComboBox1", 168, 120, 145, 21);
    FilterComboBox1 = make<QComboBox>(this, "FilterComboBox1", 168, 135, 145, 21);
    CheckListBox1 = make<CheckListBox>(this, "CheckListBox1", 168, 168, 289, 129);

    StringGrid1 = make<QTableWidget>(this, "StringGrid1", 168, 135, 274, 148);
    StringGrid1->setColumnCount(17);
    StringGrid1->setRowCount(33);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->horizontalHeader()->setDefaultSectionSize(15);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SpinEdit1 = make<SpinEdit>(this, "SpinEdit1", 320, 110, 90, 21);
    // Any sector of any disk: beyond 2^32 sectors lie the far parts of every disk over 2 TiB.
    SpinEdit1->setNoLimits();

    Gauge1 = make<PieGauge>(this, "Gauge1", 168, 280, 265, 20);
    CheckBox1 = make<PictureCheckBox>(this, "CheckBox1", 165, 208, 175, 16);
    CheckBox2 = make<PictureCheckBox>(this, "CheckBox2", 165, 224, 175, 16);
    CheckBox3 = make<PictureCheckBox>(this, "CheckBox3", 165, 240, 175, 16);
    checkbox6 = make<PictureCheckBox>(this, "checkbox6", 165, 255, 170, 16);
    CheckBox4 = make<PictureCheckBox>(this, "CheckBox4", 168, 210, 160, 16);
    CheckBox5 = make<PictureCheckBox>(this, "CheckBox5", 168, 230, 160, 16);

    DirectoryOutline1 = new DirectoryTree(this);
    DirectoryOutline1->setObjectName(QStringLiteral("DirectoryOutline1"));
    DropFileTarget1 = new FileDropTarget(this);
    DropFileTarget1->setObjectName(QStringLiteral("DropFileTarget1"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    i1 = PopupMenu1->addAction(QString());
    i1->setObjectName(QStringLiteral("i1"));
    i2 = PopupMenu1->addAction(QString());
    i2->setObjectName(QStringLiteral("i2"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(250);

    // Until the first command the window shows its welcome page only.
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        control->hide();
    for (int number = 1; number <= 10; ++number)
        commandButton(number)->show();
    for (QWidget* control : std::initializer_list<QWidget*>{SpeedButton11, Label1, Label2, Label3,
                                                            Image1, Image2, Image5})
        control->show();
}

} // namespace fr
