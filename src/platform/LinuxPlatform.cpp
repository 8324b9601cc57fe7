#include "platform/LinuxPlatform.h"

#include "platform/AdminCheck.h"
#include "platform/PowerOff.h"
#include "platform/ProcessPriority.h"
#include "platform/XdgAutostart.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QUrl>
#include <cstdio>
#include <sys/utsname.h>
#include <unistd.h>

namespace fr {

namespace {

// The distribution's own name for itself, as /etc/os-release gives it.
QString distributionName() {
    QFile file(QStringLiteral("/etc/os-release"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1String("PRETTY_NAME="))) {
            QString value = line.mid(12);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

// The desktop's default application for a web address or a file, as the desktop itself
// chooses it: xdg-open asks the running desktop, whichever it is.
void openWithDesktop(const QUrl& url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

} // namespace

QString LinuxPlatform::osName() const {
    QString name = QStringLiteral("Linux");
    utsname system{};
    if (uname(&system) == 0)
        name =
            QString::fromLocal8Bit(system.sysname) + ' ' + QString::fromLocal8Bit(system.release);
    const QString distribution = distributionName();
    if (!distribution.isEmpty())
        name += QStringLiteral(" (") + distribution + ')';
    return name;
}

bool LinuxPlatform::isAdmin() const {
    return isAdministrator(geteuid(), groupNamesOfCurrentUser());
}

namespace {

// The address an internet shortcut points at: its "URL=" line.
QString internetShortcutUrl(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("URL="), Qt::CaseInsensitive))
            return line.mid(4);
    }
    return {};
}

} // namespace

void LinuxPlatform::runFile(const QString& path, bool hidden) {
    Q_UNUSED(hidden) // programs started here have no console to hide
    const QFileInfo file(path);
    if (file.suffix().compare(QLatin1String("url"), Qt::CaseInsensitive) == 0) {
        const QString url = internetShortcutUrl(path);
        if (!url.isEmpty())
            openWithDesktop(QUrl(url));
        return;
    }
    if (file.isFile() && file.isExecutable()) {
        QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
        return;
    }
    openWithDesktop(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void LinuxPlatform::exitNow(int code) {
    std::fflush(nullptr);
    _exit(code);
}

} // namespace fr

namespace fr {

bool LinuxPlatform::setIdlePriority(bool idle) {
    return ProcessPriority::setIdle(idle);
}

void LinuxPlatform::powerOff() {
    PowerOff::request();
}

QString LinuxPlatform::setAutostart(const QString& name, const QString& program, bool enabled) {
    return XdgAutostart::set(XdgAutostart::folder(), name, program, enabled);
}

} // namespace fr
