#include "window/TForm2.h"

#include "core/ProgramContext.h"
#include "disk/DriveLabels.h"
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
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 84, 184, 14);
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
    connect(SpeedButton2, &FlatButton::clicked, this, &QDialog::reject);
}

void TForm2::openForTest(QWidget* mainWindow) {
    // Halves rounded toward zero, as the dialog has always been placed.
    move(mainWindow->x() + mainWindow->width() / 2 - width() / 2, mainWindow->y() + 100);
    // The test itself runs from the test button, which the medium test connects.
    DriveComboBox1->setDrives(drivesWithLabels(context_.programDir));
    ProgressBar1->setProgress(0);
    ProgressBar1->show();
    Label1->setText(context_.text(127));
    SpeedButton1->setText(context_.text(126));
    SpeedButton2->setText(context_.text(125));
    setWindowTitle(context_.text(51));
    setWindowModality(Qt::ApplicationModal);
    show();
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), skin_.form2Brush);
    painter.drawPixmap(0, 0, skin_.smallBack);
}

} // namespace fr
