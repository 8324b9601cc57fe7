#pragma once

#include <QByteArray>
#include <cstdint>

namespace fr {

// What one transfer moved: the bytes that came or went before it stopped, and the errno when
// it stopped on an error (0 when it ended at the end of the file or moved everything).
struct TransferResult {
    std::uint64_t bytes = 0;
    int error = 0;
};

// Whether an error of a transfer or an open says that the medium itself is gone (a stick
// pulled, a device removed, a network or user-space file system whose connection is lost),
// rather than that one place of it cannot be read: ENODEV, ENXIO, ENOTCONN, ECONNABORTED,
// ESTALE.
bool saysMediumGone(int error);
// The same for a transfer on `fd` that failed with `error`: also EIO and EBADF once the
// device behind fd has been removed from the system (its entry in the kernel's device list
// is gone, or the device reports no sectors any more). An ordinary unreadable sector of a
// device that is still there stays an unreadable place.
bool mediumGone(int fd, int error);

// One positioned read, retried when a signal interrupts it. A read that comes back short is
// left short: on a failing medium it stops right before the place that failed.
TransferResult readOnce(int fd, void* into, std::uint64_t length, std::uint64_t offset);
// Reads until `length` bytes, the end of the file or an error.
TransferResult readFully(int fd, void* into, std::uint64_t length, std::uint64_t offset);
// Writes until `length` bytes went or an error. A write that takes nothing is a full volume
// (ENOSPC), so a caller never spins on it.
TransferResult writeFully(int fd, const void* from, std::uint64_t length, std::uint64_t offset);

// A file or device opened for positioned transfers, direct (O_DIRECT) where asked and allowed.
// Direct transfers bypass the cache, so nothing stale comes from it and a failure covers
// exactly what failed. Memory that is not aligned for them goes through an aligned bounce
// buffer; a file system that takes a direct handle but then refuses its transfers (EINVAL) is
// read and written through the cache from then on.
class TransferFile {
public:
    // Direct transfers want memory, offsets and lengths on this boundary.
    static constexpr std::uint64_t kDirectAlignment = 4096;

    TransferFile() = default;
    ~TransferFile();
    TransferFile(const TransferFile&) = delete;
    TransferFile& operator=(const TransferFile&) = delete;

    // Opens `path` with `flags` (O_CLOEXEC is added), trying O_DIRECT first when `direct` is
    // set and opening normally when the file system refuses it. Returns 0 or the errno.
    [[nodiscard]] int open(const QByteArray& path, int flags, bool direct);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool isDirect() const { return direct_; }

    // readOnce / readFully / writeFully on this file, with the bounce buffer and the fallback.
    TransferResult readOnce(void* into, std::uint64_t length, std::uint64_t offset);
    TransferResult readFully(void* into, std::uint64_t length, std::uint64_t offset);
    TransferResult writeFully(const void* from, std::uint64_t length, std::uint64_t offset);

private:
    enum class Kind { ReadOnce, ReadFully, Write };
    TransferResult transfer(Kind kind, void* data, std::uint64_t length, std::uint64_t offset);
    TransferResult plain(Kind kind, void* data, std::uint64_t length, std::uint64_t offset) const;
    void dropDirect();

    int fd_ = -1;
    bool direct_ = false;
};

} // namespace fr
