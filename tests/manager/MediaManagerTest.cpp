// The media manager, run as the program it is: a private session bus with a notification
// service of the test's own, and loop devices attached while it watches.

#include "rescue/RegisterRecord.h"
#include "support/LoopDevice.h"
#include "support/MediaImages.h"
#include "support/TempProgramDir.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>

namespace fr::test {
namespace {

// The desktop's notification service as far as the manager uses it: notes every Notify.
class NotificationService : public QDBusVirtualObject {
public:
    struct Notification {
        QString summary;
        QString body;
    };
    std::vector<Notification> shown;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.interface() != QLatin1String("org.freedesktop.Notifications") ||
            message.member() != QLatin1String("Notify"))
            return false;
        const QVariantList arguments = message.arguments();
        shown.push_back({arguments.value(3).toString(), arguments.value(4).toString()});
        bus.send(message.createReply(QVariant::fromValue(uint(shown.size()))));
        return true;
    }
};

class MediaManagerTest : public testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!LoopDevice::available(&why))
            GTEST_SKIP() << why.toStdString();
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is missing (package dbus)";

        bus.setProgram(QStringLiteral("dbus-daemon"));
        bus.setArguments({"--session", "--nofork", "--print-address"});
        bus.start();
        ASSERT_TRUE(bus.waitForStarted() && bus.waitForReadyRead(10000));
        busAddress = QString::fromUtf8(bus.readLine().trimmed());
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, busName());
        ASSERT_TRUE(connection.isConnected()) << connection.lastError().message().toStdString();
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(connection.registerVirtualObject(
            QStringLiteral("/org/freedesktop/Notifications"), &notifications));

        // Installed as the set-up installs it: in the program folder, under the name the
        // main window starts.
        ASSERT_TRUE(QFile::copy(QStringLiteral(FRAGMENTROVE_MANAGER_BINARY),
                                dir.file(QStringLiteral("mmanager.exe"))));
    }

    void TearDown() override {
        for (QProcess* process : {&manager, &bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
        QDBusConnection::disconnectFromBus(busName());
    }

    static QString busName() { return QStringLiteral("media manager test bus"); }

    void startManager(QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The session starts it in the user's home folder, not in the program folder.
        process.setWorkingDirectory(QDir::homePath());
        process.start(dir.file(QStringLiteral("mmanager.exe")), {});
        ASSERT_TRUE(process.waitForStarted());
    }

    // Whether a running copy holds the user's manager lock. Read from the kernel's table of
    // locks: trying the lock ourselves could make a copy that is just starting give way.
    bool lockHeld() const {
        struct stat file {};
        const QByteArray path = QFile::encodeName(
            runtime.filePath(QStringLiteral("Fragmentrove 3 (media manager).lock")));
        if (::stat(path.constData(), &file) != 0)
            return false;
        QFile locks(QStringLiteral("/proc/locks"));
        if (!locks.open(QIODevice::ReadOnly))
            return false;
        const QByteArray inode = ':' + QByteArray::number(quint64(file.st_ino)) + ' ';
        for (const QByteArray& line : locks.readAll().split('\n'))
            if (line.contains(" FLOCK ") && line.contains(inode))
                return true;
        return false;
    }

    void registerMedium(quint32 serial, const QString& label, const QString& note) {
        std::mutex lock;
        RegisterFile file(dir.file(QStringLiteral("drives.fgv")), lock);
        ASSERT_EQ(file.append({RegisterRecord::serialTextOf(serial), label, note}), QString());
    }

    TempProgramDir dir;
    QTemporaryDir runtime;
    QTemporaryDir images;
    QProcess bus;
    QString busAddress;
    NotificationService notifications;
    QProcess manager;
};

TEST_F(MediaManagerTest, WarnsWhenARegisteredMediumIsAttachedAndOnlyThen) {
    registerMedium(0x1234ABCD, QStringLiteral("RESCUEME"),
                   QStringLiteral("bad sectors near the end"));
    const QString registered = images.filePath(QStringLiteral("registered.img"));
    const QString healthy = images.filePath(QStringLiteral("healthy.img"));
    MediaImages::floppy(registered, QStringLiteral("RESCUEME"), 0x1234ABCD);
    MediaImages::floppy(healthy, QStringLiteral("HEALTHY"), 0x0BADF00D);

    startManager(manager);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return lockHeld() || manager.state() == QProcess::NotRunning; }, 10000));
    ASSERT_EQ(manager.state(), QProcess::Running);

    // The main window starts it on every activation: a second copy ends at once.
    QProcess second;
    startManager(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);

    // Events come in order: once the registered medium is announced, the healthy one that
    // came first has been looked at too.
    LoopDevice healthyDevice(healthy);
    LoopDevice registeredDevice(registered);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !notifications.shown.empty(); }, 15000));
    QTest::qWait(300);
    ASSERT_EQ(notifications.shown.size(), 1u);
    const auto& shown = notifications.shown[0];
    EXPECT_FALSE(shown.summary.isEmpty());
    EXPECT_TRUE(shown.body.contains(QLatin1String("RESCUEME"))) << shown.body.toStdString();
    EXPECT_TRUE(shown.body.contains(registeredDevice.path())) << shown.body.toStdString();
    EXPECT_TRUE(shown.body.contains(QLatin1String("bad sectors near the end")));
    EXPECT_FALSE(shown.body.contains(QLatin1String("HEALTHY")));

    // Taken out and attached again, it is news again.
    registeredDevice.detach();
    // A medium is never back within a moment of being taken out: the manager looks at a device
    // when its event arrives, so a device attached again before then looks unchanged.
    QTest::qWait(1500);
    LoopDevice again(registered);
    EXPECT_TRUE(QTest::qWaitFor([this] { return notifications.shown.size() == 2; }, 15000));
}

} // namespace
} // namespace fr::test
