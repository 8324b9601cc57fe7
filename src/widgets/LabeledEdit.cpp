#include "widgets/LabeledEdit.h"

#include <QEvent>
#include <QLabel>

namespace fr {

LabeledEdit::LabeledEdit(QWidget* parent) : QLineEdit(parent) {
    label_ = new QLabel(parent);
    label_->setBuddy(this);
    placeLabel();
}

LabeledEdit::~LabeledEdit() {
    delete label_;
}

void LabeledEdit::setLabelText(const QString& text) {
    label_->setText(text);
    placeLabel();
}

void LabeledEdit::setLabelPosition(LabelPosition position) {
    position_ = position;
    placeLabel();
}

void LabeledEdit::setVisible(bool visible) {
    QLineEdit::setVisible(visible);
    if (label_ && label_->parentWidget() != nullptr)
        label_->setVisible(visible);
}

void LabeledEdit::placeLabel() {
    if (!label_)
        return;
    label_->resize(label_->sizeHint());
    const QRect edit = geometry();
    if (position_ == LabelPosition::Left) {
        label_->move(edit.left() - kLabelSpacing - label_->width(),
                     edit.top() + (edit.height() - label_->height()) / 2);
    } else {
        label_->move(edit.left(), edit.top() - kLabelSpacing - label_->height());
    }
}

void LabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    placeLabel();
}

void LabeledEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    placeLabel();
}

void LabeledEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (!label_)
        return;
    if (event->type() == QEvent::EnabledChange)
        label_->setEnabled(isEnabled());
}

bool LabeledEdit::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange && label_) {
        // The label moves along; like the edit it stays hidden until it is shown again.
        label_->setParent(parentWidget());
        if (parentWidget() != nullptr && !isHidden())
            label_->show();
        placeLabel();
    }
    return QLineEdit::event(event);
}

} // namespace fr
