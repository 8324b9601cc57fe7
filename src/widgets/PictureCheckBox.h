#pragma once

#include <QColor>
#include <QWidget>

namespace fr {

// The marks a skin can choose for its check boxes; the numbering is stored with the skin.
enum class CheckMarkStyle {
    igCrossRed,
    igHookBlue,
    igCirce,
    igCrossBlue,
    igCrossGreen,
    igHookLime,
    igHookRed
};

// A check box drawn in the skin's own style: a small white box with a coloured cross, hook or
// dot, and its caption beside it. Its state flips as soon as the left button goes down, so
// whoever listens to mousePressed already sees the new state; the job options depend on that
// to keep the report and the switch-off boxes from both being ticked.
class PictureCheckBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBoxSize = 13;

    explicit PictureCheckBox(QWidget* parent = nullptr);
    explicit PictureCheckBox(const QString& text, QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);

    bool isChecked() const { return checked_; }
    // Changes the state without any click: only toggled is emitted.
    void setChecked(bool checked);

    CheckMarkStyle imageType() const { return imageType_; }
    void setImageType(CheckMarkStyle style);

    // The caption's colour; an invalid colour returns to the palette's text colour.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);

    // The colour each style draws its mark in.
    static QColor markColor(CheckMarkStyle style);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A left-button press, after the state has flipped.
    void mousePressed();
    // A press and release inside the box, or the space key.
    void clicked();
    void toggled(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QRect boxRect() const;
    void paintMark(QPainter& painter, const QRectF& box) const;

    QString text_;
    bool checked_ = false;
    bool pressed_ = false;
    bool spaceDown_ = false;
    CheckMarkStyle imageType_ = CheckMarkStyle::igCrossBlue;
    QColor textColor_;
};

} // namespace fr
