#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

namespace fr {

// An edit box with its caption: the label is a sibling in the same parent and stays beside
// (or above) the edit wherever the edit is moved, resized, shown or hidden.
class LabeledEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class LabelPosition { Left, Above };
    static constexpr int kLabelSpacing = 3;

    explicit LabeledEdit(QWidget* parent = nullptr);
    ~LabeledEdit() override;

    QLabel* editLabel() const { return label_; }
    void setLabelText(const QString& text);

    LabelPosition labelPosition() const { return position_; }
    void setLabelPosition(LabelPosition position);

    void setVisible(bool visible) override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeLabel();

    QPointer<QLabel> label_;
    LabelPosition position_ = LabelPosition::Left;
};

} // namespace fr
