#pragma once

#include <QAbstractSpinBox>

namespace fr {

// A number field with up and down arrows over a 64-bit value, for sector numbers beyond
// 2^31 and for years. Only digits can be typed: a sign is refused, since no number here is
// ever negative. Every change of the value, typed, stepped or set, is reported once.
class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultMaximum = 0xFFFFFFFFLL;

    explicit SpinEdit(QWidget* parent = nullptr);

    qint64 value() const { return value_; }
    // Held to the limits; reports a change only when the value differs.
    void setValue(qint64 value);

    qint64 minimum() const { return minimum_; }
    qint64 maximum() const { return maximum_; }
    // A negative minimum is raised to 0; the value is brought within the new limits.
    void setMinimum(qint64 minimum);
    void setMaximum(qint64 maximum);
    void setRange(qint64 minimum, qint64 maximum);
    // Any whole number from 0 up, for fields such as a year that have no natural bounds.
    void setNoLimits();

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void changed(qint64 value);

protected:
    StepEnabled stepEnabled() const override;

private:
    void typed(const QString& text);
    void finishEditing();
    void showValue();
    void store(qint64 value);

    qint64 value_ = 0;
    qint64 minimum_ = 0;
    qint64 maximum_ = kDefaultMaximum;
};

} // namespace fr
