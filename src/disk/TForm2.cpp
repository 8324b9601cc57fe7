#include "disk/TForm2.h"

#include "core/Skin.h"

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
}

void TForm2::openForTest(QWidget* mainWindow) {
    // Halves rounded toward zero, as the dialog has always been placed.
    move(mainWindow->x() + mainWindow->width() / 2 - width() / 2, mainWindow->y() + 100);
    setWindowModality(Qt::ApplicationModal);
    show();
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), skin_.form2Brush);
    painter.drawPixmap(0, 0, skin_.smallBack);
}

} // namespace fr
