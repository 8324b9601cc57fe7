#include "window/TForm1.h"

#include "core/ProgramContext.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "platform/SingleInstance.h"
#include "program/SettingsApplication.h"
#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DirectoryTree.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "widgets/SpinEdit.h"
#include "window/JobControl.h"
#include "window/Prisposob.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace fr {

TForm1::TForm1(ProgramContext& context, SingleInstance& instance, QStringList arguments,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), context_(context), instance_(instance),
      arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(kTitle));
    setFixedSize(500, 330);
    // Arial 8 points at the usual 96 dots per inch: the layout is measured in pixels.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelsOfPoints(8));
    setFont(font);
    setMouseTracking(true);
    createControls();
    connectControls();
    connect(&instance_, &SingleInstance::handOffReceived, this, &TForm1::restoreFromHandOff);
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::connectControls() {
    for (int number = 1; number <= 10; ++number) {
        FlatButton* command = commandButton(number);
        connect(command, &FlatButton::clicked, this,
                [this, command] { SpeedButton9Click(command); });
    }
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(Image1, &ClickableLabel::clicked, this, &QWidget::showMinimized);
    connect(Image2, &ClickableLabel::clicked, this, &TForm1::SpeedButton10Click);
    connect(Image5, &ClickableLabel::clicked, this, &TForm1::Image5Click);
    connect(SpeedButton11, &FlatButton::clicked, this,
            [this] { emit helpRequested(context_.helpFile, QString()); });

    connect(SpeedButton12, &FlatButton::clicked, this, [this] { run(actionButtonAction); });
    connect(SpeedButton13, &FlatButton::clicked, this, [this] { run(startButtonAction); });
    connect(Image3, &ClickableLabel::clicked, this, [this] { run(image3Action); });
    connect(Image4, &ClickableLabel::clicked, this, [this] { run(image4Action); });
    connect(SpeedButton26, &FlatButton::clicked, this, [this] { run(speedButton26Action); });
    connect(CheckListBox1, &CheckListBox::itemClicked, this,
            [this] { run(checkListBoxClickAction); });
    connect(ComboBox1, &QComboBox::currentTextChanged, this,
            [this] { run(comboBox1ChangeAction); });
    connect(CheckBox1, &PictureCheckBox::clicked, this, [this] { run(checkBox1ClickAction); });
    connect(CheckBox2, &PictureCheckBox::clicked, this, [this] { run(checkBox2ClickAction); });

    // Pressing on the track list acts before the list's own handling of the press, and its
    // pop-up menu belongs to the copy-music page only.
    CheckListBox1->viewport()->installEventFilter(this);
    CheckListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(CheckListBox1, &QWidget::customContextMenuRequested, this, [this](QPoint point) {
        if (checkListBoxPopup)
            PopupMenu1->popup(CheckListBox1->viewport()->mapToGlobal(point));
    });

    // The window can be moved by dragging it or its labels, as it has no title bar.
    installEventFilter(this);
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Label5,
                                                            Label6, LabeledEdit1, LabeledEdit2}) {
        control->installEventFilter(this);
        control->setMouseTracking(true);
    }
    // Hints of the page controls show only while the window's hints are on (see FormMouseMove);
    // the title-area pictures always show theirs.
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (control != Image1 && control != Image2 && control != Image5)
            control->installEventFilter(this);
}

QString TForm1::FormCreate() {
    QString listenError;
    if (!instance_.listen(&listenError))
        std::fprintf(stderr, "fragmentrove: a second copy cannot hand over to this one: %s\n",
                     qUtf8Printable(listenError));
    context_.random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));

    if (QString error = SettingsApplication::applyAtStartup(context_); !error.isEmpty())
        return error;
    if (QString error = applySkin(); !error.isEmpty())
        return error;
    applyCaptions();
    Timer3->start();
    return {};
}

void TForm1::reapplySettings() {
    if (QString error = SettingsApplication::reapply(context_); !error.isEmpty()) {
        context_.prompts.error(error);
        return;
    }
    applyCaptions();
}

