#pragma once

#include <QLabel>

namespace fr {

// A picture or text that acts on a left click, like the pictures of the title area.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace fr
