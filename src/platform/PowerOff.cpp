#include "platform/PowerOff.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QProcess>
#include <QStringList>

namespace fr::PowerOff {

void request() {
    // The login manager powers off for the user of the session when the system's policy lets
    // it, without asking (not interactive), as the desktop's own menu would.
    QDBusInterface manager(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    if (manager.isValid()) {
        manager.setTimeout(5000);
        const QDBusReply<void> reply = manager.call(QStringLiteral("PowerOff"), false);
        if (reply.isValid())
            return;
    }
    // Without a login manager (or refused by it) systemctl may still be allowed to.
    QProcess::startDetached(QStringLiteral("systemctl"), {QStringLiteral("poweroff")});
}

} // namespace fr::PowerOff
