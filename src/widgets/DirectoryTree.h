#pragma once

#include <QObject>
#include <QString>

namespace fr {

// The main window's hidden directory tree. Nothing shows it; it only keeps the folder it is
// rooted at ("C:\"), which the window sets each time it becomes active.
class DirectoryTree : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    QString root() const { return root_; }
    void setRoot(const QString& driveForm);

signals:
    void rootChanged(const QString& driveForm);

private:
    QString root_;
};

} // namespace fr
