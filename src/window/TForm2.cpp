#include "window/TForm2.h"

#include "core/ProgramContext.h"
#include "disk/DriveLabels.h"
#include "disk/Testovanie.h"
#include "platform/DriveMap.h"
#include "widgets/DirectoryListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/PieGauge.h"
#include "window/Skin.h"

#include <QLabel>
#include <QPainter>

namespace fr {

TForm2::TForm2(ProgramContext& context, const Skin& skin, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context), skin_(skin) {
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(200, 150);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, skin_.form2Brush);
    colours.setColor(QPalette::WindowText, skin_.colourB);
    colours.setColor(QPalette::Text, skin_.colourB);
    colours.setColor(QPalette::Base, skin_.colourA);
    setPalette(colours);

    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(8, 10, 184, 21);
    ProgressBar1 = new PieGauge(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 40, 184, 40);
    // The slice in the text colour on the input background, so that progress always shows.
    ProgressBar1->setForeColor(skin_.colourB);
    ProgressBar1->setBackColor(skin_.colourA);
    ProgressBar1->setTextColor(skin_.colourB);
    progressSpeed_ = std::make_unique<ProgressSpeed>(*ProgressBar1, context_);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 84, 184, 14);
    // The folder list lies over the status line, which only the test shows.
    DirectoryListBox1 = new DirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(8, 36, 184, 80);
    DirectoryListBox1->hide();
    SpeedButton1 = new FlatButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(8, 122, 88, 20);
    SpeedButton2 = new FlatButton(this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(104, 122, 88, 20);
    for (FlatButton* button : {SpeedButton1, SpeedButton2}) {
        button->setPanel(true);
        button->setTextColor(skin_.colourB);
    }
    connect(SpeedButton1, &FlatButton::clicked, this, [this] {
        if (mode_ == Mode::Folder)
            SpeedButton1Click();
        else
            testuj();
    });
    connect(SpeedButton2, &FlatButton::clicked, this, &TForm2::SpeedButton2Click);
    connect(DriveComboBox1, &DriveComboBox::driveChanged, this, [this] {
        if (mode_ == Mode::Folder)
            showDriveFolders();
    });
}

TForm2::~TForm2() {
    retireWorker();
}

void TForm2::openForFolder(QWidget* mainWindow, std::function<void(const QString&)> chosen) {
    mode_ = Mode::Folder;
    folderChosen_ = std::move(chosen);
    move(mainWindow->x() + mainWindow->width() - width() - 10, mainWindow->y() + 10);
    DriveComboBox1->setDrives(drivesWithLabels(context_.programDir));
    showDriveFolders();
    DirectoryListBox1->show();
    ProgressBar1->hide();
    setCanvasText(QString());
    SpeedButton1->setText(context_.text(52));
    setWindowModality(Qt::ApplicationModal);
    show();
}

void TForm2::openForTest(QWidget* mainWindow) {
    mode_ = Mode::Test;
    // Halves rounded toward zero, as the dialog has always been placed.
    move(mainWindow->x() + mainWindow->width() / 2 - width() / 2, mainWindow->y() + 100);
    DriveComboBox1->setDrives(drivesWithLabels(context_.programDir));
    DirectoryListBox1->hide();
    ProgressBar1->setProgress(0);
    ProgressBar1->show();
    setCanvasText(QString());
    Label1->setText(context_.text(127));
    setStartCaption(context_.text(126));
    setWindowModality(Qt::ApplicationModal);
    show();
}

void TForm2::FormShow() {
    damaged_ = false;
    setWindowTitle(context_.text(51));
    SpeedButton2->setText(context_.text(125));
}

void TForm2::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TForm2::showDriveFolders() {
    const QChar letter = DriveComboBox1->drive();
    const DriveMap drives = DriveMap::build(context_.programDir);
    const Drive* drive = letter.isNull() ? nullptr : drives.drive(letter);
    // A drive with no file system mounted has no folders to offer.
    DirectoryListBox1->setRoot(drive ? drive->root : QString(),
                               QString(letter) + QStringLiteral(":\\"));
}

void TForm2::SpeedButton1Click() {
    const QString folder = DirectoryListBox1->directoryInDriveForm();
    if (folderChosen_ && !folder.isEmpty())
        folderChosen_(folder);
    QDialog::reject();
}

void TForm2::reject() {
    if (isTesting())
        return;
    QDialog::reject();
}

void TForm2::setCanvasText(const QString& text) {
    canvasText_ = text;
    update();
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), skin_.form2Brush);
    painter.drawPixmap(0, 0, skin_.smallBack);
    if (canvasText_.isEmpty())
        return;
    // Drawn with its top left at (8, 100), on no background of its own.
    painter.setPen(skin_.colourB);
    painter.setFont(font());
    painter.drawText(QRect(8, 100, width() - 8, height() - 100),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, canvasText_);
}

} // namespace fr