void TForm1::applyCaptions() {
    const auto text = [this](int index) {
        return context_.text(index);
    };
    CheckBox4->setChecked(context_.settings.autostartManager == 1);
    CheckBox5->setChecked(context_.settings.launchManager == 1);

    Label1->setText(text(0));
    prisposob(Label1, 37, 10, 12, Label1->text());
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label2->setText(text(1));
    Label3->setText(text(2));
    Label3->setGeometry(210, 200, 206, 90);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    const std::pair<FlatButton*, int> captions[] = {
        {SpeedButton1, 3},    {SpeedButton2, 4},    {SpeedButton3, 5},    {SpeedButton4, 6},
        {SpeedButton8, 7},    {SpeedButton5, 8},    {SpeedButton6, 9},    {SpeedButton7, 10},
        {SpeedButton9, 11},   {SpeedButton10, 150}, {SpeedButton11, 12},  {SpeedButton13, 36},
        {SpeedButton14, 37},  {SpeedButton15, 38},  {SpeedButton16, 43},  {SpeedButton17, 44},
        {SpeedButton23, 80},  {SpeedButton20, 74},  {SpeedButton21, 75},  {SpeedButton22, 76},
        {SpeedButton24, 89},  {SpeedButton25, 90},  {SpeedButton26, 91},  {SpeedButton27, 92},
        {SpeedButton28, 110}, {SpeedButton29, 111}, {SpeedButton30, 113}, {SpeedButton31, 136},
        {SpeedButton32, 142}, {SpeedButton33, 143}};
    for (const auto& [control, index] : captions)
        control->setText(text(index));
    OpenDialog1.title = text(31);
    SaveDialog1.title = text(32);
    CheckBox1->setText(text(33));
    CheckBox2->setText(text(34));
    CheckBox3->setText(text(35));
    checkbox6->setText(text(190));
    CheckBox4->setText(text(60));
    CheckBox5->setText(text(61));

    // The whole-medium page's file types: description|mask|description|mask ...
    FilterComboBox1->clear();
    const QStringList filter = text(53).split('|');
    for (int i = 0; i + 1 < filter.size(); i += 2)
        FilterComboBox1->addItem(filter[i], filter[i + 1]);
    CheckListBox1->setHelpKeyword(text(84));
    SpinEdit1->setToolTip(text(112));
    setToolTip(text(132));
    i1->setText(text(209));
    i2->setText(text(210));
    Image1->setToolTip(text(213));
    Image2->setToolTip(text(214));
    Image5->setToolTip(text(220));

    // Captions that must fit their buttons get a smaller font when they are long.
    const struct {
        QWidget* control;
        int limit;
    } fitted[] = {
        {SpeedButton3, 23},  {SpeedButton8, 23},  {SpeedButton16, 23}, {SpeedButton17, 23},
        {SpeedButton7, 24},  {SpeedButton27, 24}, {SpeedButton35, 24}, {CheckBox4, 25},
        {CheckBox5, 25},     {checkbox6, 20},     {SpeedButton20, 18}, {SpeedButton21, 21},
        {SpeedButton22, 21}, {SpeedButton23, 21}, {SpeedButton24, 17}, {SpeedButton25, 17},
        {SpeedButton26, 17}, {SpeedButton29, 17}, {SpeedButton30, 17}, {SpeedButton31, 22},
        {SpeedButton32, 16}, {SpeedButton33, 16}};
    for (const auto& [control, limit] : fitted) {
        const QString caption = control->property("text").toString();
        prisposob(control, limit, 7, 8, caption);
    }
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    if (arguments_.value(0) == QLatin1String("explore"))
        emit exploreRequested();
}

void TForm1::SpeedButton10Click() {
    if (jobControl_ && jobControl_->jobRunning()) {
        jobControl_->togglePause();
        if (!context_.prompts.confirm(context_.text(62))) {
            jobControl_->togglePause();
            return;
        }
        jobControl_->stopJob();
    }
    context_.platform.exitNow(0);
}

void TForm1::FormActivate() {
    // The media manager is a companion program of its own. Where it is not installed there
    // is nothing to start: the desktop would only be asked to open a file that is not there.
    const QString manager = context_.file(QStringLiteral("mmanager.exe"));
    if (context_.settings.launchManager == 1 && QFileInfo(manager).isFile())
        context_.platform.runFile(manager, true);
    journalFile = context_.file(QStringLiteral("databaza.fgv"));
    registerFile = context_.file(QStringLiteral("drives.fgv"));
    DirectoryOutline1->setRoot(QStringLiteral("C:\\"));
}

void TForm1::restoreFromHandOff() {
    showNormal();
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent* event) {
    const bool first = !centred_;
    if (first) {
        centred_ = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
    if (first)
        emit firstShown();
}

void TForm1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QWidget::changeEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the window or ending the session while a job runs ends the job as the stop
    // button does: it is journalled where its data on disk ends, and can be finished later.
    if (jobControl_ && jobControl_->jobRunning())
        jobControl_->stopJob();
    FormDestroy();
    QWidget::closeEvent(event);
}

void TForm1::FormDestroy() {
    instance_.stopListening();
}

} // namespace fr
