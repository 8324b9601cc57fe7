#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <QStyleOptionSpinBox>
#include <algorithm>
#include <limits>

namespace fr {

namespace {

bool allDigits(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

} // namespace

SpinEdit::SpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setInputMethodHints(Qt::ImhDigitsOnly);
    showValue();
    connect(lineEdit(), &QLineEdit::textEdited, this, &SpinEdit::typed);
    connect(this, &QAbstractSpinBox::editingFinished, this, &SpinEdit::finishEditing);
}

void SpinEdit::setValue(qint64 value) {
    store(std::clamp(value, minimum_, maximum_));
    showValue();
}

void SpinEdit::store(qint64 value) {
    if (value == value_)
        return;
    value_ = value;
    emit changed(value_);
}

void SpinEdit::showValue() {
    const QString text = QString::number(value_);
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void SpinEdit::setMinimum(qint64 minimum) {
    setRange(minimum, std::max(std::max<qint64>(minimum, 0), maximum_));
}

void SpinEdit::setMaximum(qint64 maximum) {
    setRange(std::min(minimum_, std::max<qint64>(maximum, 0)), maximum);
}

void SpinEdit::setRange(qint64 minimum, qint64 maximum) {
    minimum_ = std::max<qint64>(minimum, 0);
    maximum_ = std::max(maximum, minimum_);
    setValue(value_);
    updateGeometry();
}

void SpinEdit::setNoLimits() {
    setRange(0, std::numeric_limits<qint64>::max());
}

void SpinEdit::stepBy(int steps) {
    // Stepping past either end of the 64-bit range stops at that end instead of wrapping.
    qint64 target;
    if (steps > 0)
        target = value_ > maximum_ - steps ? maximum_ : value_ + steps;
    else
        target = std::max(value_ + steps, minimum_); // value_ >= 0: cannot overflow
    setValue(target);
    selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
    if (isReadOnly())
        return StepNone;
    StepEnabled enabled = StepNone;
    if (value_ < maximum_)
        enabled |= StepUpEnabled;
    if (value_ > minimum_)
        enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State SpinEdit::validate(QString& input, int&) const {
    if (input.isEmpty())
        return QValidator::Intermediate;
    if (!allDigits(input))
        return QValidator::Invalid;
    bool ok = false;
    const qint64 number = input.toLongLong(&ok);
    // Digits beyond the largest value can never become valid; too small a number can, by
    // typing on.
    if (!ok || number > maximum_)
        return QValidator::Invalid;
    return number < minimum_ ? QValidator::Intermediate : QValidator::Acceptable;
}

void SpinEdit::fixup(QString& input) const {
    if (!input.isEmpty())
        input = QString::number(value_);
}

void SpinEdit::typed(const QString& text) {
    QString copy = text;
    int pos = 0;
    if (validate(copy, pos) == QValidator::Acceptable)
        store(copy.toLongLong());
}

void SpinEdit::finishEditing() {
    // A number below the minimum returns to the value; an empty field stays empty, so the
    // value that was last shown is still the one in force.
    if (!lineEdit()->text().isEmpty())
        showValue();
}

QSize SpinEdit::sizeHint() const {
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    const int digits = std::min<int>(QString::number(maximum_).size(), 12);
    const int width = metrics.horizontalAdvance(QString(digits, QLatin1Char('9'))) + 6;
    const int height = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(width, height), this);
}

QSize SpinEdit::minimumSizeHint() const {
    return sizeHint();
}

} // namespace fr
