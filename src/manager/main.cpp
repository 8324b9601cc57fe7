// The media manager: a companion of Fragmentrove without a window. It warns when a medium
// from the register of damaged media is attached. The main window starts it on every
// activation and the session may start it too, so only the first copy of a user stays.

#include "manager/MediaWatch.h"
#include "platform/BlockDeviceEvents.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr const char* kLockName = "Fragmentrove 3 (media manager).lock";

// Held for the life of the process; the kernel drops it with the process, so a copy that was
// killed never blocks the next. False when another copy holds it.
bool holdLock(const QString& runtimeDir, QString* error) {
    const QString path = runtimeDir + '/' + QLatin1String(kLockName);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return true; // without a lock the manager still works, only unguarded
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            ::close(fd);
            return false;
        }
        *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    return true;
}

void report(const QString& text) {
    std::fprintf(stderr, "mmanager: %s\n", qUtf8Printable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mmanager"));
    // The manager lives in the program folder, whatever folder the session starts it in.
    const QString programDir = QCoreApplication::applicationDirPath();

    // Listening starts before the lock is taken: once another start finds this copy in
    // charge, no medium attached from then on is missed.
    fr::BlockDeviceEvents events;
    if (const QString error = events.open(); !error.isEmpty()) {
        report(error);
        return 1;
    }

    QString error;
    const QString runtimeDir = fr::defaultRuntimeDir(&error);
    if (runtimeDir.isEmpty())
        report(error);
    else if (!holdLock(runtimeDir, &error))
        return 0; // another copy already watches
    else if (!error.isEmpty())
        report(error);

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        report(QStringLiteral("no session bus to show notifications on: ") +
               bus.lastError().message());
        return 1;
    }
    fr::MediaWatch watch(programDir, bus);
    QObject::connect(&events, &fr::BlockDeviceEvents::mediumChanged, &watch,
                     &fr::MediaWatch::mediumChanged);
    QObject::connect(&events, &fr::BlockDeviceEvents::removed, &watch, &fr::MediaWatch::removed);
    return application.exec();
}
