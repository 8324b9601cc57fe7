#include "widgets/PieGauge.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace fr {

namespace {

// How far apart two colours are in lightness, 0 to 1.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        return 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
    };
    return std::abs(luminance(a) - luminance(b));
}

} // namespace

PieGauge::PieGauge(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void PieGauge::setProgress(int percent) {
    if (percent == progress_)
        return;
    const int before = shownPercent();
    progress_ = percent;
    if (shownPercent() != before)
        update();
}

int PieGauge::shownPercent() const {
    return std::clamp(progress_, 0, 100);
}

void PieGauge::setForeColor(const QColor& color) {
    foreColor_ = color;
    update();
}

void PieGauge::setBackColor(const QColor& color) {
    backColor_ = color;
    update();
}

void PieGauge::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

QSize PieGauge::sizeHint() const {
    return {100, 100};
}

QSize PieGauge::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8,
            fontMetrics().height() + 2};
}

QString PieGauge::text() const {
    return text_.isEmpty() ? QStringLiteral("%1%").arg(shownPercent()) : text_;
}

void PieGauge::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    update();
}

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Half-pixel insets keep the one-pixel outline on the pixel grid and inside the widget.
    const QRectF ellipse = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (ellipse.width() <= 0 || ellipse.height() <= 0)
        return;

    const bool enabled = isEnabled();
    painter.setPen(Qt::NoPen);
    painter.setBrush(backColor_);
    painter.drawEllipse(ellipse);

    const int percent = shownPercent();
    QPainterPath sliceArea;
    if (percent > 0) {
        // The slice is built on a unit circle and stretched to the ellipse, so its area stays
        // in proportion to the percentage even on a very flat gauge.
        QPainterPath slice;
        if (percent >= 100) {
            slice.addEllipse(QRectF(-1, -1, 2, 2));
        } else {
            slice.moveTo(0, 0);
            slice.arcTo(QRectF(-1, -1, 2, 2), 90.0, -3.6 * percent);
            slice.closeSubpath();
        }
        QTransform toEllipse;
        toEllipse.translate(ellipse.center().x(), ellipse.center().y());
        toEllipse.scale(ellipse.width() / 2, ellipse.height() / 2);
        QColor fore = foreColor_;
        if (!enabled)
            fore.setAlphaF(0.45f);
        painter.setBrush(fore);
        sliceArea = toEllipse.map(slice);
        painter.drawPath(sliceArea);
    }

    // An outline a shade darker than the pie, so a pale skin colour on white still reads.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(foreColor_.darker(enabled ? 150 : 115), 1.0));
    painter.drawEllipse(ellipse);

    QColor text = textColor_.isValid() ? textColor_ : palette().color(QPalette::WindowText);
    if (!enabled)
        text.setAlphaF(0.45f);
    const QString caption = this->text();
    // A gauge tall enough for two lines breaks a long text (percent, speed, time left) there.
    const int flags =
        Qt::AlignCenter | (height() >= 2 * fontMetrics().height() ? Qt::TextWordWrap : 0);
    painter.setPen(text);
    if (percent == 0 || contrast(text, foreColor_) >= 0.3) {
        painter.drawText(rect(), flags, caption);
        return;
    }
    // The text colour would vanish on the slice (the dialog's gauge uses one colour for
    // both): where the slice lies under the text, the text takes the background colour.
    painter.save();
    painter.setClipPath(sliceArea, Qt::IntersectClip);
    painter.setPen(backColor_);
    painter.drawText(rect(), flags, caption);
    painter.restore();
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    painter.setClipPath(outside.subtracted(sliceArea));
    painter.drawText(rect(), flags, caption);
}

} // namespace fr
