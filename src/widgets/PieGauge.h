#pragma once

#include <QColor>
#include <QWidget>

namespace fr {

// The job progress as a pie: an ellipse fitted to the widget, filled clockwise from twelve
// o'clock in proportion to the percentage, with "N%" written across its middle. A copy can
// run past its end (a fill block behind the last byte); the pie then simply shows full.
class PieGauge : public QWidget {
    Q_OBJECT
public:
    explicit PieGauge(QWidget* parent = nullptr);

    // The value as it was set, which may lie outside 0..100.
    int progress() const { return progress_; }
    void setProgress(int percent);
    // What the pie shows: the progress held to 0..100.
    int shownPercent() const;
    // The text across the pie: "N%" while no other is set; a running job sets its percent
    // with its speed and time left. An empty text returns to "N%".
    QString text() const;
    void setText(const QString& text);

    QColor foreColor() const { return foreColor_; }
    void setForeColor(const QColor& color);
    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color);
    // The percentage's colour; an invalid colour returns to the palette's text colour.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int progress_ = 0;
    QString text_;
    QColor foreColor_ = QColor(0x3d, 0x7e, 0xd6);
    QColor backColor_ = Qt::white;
    QColor textColor_;
};

} // namespace fr
