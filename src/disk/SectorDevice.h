#pragma once

#include "disk/DataTrack.h"
#include "platform/Transfer.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace fr {

// A block device or image file opened for whole-sector transfers. Block devices are read
// with O_DIRECT into aligned memory, so a failure covers exactly the sectors that fail and
// nothing comes from or stays in the cache; writes reach the medium before they return.
// Every transfer is all or nothing: a short one is a failure. A BIN/CUE disc whose data track
// holds raw sectors is its track's user data, 2048 bytes a sector, and is only read.
class SectorDevice {
public:
    enum class Mode { Read, Write };

    SectorDevice() = default;
    ~SectorDevice();
    SectorDevice(const SectorDevice&) = delete;
    SectorDevice& operator=(const SectorDevice&) = delete;

    // False, with the reason, when it cannot be opened (no medium, no permission ...).
    bool open(const QString& path, Mode mode, QString* error = nullptr);
    void close();
    bool isOpen() const { return file_.isOpen(); }

    bool readAt(std::uint64_t offset, void* buffer, std::size_t bytes);
    bool writeAt(std::uint64_t offset, const void* buffer, std::size_t bytes);
    // The reason of the last failed transfer (errno), 0 after a short one.
    int lastError() const { return lastError_; }

    // The logical sector size: the device's own, 2048 for CD images, 512 for other images.
    std::uint32_t sectorSize() const { return sectorSize_; }
    // Bytes on the device or in the image file.
    std::uint64_t size() const { return size_; }
    bool isBlockDevice() const { return blockDevice_; }

private:
    bool transfer(std::uint64_t offset, void* buffer, std::size_t bytes, bool write);

    TransferFile file_;
    std::optional<RawDataTrack> rawTrack_;
    bool blockDevice_ = false;
    std::uint32_t sectorSize_ = 512;
    std::uint64_t size_ = 0;
    int lastError_ = 0;
};

} // namespace fr
