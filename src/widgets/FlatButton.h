#pragma once

#include <QAbstractButton>
#include <QColor>

namespace fr {

// A flat command button that sits on the skin: only its caption shows at rest, a soft
// highlight appears under the mouse and a sunken look while it is pressed. It never takes the
// keyboard focus, like a toolbar button. A bold font marks the tab that is open.
class FlatButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit FlatButton(QWidget* parent = nullptr);
    explicit FlatButton(const QString& text, QWidget* parent = nullptr);

    bool underline() const { return underline_; }
    void setUnderline(bool underline);

    // A page's action buttons rest on a soft panel, so they read as buttons rather than as
    // words on the page; the commands down the left edge stay plain.
    bool panel() const { return panel_; }
    void setPanel(bool panel);

    // The caption's colour; an invalid colour returns to the palette's text colour.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool underline_ = false;
    bool panel_ = false;
    QColor textColor_;
};

} // namespace fr
