#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace fr::XdgAutostart {

namespace {

// One argument of an Exec line, quoted whole. Inside the quotes a double quote, backtick,
// dollar sign and backslash keep a meaning to the launcher and are escaped with a backslash;
// "%" starts a field code and is doubled.
QString execArgument(const QString& argument) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + '"';
}

// A value of the entry file. The file is read line by line and its string escapes are undone
// before an Exec line is split into arguments, so every backslash is doubled once more.
QString entryValue(QString value) {
    return value.replace('\\', QLatin1String("\\\\"))
        .replace('\n', QLatin1String("\\n"))
        .replace('\t', QLatin1String("\\t"))
        .replace('\r', QLatin1String("\\r"));
}

} // namespace

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
    const QByteArray entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(entryValue(name), entryValue(execArgument(program)))
                                 .toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
        return path + QStringLiteral(": ") + file.errorString();
    return {};
}

} // namespace fr::XdgAutostart
