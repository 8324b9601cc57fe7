#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace fr::XdgAutostart {

QString folder() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return (config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config) +
           QStringLiteral("/autostart");
}

QString set(const QString& folder, const QString& name, const QString& program, bool enabled) {
    const QString path = folder + '/' + name + QStringLiteral(".desktop");
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path))
            return path + QStringLiteral(": cannot be removed");
        return {};
    }
    if (!QDir().mkpath(folder))
        return folder + QStringLiteral(": cannot be created");
    QString quoted = program;
    quoted.replace('\\', QLatin1String("\\\\")).replace('"', QLatin1String("\\\""));
    const QByteArray entry =
        QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\"\n"
                       "X-GNOME-Autostart-enabled=true\n")
            .arg(name, quoted)
            .toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return path + QStringLiteral(": ") + file.errorString();
    return {};
}

} // namespace fr::XdgAutostart
