#include "widgets/FlatButton.h"

#include <QEvent>
#include <QPainter>

namespace fr {

FlatButton::FlatButton(QWidget* parent) : FlatButton(QString(), parent) {}

FlatButton::FlatButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void FlatButton::setUnderline(bool underline) {
    if (underline == underline_)
        return;
    underline_ = underline;
    update();
}

void FlatButton::setPanel(bool panel) {
    if (panel == panel_)
        return;
    panel_ = panel;
    update();
}

void FlatButton::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

QSize FlatButton::sizeHint() const {
    QFont captionFont = font();
    captionFont.setUnderline(underline_);
    const QFontMetrics metrics(captionFont);
    return {metrics.horizontalAdvance(text()) + 16, metrics.height() + 8};
}

QSize FlatButton::minimumSizeHint() const {
    return {16, fontMetrics().height() + 4};
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool enabled = isEnabled();
    const bool sunken = enabled && (isDown() || isChecked());
    const bool hot = enabled && underMouse();
    const QColor ink = textColor_.isValid() ? textColor_ : palette().color(QPalette::WindowText);

    if (panel_ && !sunken && !hot) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor outline = ink;
        outline.setAlpha(enabled ? 60 : 30);
        painter.setPen(QPen(outline, 1.0));
        painter.setBrush(QColor(255, 255, 255, enabled ? 150 : 80));
        painter.drawRoundedRect(face, 2.5, 2.5);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (sunken || hot) {
        // Translucent washes over the skin rather than solid colours, so the button suits any
        // background picture; the outline takes the caption's own colour.
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor wash = sunken ? QColor(0, 0, 0, 28) : QColor(255, 255, 255, 120);
        QColor outline = ink;
        outline.setAlpha(sunken ? 110 : 70);
        painter.setPen(QPen(outline, 1.0));
        painter.setBrush(wash);
        painter.drawRoundedRect(face, 2.5, 2.5);
        if (sunken) {
            // A faint inner shadow along the top edge for the pressed look.
            painter.setPen(QPen(QColor(0, 0, 0, 30), 1.0));
            painter.drawLine(QPointF(face.left() + 2, face.top() + 1),
                             QPointF(face.right() - 2, face.top() + 1));
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    QFont captionFont = font();
    captionFont.setUnderline(underline_);
    painter.setFont(captionFont);
    QColor color = ink;
    if (!enabled)
        color.setAlphaF(0.45f); // greyed whatever colour the skin gave the caption
    painter.setPen(color);
    QRect textRect = rect();
    if (sunken)
        textRect.translate(1, 1);
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void FlatButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QAbstractButton::changeEvent(event);
}

} // namespace fr
