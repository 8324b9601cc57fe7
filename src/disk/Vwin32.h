#pragma once

#include "core/RawDiskTypes.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace fr {

#pragma pack(push, 1)
// The register block of a device-control call, in the order the driver defines it. Bit 0 of
// Flags is the carry the DOS call returns: set means it failed, with AL or AX holding the
// DOS error code.
struct RegisterPacket {
    std::uint32_t EBX = 0;
    std::uint32_t EDX = 0;
    std::uint32_t ECX = 0;
    std::uint32_t EAX = 0;
    std::uint32_t EDI = 0;
    std::uint32_t ESI = 0;
    std::uint32_t Flags = 0;
};

// The DOS absolute-disk-access block the registers point at.
struct DiskIoPacket {
    std::uint32_t StartSector = 0;
    std::uint16_t SectorCount = 0;
    std::uint32_t Buffer = 0;
};
#pragma pack(pop)
static_assert(sizeof(RegisterPacket) == 28, "the register block is seven 32-bit values");
static_assert(sizeof(DiskIoPacket) == 10, "the disk-access block is packed to 10 bytes");

// The sector driver of the old 9x family, reached by device-control calls.
//
// The registers and the disk-access block have 32-bit address fields, which cannot hold a
// pointer of this process. They carry the low 32 bits of the addresses, so that the
// packets look as the driver expects; the real block and the caller's sector buffer are
// handed to the device alongside.
class Vwin32Device {
public:
    virtual ~Vwin32Device() = default;
    // False: the device cannot be opened.
    virtual bool open() = 0;
    virtual void close() = 0;
    // One device-control call; the registers are both input and output. diskIo and buffer
    // are the block and the sector buffer the registers point at (null when none). On a
    // write the device only reads from the buffer.
    virtual bool control(std::uint32_t code, RegisterPacket& registers, DiskIoPacket* diskIo,
                         void* buffer) = 0;
};

// This system has no such driver: opening it always fails.
class LinuxVwin32Device : public Vwin32Device {
public:
    bool open() override { return false; }
    void close() override {}
    bool control(std::uint32_t, RegisterPacket&, DiskIoPacket*, void*) override { return false; }
};

// Absolute sector access on the 9x family through the sector driver, with DOS calls.
//
// LastError keeps the reason of the last failure:
//   0           success
//   0x100000    the device-control call itself failed
//   0x200000    the driver was asked for on a system whose family is not "9x"
//   0x300000    the driver cannot be opened
//   0x10000+AL  an absolute read or write returned carry, AL being the DOS error code
//   AX          a volume lock or unlock returned carry
// The driver is opened on first use and then kept open for the life of the object.
class Vwin32 {
public:
    using FamilyQuery = std::function<QString()>;      // "NT", "9x", ...
    using VersionQuery = std::function<TWinVersion()>; // may throw; failures are swallowed

    // Device-control codes of the driver.
    static constexpr std::uint32_t kCloseCode = 0;
    static constexpr std::uint32_t kIoctlCode = 1;     // DOS generic IOCTL (volume locks)
    static constexpr std::uint32_t kInt25Code = 2;     // DOS absolute disk read
    static constexpr std::uint32_t kInt26Code = 3;     // DOS absolute disk write
    static constexpr std::uint32_t kDriveInfoCode = 6; // DOS extended absolute read/write

    Vwin32(Vwin32Device& device, FamilyQuery family, VersionQuery version);

    // One device-control call. Code 0 closes the driver; any other code opens it first when
    // needed (only on the 9x family). diskIo and buffer are passed on to the device.
    bool Vwin32Call(std::uint32_t code, RegisterPacket& registers, DiskIoPacket* diskIo = nullptr,
                    void* buffer = nullptr);

    // Drive numbers are 1-based: 1 = A:, 2 = B:, 3 = C:.
    bool LockVolume(std::uint8_t drive, std::uint8_t level, std::uint16_t permissions);
    bool UnlockVolume(std::uint8_t drive);

    // The buffer holds count sectors of the volume.
    bool ReadSectors9x(std::uint8_t drive, std::uint32_t firstSector, std::uint16_t count,
                       void* buffer);
    // Writes under a volume lock; a refused lock writes nothing. The mode is always 1 and
    // does not change the request.
    bool WriteSectors9x(std::uint8_t drive, std::uint32_t firstSector, std::uint16_t count,
                        const void* buffer, int mode = 1);

    std::uint32_t LastError() const { return lastError_; }
    bool Vwin32HandleOpen() const { return handleOpen_; }

private:
    bool fat32CapableRelease();
    bool transfer(bool write, std::uint8_t drive, std::uint32_t firstSector, std::uint16_t count,
                  void* buffer);
    bool volumeLockCall(std::uint32_t ebx, std::uint32_t permissions, std::uint32_t fat32Form,
                        std::uint32_t classicForm);

    Vwin32Device& device_;
    FamilyQuery family_;
    VersionQuery version_;
    // Process-wide values that sector requests from several threads share.
    std::atomic<std::uint32_t> lastError_{0};
    std::atomic<bool> handleOpen_{false}; // the driver handle is valid
    std::mutex openMutex_;
};

} // namespace fr
