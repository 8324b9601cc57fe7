#pragma once

#include <QDBusConnection>
#include <QString>

namespace fr::DesktopNotifications {

// Shows a notification through the desktop's notification service on this bus (normally
// the session's). Returns the reason when no service took it, empty when one did.
QString show(const QDBusConnection& bus, const QString& application, const QString& summary,
             const QString& body);

} // namespace fr::DesktopNotifications
