#include "platform/BlockDeviceEvents.h"

#include <QByteArrayList>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fr {

namespace {

// The multicast group on which the kernel itself sends its device events.
constexpr unsigned kKernelEvents = 1;

} // namespace

BlockDeviceEvents::BlockDeviceEvents(QObject* parent) : QObject(parent) {}

BlockDeviceEvents::~BlockDeviceEvents() {
    delete notifier_;
    if (socket_ >= 0)
        ::close(socket_);
}

QString BlockDeviceEvents::open() {
    if (socket_ >= 0)
        return {};
    const int fd =
        ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        return QStringLiteral("kernel device events: ") + QString::fromLocal8Bit(strerror(errno));
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEvents;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int reason = errno;
        ::close(fd);
        return QStringLiteral("kernel device events: ") + QString::fromLocal8Bit(strerror(reason));
    }
    socket_ = fd;
    notifier_ = new QSocketNotifier(socket_, QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &BlockDeviceEvents::readEvents);
    return {};
}

void BlockDeviceEvents::readEvents() {
    char buffer[8192];
    for (;;) {
        sockaddr_nl sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t size = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                        reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (size <= 0)
            return; // drained (EAGAIN), or an overrun that the next event follows anyway
        // Only the kernel speaks with port 0; anything else on the group is not trusted.
        if (sender.nl_pid != 0)
            continue;
        QByteArray action, subsystem, name;
        for (const QByteArray& field : QByteArray(buffer, size).split('\0')) {
            if (field.startsWith("ACTION="))
                action = field.mid(7);
            else if (field.startsWith("SUBSYSTEM="))
                subsystem = field.mid(10);
            else if (field.startsWith("DEVNAME="))
                name = field.mid(8);
        }
        if (subsystem != "block" || name.isEmpty() || name.contains(".."))
            continue;
        const QString device = QStringLiteral("/dev/") + QString::fromUtf8(name);
        if (action == "add" || action == "change")
            emit mediumChanged(device);
        else if (action == "remove")
            emit removed(device);
    }
}

} // namespace fr
