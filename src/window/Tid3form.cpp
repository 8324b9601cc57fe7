#include "window/Tid3form.h"

#include "window/Skin.h"

#include <QPainter>

namespace fr {

Tid3form::Tid3form(ProgramContext& context, const Skin& skin, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context), skin_(skin) {
    setObjectName(QStringLiteral("id3form"));
    setFixedSize(300, 220);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, skin_.colourB);
    colours.setColor(QPalette::Text, skin_.colourB);
    colours.setColor(QPalette::Base, skin_.colourA);
    setPalette(colours);
}

void Tid3form::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, skin_.id3Back);
}

} // namespace fr
