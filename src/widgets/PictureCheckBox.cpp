#include "widgets/PictureCheckBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace fr {

namespace {

// Space between the box and its caption.
constexpr int kGap = 5;

bool isHook(CheckMarkStyle style) {
    return style == CheckMarkStyle::igHookBlue || style == CheckMarkStyle::igHookLime ||
           style == CheckMarkStyle::igHookRed;
}

} // namespace

PictureCheckBox::PictureCheckBox(QWidget* parent) : PictureCheckBox(QString(), parent) {}

PictureCheckBox::PictureCheckBox(const QString& text, QWidget* parent)
    : QWidget(parent), text_(text) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void PictureCheckBox::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
}

void PictureCheckBox::setChecked(bool checked) {
    if (checked == checked_)
        return;
    checked_ = checked;
    update();
    emit toggled(checked_);
}

void PictureCheckBox::setImageType(CheckMarkStyle style) {
    imageType_ = style;
    update();
}

void PictureCheckBox::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

QColor PictureCheckBox::markColor(CheckMarkStyle style) {
    switch (style) {
    case CheckMarkStyle::igCrossRed:
    case CheckMarkStyle::igHookRed:
        return QColor(0xd0, 0x1c, 0x1c);
    case CheckMarkStyle::igHookBlue:
    case CheckMarkStyle::igCrossBlue:
        return QColor(0x1a, 0x4f, 0xc4);
    case CheckMarkStyle::igCirce:
        return QColor(0x2b, 0x2b, 0x2b);
    case CheckMarkStyle::igCrossGreen:
        return QColor(0x1e, 0x8c, 0x2a);
    case CheckMarkStyle::igHookLime:
        return QColor(0x3c, 0xc8, 0x1e);
    }
    return Qt::black;
}

QSize PictureCheckBox::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int width = kBoxSize + kGap + metrics.horizontalAdvance(text_) + 2;
    return {width, std::max(kBoxSize + 4, metrics.height() + 2)};
}

QSize PictureCheckBox::minimumSizeHint() const {
    return {kBoxSize + 2, std::max(kBoxSize + 4, fontMetrics().height() + 2)};
}

QRect PictureCheckBox::boxRect() const {
    return {0, (height() - kBoxSize) / 2, kBoxSize, kBoxSize};
}

void PictureCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool enabled = isEnabled();
    const bool hot = enabled && (underMouse() || pressed_);

    // The box: a crisp one-pixel frame on whole pixels, white inside, a touch of the
    // highlight colour while the mouse is over it.
    const QRect box = boxRect();
    QColor frame = enabled ? QColor(0x6d, 0x74, 0x7d) : QColor(0xb4, 0xb8, 0xbd);
    if (hot)
        frame = palette().color(QPalette::Highlight);
    QColor fill = enabled ? QColor(Qt::white) : QColor(0xf0, 0xf0, 0xf0);
    if (pressed_)
        fill = QColor(0xe4, 0xec, 0xf6);
    painter.fillRect(box, fill);
    painter.setPen(frame);
    painter.drawRect(box.adjusted(0, 0, -1, -1));

    if (checked_) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        if (!enabled)
            painter.setOpacity(0.4);
        paintMark(painter, QRectF(box));
        painter.restore();
    }

    if (!text_.isEmpty()) {
        QColor color = textColor_.isValid() ? textColor_ : palette().color(QPalette::WindowText);
        if (!enabled)
            color.setAlphaF(0.45f); // greyed whatever colour the skin gave the caption
        painter.setPen(color);
        const QRect textRect(kBoxSize + kGap, 0, width() - kBoxSize - kGap, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
        if (hasFocus()) {
            const int textWidth =
                std::min(fontMetrics().horizontalAdvance(text_) + 2, textRect.width());
            const int textHeight = fontMetrics().height();
            QPen dotted(color);
            dotted.setStyle(Qt::DotLine);
            painter.setPen(dotted);
            painter.drawRect(textRect.left() - 1, (height() - textHeight) / 2 - 1, textWidth,
                             textHeight + 1);
        }
    }
}

void PictureCheckBox::paintMark(QPainter& painter, const QRectF& box) const {
    const QColor color = markColor(imageType_);
    // Marks are laid out on the box's 13-pixel grid; the inner area leaves a margin of three
    // pixels so the mark never touches the frame.
    const QRectF inner = box.adjusted(3, 3, -3, -3);
    if (imageType_ == CheckMarkStyle::igCirce) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(inner);
        return;
    }
    QPen pen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (isHook(imageType_)) {
        QPainterPath hook;
        hook.moveTo(inner.left(), inner.top() + inner.height() * 0.55);
        hook.lineTo(inner.left() + inner.width() * 0.38, inner.bottom());
        hook.lineTo(inner.right(), inner.top());
        painter.drawPath(hook);
    } else {
        painter.drawLine(inner.topLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomLeft());
    }
}

void PictureCheckBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = true;
    setChecked(!checked_);
    emit mousePressed();
}

void PictureCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    pressed_ = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

void PictureCheckBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceDown_ = true;
        return;
    }
    QWidget::keyPressEvent(event);
}

void PictureCheckBox::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        if (spaceDown_) {
            spaceDown_ = false;
            setChecked(!checked_);
            emit clicked();
        }
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void PictureCheckBox::focusOutEvent(QFocusEvent* event) {
    spaceDown_ = false;
    QWidget::focusOutEvent(event);
}

void PictureCheckBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        pressed_ = spaceDown_ = false;
    QWidget::changeEvent(event);
}

} // namespace fr
