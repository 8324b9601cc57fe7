#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QWidget;

namespace fr {

// Lets files from the file manager be dropped on a widget, while the page that wants them is
// shown. Only local files are taken; a drag of anything else is not accepted.
class FileDropTarget : public QObject {
    Q_OBJECT
public:
    explicit FileDropTarget(QWidget* target);

    QWidget* target() const { return target_; }
    bool isEnabled() const { return enabled_; }
    // Switches accepting drops on the target on or off.
    void setEnabled(bool enabled);

signals:
    // Every dropped local file, native paths in the order of the drag.
    void dropped(const QStringList& nativePaths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> target_;
    bool enabled_ = false;
};

} // namespace fr
