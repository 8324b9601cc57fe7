#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

namespace fr {

// Warns the user when a medium from the register of damaged media is attached, before any
// file on it is trusted: a desktop notification names the volume and the register's note.
class MediaWatch : public QObject {
    Q_OBJECT
public:
    // programDir holds the register (drives.fgv), the settings and the language files.
    MediaWatch(QString programDir, QDBusConnection bus, QObject* parent = nullptr);

    // A device that may now hold another medium. A medium that is still the one last seen
    // there is not announced again.
    void mediumChanged(const QString& device);
    void removed(const QString& device);

private:
    void warn(const QString& device, const QString& label, const QString& note);

    QString programDir_;
    QDBusConnection bus_;
    QHash<QString, quint32> serials_; // device -> serial of the medium last seen in it
};

} // namespace fr
