#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace fr {

// The kernel's announcements of block devices: a disk or partition that appears, a medium
// put into a drive or a loop device attached (both "change"), and a device that goes. They
// come straight from the kernel, so no device manager or system bus needs to be running.
class BlockDeviceEvents : public QObject {
    Q_OBJECT
public:
    explicit BlockDeviceEvents(QObject* parent = nullptr);
    ~BlockDeviceEvents() override;

    // Starts listening; events that happen from here on are delivered, even those that come
    // before the event loop runs. Returns the reason of a failure, empty on success.
    QString open();

signals:
    // The device node ("/dev/sdb1") may now hold another medium than before.
    void mediumChanged(const QString& device);
    void removed(const QString& device);

private:
    void readEvents();

    int socket_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace fr
