#pragma once

#include <QString>

namespace fr::test {

struct LoopDeviceOptions {
    bool readOnly = false;
    // The device's logical sector size; 0 keeps the kernel's 512.
    int sectorSize = 0;
};

// A block device /dev/loopN over a file (an image, or a FaultyMedium's medium), so code that
// opens devices can be tested on one. Detached when it goes out of scope; a loop device over a
// FaultyMedium must go first, so declare the medium before it.
//
// Reads of the device through the page cache come in whole cache blocks, and one failing
// sector fails them all; open it with O_DIRECT to read exact sectors.
class LoopDevice {
public:
    using Options = LoopDeviceOptions;

    // Throws std::runtime_error with losetup's message when the file cannot be attached.
    explicit LoopDevice(const QString& file, const Options& options = {});
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    // Whether loop devices can be attached here (root, /dev/loop-control, losetup); when not,
    // `reason` says what is missing. For GTEST_SKIP() in the test body.
    static bool available(QString* reason = nullptr);

    // The device node, e.g. "/dev/loop0".
    QString path() const { return path_; }

    // Detaches now; also done by the destructor. Safe to call twice.
    void detach();

private:
    QString path_;
};

} // namespace fr::test
