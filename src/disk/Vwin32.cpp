#include "disk/Vwin32.h"

namespace fr {

namespace {

constexpr std::uint32_t kCarry = 1;
constexpr std::uint32_t kPacketForm = 0xFFFFFFFFu; // ECX: the registers point at a block

// Error codes kept in LastError.
constexpr std::uint32_t kControlFailed = 0x100000;
constexpr std::uint32_t kNotNineXFamily = 0x200000;
constexpr std::uint32_t kCannotOpen = 0x300000;
constexpr std::uint32_t kTransferCarry = 0x10000;

// DOS functions and IOCTL minor codes.
constexpr std::uint32_t kExtendedAbsoluteDiskIo = 0x7305;
constexpr std::uint32_t kGenericIoctl = 0x440D;
constexpr std::uint32_t kLockFat32 = 0x484A;
constexpr std::uint32_t kLockClassic = 0x084A;
constexpr std::uint32_t kUnlockFat32 = 0x486A;
constexpr std::uint32_t kUnlockClassic = 0x086A;

// The 32-bit address fields record only the low half of a pointer; the device is given the
// pointer itself.
std::uint32_t lowAddress(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

bool carrySet(const RegisterPacket& registers) {
    return (registers.Flags & kCarry) != 0;
}

} // namespace

Vwin32::Vwin32(Vwin32Device& device, FamilyQuery family, VersionQuery version)
    : device_(device), family_(std::move(family)), version_(std::move(version)) {}

bool Vwin32::Vwin32Call(std::uint32_t code, RegisterPacket& registers, DiskIoPacket* diskIo,
                        void* buffer) {
    lastError_ = 0;
    if (code == kCloseCode) {
        const std::lock_guard lock(openMutex_);
        if (handleOpen_)
            device_.close();
        handleOpen_ = false;
        return true;
    }
    if (!handleOpen_) {
        // Two threads asking at once must not open the driver twice.
        const std::lock_guard lock(openMutex_);
        if (!handleOpen_) {
            if (family_() != QLatin1String("9x")) {
                lastError_ = kNotNineXFamily;
                return false;
            }
            if (!device_.open()) {
                lastError_ = kCannotOpen;
                return false;
            }
            handleOpen_ = true;
        }
    }
    if (!device_.control(code, registers, diskIo, buffer)) {
        lastError_ = kControlFailed;
        return false;
    }
    return true;
}

// Only the releases that know FAT32 have the extended absolute-disk call and the FAT32 form
// of the volume lock; the others go straight to the classic calls.
bool Vwin32::fat32CapableRelease() {
    QString name;
    try {
        name = version_().Name;
    } catch (...) {
        // An unknown release takes the classic calls, which every release has.
    }
    return name.contains(QLatin1String("95 OSR2"), Qt::CaseInsensitive) ||
           name.contains(QLatin1String("98"), Qt::CaseInsensitive) ||
           name.contains(QLatin1String("ME"), Qt::CaseInsensitive);
}

bool Vwin32::transfer(bool write, std::uint8_t drive, std::uint32_t firstSector,
                      std::uint16_t count, void* buffer) {
    lastError_ = 0;
    const DiskIoPacket request{firstSector, count, lowAddress(buffer)};
    bool done = false;

    if (fat32CapableRelease()) {
        DiskIoPacket packet = request;
        RegisterPacket registers;
        registers.EAX = kExtendedAbsoluteDiskIo;
        registers.EBX = lowAddress(&packet);
        registers.ECX = kPacketForm;
        registers.EDX = drive;
        registers.ESI = write ? 1 : 0;
        done = Vwin32Call(kDriveInfoCode, registers, &packet, buffer) && !carrySet(registers);
    }
    if (!done) {
        // The classic absolute-disk calls count drives from 0 (A = 0).
        DiskIoPacket packet = request;
        RegisterPacket registers;
        registers.EAX = static_cast<std::uint32_t>(drive - 1);
        registers.EBX = lowAddress(&packet);
        registers.ECX = kPacketForm;
        if (Vwin32Call(write ? kInt26Code : kInt25Code, registers, &packet, buffer)) {
            if (carrySet(registers))
                lastError_ = kTransferCarry + (registers.EAX & 0xFFu);
            else
                done = true;
        }
    }
    return done;
}

bool Vwin32::ReadSectors9x(std::uint8_t drive, std::uint32_t firstSector, std::uint16_t count,
                           void* buffer) {
    return transfer(false, drive, firstSector, count, buffer);
}

bool Vwin32::WriteSectors9x(std::uint8_t drive, std::uint32_t firstSector, std::uint16_t count,
                            const void* buffer, int /*mode*/) {
    if (!LockVolume(drive, 1, 1))
        return false;
    // The device only reads the buffer of a write.
    const bool written = transfer(true, drive, firstSector, count, const_cast<void*>(buffer));
    const std::uint32_t writeError = lastError_;
    const bool unlocked = UnlockVolume(drive);
    // A successful unlock must not hide why the write failed.
    if (unlocked)
        lastError_ = writeError;
    return written;
}

bool Vwin32::volumeLockCall(std::uint32_t ebx, std::uint32_t permissions, std::uint32_t fat32Form,
                            std::uint32_t classicForm) {
    lastError_ = 0;
    const auto call = [&](std::uint32_t form, bool keepCarry) {
        RegisterPacket registers;
        registers.EAX = kGenericIoctl;
        registers.EBX = ebx;
        registers.ECX = form;
        registers.EDX = permissions;
        if (!Vwin32Call(kIoctlCode, registers))
            return false;
        if (!carrySet(registers))
            return true;
        if (keepCarry)
            lastError_ = registers.EAX & 0xFFFFu;
        return false;
    };
    bool done = fat32CapableRelease() && call(fat32Form, false);
    if (!done)
        done = call(classicForm, true);
    return done;
}

bool Vwin32::LockVolume(std::uint8_t drive, std::uint8_t level, std::uint16_t permissions) {
    const std::uint32_t allowed = level > 1 ? 0 : (permissions & 7u);
    return volumeLockCall(level * 256u + drive, allowed, kLockFat32, kLockClassic);
}

bool Vwin32::UnlockVolume(std::uint8_t drive) {
    return volumeLockCall(drive, 0, kUnlockFat32, kUnlockClassic);
}

} // namespace fr
