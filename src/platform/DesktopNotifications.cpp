#include "platform/DesktopNotifications.h"

#include <QDBusMessage>
#include <QVariantMap>

namespace fr::DesktopNotifications {

QString show(const QDBusConnection& bus, const QString& application, const QString& summary,
             const QString& body) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // No notification replaced, the warning icon, no actions; the server decides how long
    // it stays (-1).
    call << application << 0u << QStringLiteral("dialog-warning") << summary << body
         << QStringList() << QVariantMap() << -1;
    const QDBusMessage answer = bus.call(call, QDBus::Block, 10000);
    if (answer.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("desktop notification: ") + answer.errorMessage();
    return {};
}

} // namespace fr::DesktopNotifications
