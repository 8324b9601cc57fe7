#include "disk/Vwin32.h"

#include <cstring>
#include <deque>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace fr {
namespace {

std::uint32_t low(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// A sector driver that records every request and answers from a script: each answer says
// whether the control call succeeds and what it leaves in Flags and EAX. Without an answer
// a call succeeds with carry clear. A successful read fills the buffer with 0xAB.
class ScriptedDevice : public Vwin32Device {
public:
    struct Answer {
        bool succeeds = true;
        std::uint32_t flags = 0;
        std::uint32_t eax = 0;
    };
    // The disk-access block as the driver saw it, its fields copied out of the packed layout
    // so that the checks can take them by reference.
    struct Packet {
        std::uint32_t StartSector;
        std::uint16_t SectorCount;
        std::uint32_t Buffer;
    };
    struct Call {
        std::uint32_t code;
        RegisterPacket registers;
        bool pointsAtPacket;
        Packet packet;
        void* buffer;
    };

    bool canOpen = true;
    int opens = 0;
    int closes = 0;
    std::deque<Answer> answers;
    std::vector<Call> calls;
    std::size_t sectorBytes = 512;

    bool open() override {
        ++opens;
        return canOpen;
    }
    void close() override { ++closes; }
    bool control(std::uint32_t code, RegisterPacket& registers, DiskIoPacket* diskIo,
                 void* buffer) override {
        const DiskIoPacket block = diskIo ? *diskIo : DiskIoPacket{};
        Call call{code, registers, diskIo && registers.EBX == low(diskIo),
                  Packet{block.StartSector, block.SectorCount, block.Buffer}, buffer};
        calls.push_back(call);
        Answer answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        if (!answer.succeeds)
            return false;
        registers.Flags = answer.flags;
        if (answer.eax)
            registers.EAX = answer.eax;
        const bool read =
            (code == Vwin32::kInt25Code) || (code == Vwin32::kDriveInfoCode && registers.ESI == 0);
        if (read && diskIo && !(answer.flags & 1))
            std::memset(buffer, 0xAB, diskIo->SectorCount * sectorBytes);
        return true;
    }

    std::vector<std::uint32_t> codes() const {
        std::vector<std::uint32_t> result;
        for (const Call& call : calls)
            result.push_back(call.code);
        return result;
    }
    std::vector<std::uint32_t> lockForms() const {
        std::vector<std::uint32_t> result;
        for (const Call& call : calls)
            if (call.code == Vwin32::kIoctlCode)
                result.push_back(call.registers.ECX);
        return result;
    }
};

constexpr ScriptedDevice::Answer kCarry{true, 1, 0};

class Vwin32Test : public testing::Test {
protected:
    ScriptedDevice device;
    QString family = QStringLiteral("9x");
    QString release = QStringLiteral("Windows 98");
    Vwin32 vwin32{device, [this] { return family; },
                  [this] {
                      TWinVersion version;
                      version.Name = release;
                      return version;
                  }};
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(4 * 512);
};

TEST_F(Vwin32Test, FatThirtyTwoReleaseReadsThroughTheExtendedCall) {
    ASSERT_TRUE(vwin32.ReadSectors9x(3, 0x89ABCDEF, 4, buffer.data()));
    ASSERT_EQ(device.calls.size(), 1u);
    const ScriptedDevice::Call& call = device.calls[0];
    EXPECT_EQ(call.code, Vwin32::kDriveInfoCode);
    EXPECT_EQ(call.registers.EAX, 0x7305u);
    EXPECT_EQ(call.registers.ECX, 0xFFFFFFFFu);
    EXPECT_EQ(call.registers.EDX, 3u);
    EXPECT_EQ(call.registers.ESI, 0u);
    EXPECT_EQ(call.registers.Flags, 0u);
    EXPECT_TRUE(call.pointsAtPacket);
    EXPECT_EQ(call.packet.StartSector, 0x89ABCDEFu);
    EXPECT_EQ(call.packet.SectorCount, 4u);
    EXPECT_EQ(call.packet.Buffer, low(buffer.data()));
    EXPECT_EQ(call.buffer, buffer.data());
    EXPECT_EQ(buffer.back(), 0xAB);
    EXPECT_EQ(vwin32.LastError(), 0u);
}

TEST_F(Vwin32Test, ExtendedCallWithCarryFallsBackToAbsoluteRead) {
    device.answers = {kCarry};
    ASSERT_TRUE(vwin32.ReadSectors9x(3, 100, 1, buffer.data()));
    ASSERT_EQ(device.codes(), (std::vector<std::uint32_t>{6, 2}));
    const ScriptedDevice::Call& call = device.calls[1];
    EXPECT_EQ(call.registers.EAX, 2u); // C: counted from A = 0
    EXPECT_EQ(call.registers.ECX, 0xFFFFFFFFu);
    EXPECT_TRUE(call.pointsAtPacket);
    EXPECT_EQ(call.packet.StartSector, 100u);
    EXPECT_EQ(call.packet.SectorCount, 1u);
    EXPECT_EQ(call.buffer, buffer.data());
    EXPECT_EQ(vwin32.LastError(), 0u);
}

TEST_F(Vwin32Test, OnlyFatThirtyTwoReleasesTryTheExtendedCall) {
    struct Case {
        const char* name;
        std::uint32_t firstCode;
    };
    const Case cases[] = {
        {"Windows 95 Original", Vwin32::kInt25Code},
        {"Windows 95 with Service Pack 1", Vwin32::kInt25Code},
        {"windows 95 osr2", Vwin32::kDriveInfoCode},
        {"Windows 98 Second Edition", Vwin32::kDriveInfoCode},
        {"Windows Me", Vwin32::kDriveInfoCode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device.calls.clear();
        release = QString::fromLatin1(c.name);
        EXPECT_TRUE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
        EXPECT_EQ(device.codes(), std::vector<std::uint32_t>{c.firstCode});
    }
}

TEST_F(Vwin32Test, UnknownReleaseTakesTheClassicCalls) {
    Vwin32 unknown{device, [] { return QStringLiteral("9x"); },
                   []() -> TWinVersion {
                       throw std::runtime_error("no version");
                   }};
    EXPECT_TRUE(unknown.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_EQ(device.codes(), std::vector<std::uint32_t>{Vwin32::kInt25Code});
}

TEST_F(Vwin32Test, AbsoluteReadWithCarryReportsTheDosError) {
    release = QStringLiteral("Windows 95 Original");
    device.answers = {{true, 1, 0x1234}};
    EXPECT_FALSE(vwin32.ReadSectors9x(2, 0, 1, buffer.data()));
    EXPECT_EQ(vwin32.LastError(), 0x10034u);
    EXPECT_EQ(buffer.front(), 0);
}

TEST_F(Vwin32Test, WriteLocksBeforeAndUnlocksAfter) {
    device.answers = {kCarry}; // the FAT32 lock form is refused, the classic one is taken
    std::vector<std::uint8_t> data(512, 0x5A);
    ASSERT_TRUE(vwin32.WriteSectors9x(4, 77, 1, data.data(), 1));
    ASSERT_EQ(device.codes(), (std::vector<std::uint32_t>{1, 1, 6, 1}));
    EXPECT_EQ(device.lockForms(), (std::vector<std::uint32_t>{0x484A, 0x084A, 0x486A}));

    const RegisterPacket& lock = device.calls[1].registers;
    EXPECT_EQ(lock.EAX, 0x440Du);
    EXPECT_EQ(lock.EBX, 0x104u); // level 1, drive D:
    EXPECT_EQ(lock.EDX, 1u);
    const ScriptedDevice::Call& write = device.calls[2];
    EXPECT_EQ(write.registers.ESI, 1u);
    EXPECT_EQ(write.packet.StartSector, 77u);
    EXPECT_EQ(write.buffer, data.data());
    const RegisterPacket& unlock = device.calls[3].registers;
    EXPECT_EQ(unlock.EBX, 4u);
    EXPECT_EQ(unlock.EDX, 0u);
    EXPECT_EQ(data.front(), 0x5A);
}

TEST_F(Vwin32Test, FailedWriteStillUnlocksAndKeepsItsReason) {
    release = QStringLiteral("Windows 95 Original");
    device.answers = {{}, {true, 1, 0x0013}}; // lock taken, write-protected medium
    std::vector<std::uint8_t> data(512);
    EXPECT_FALSE(vwin32.WriteSectors9x(1, 0, 1, data.data(), 1));
    EXPECT_EQ(device.codes(), (std::vector<std::uint32_t>{1, 3, 1}));
    EXPECT_EQ(device.lockForms(), (std::vector<std::uint32_t>{0x084A, 0x086A}));
    EXPECT_EQ(vwin32.LastError(), 0x10013u);
}

TEST_F(Vwin32Test, RefusedLockWritesNothing) {
    device.answers = {kCarry, {true, 1, 0xAA05}};
    std::vector<std::uint8_t> data(512);
    EXPECT_FALSE(vwin32.WriteSectors9x(1, 0, 1, data.data(), 1));
    EXPECT_EQ(device.lockForms(), (std::vector<std::uint32_t>{0x484A, 0x084A}));
    EXPECT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(vwin32.LastError(), 0xAA05u);
}

TEST_F(Vwin32Test, LockPermissionsAreMaskedAndDroppedAboveLevelOne) {
    release = QStringLiteral("Windows 95 Original");
    EXPECT_TRUE(vwin32.LockVolume(1, 1, 0xFF));
    EXPECT_TRUE(vwin32.LockVolume(1, 2, 0xFF));
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].registers.EDX, 7u);
    EXPECT_EQ(device.calls[1].registers.EDX, 0u);
    EXPECT_EQ(device.calls[1].registers.EBX, 0x201u);
}

TEST_F(Vwin32Test, DriverIsOpenedOnceAndKeptOpen) {
    EXPECT_TRUE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_TRUE(vwin32.ReadSectors9x(1, 1, 1, buffer.data()));
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(vwin32.Vwin32HandleOpen());

    RegisterPacket registers;
    EXPECT_TRUE(vwin32.Vwin32Call(Vwin32::kCloseCode, registers));
    EXPECT_EQ(device.closes, 1);
    EXPECT_FALSE(vwin32.Vwin32HandleOpen());
    EXPECT_TRUE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_EQ(device.opens, 2);
}

TEST_F(Vwin32Test, RequestsFailWithTheirReason) {
    family = QStringLiteral("NT");
    EXPECT_FALSE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_EQ(vwin32.LastError(), 0x200000u);
    EXPECT_EQ(device.opens, 0);

    family = QStringLiteral("9x");
    device.answers = {{false}, {false}};
    EXPECT_FALSE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_EQ(vwin32.LastError(), 0x100000u);
    EXPECT_EQ(device.codes(), (std::vector<std::uint32_t>{6, 2}));

    device.answers = {};
    EXPECT_TRUE(vwin32.ReadSectors9x(1, 0, 1, buffer.data()));
    EXPECT_EQ(vwin32.LastError(), 0u);
}

TEST_F(Vwin32Test, ThisSystemHasNoDriver) {
    LinuxVwin32Device linuxDevice;
    Vwin32 onLinux{linuxDevice, [] { return QStringLiteral("9x"); },
                   [] {
                       return TWinVersion{};
                   }};
    std::vector<std::uint8_t> data(512);
    EXPECT_FALSE(onLinux.ReadSectors9x(3, 0, 1, data.data()));
    EXPECT_EQ(onLinux.LastError(), 0x300000u);
    EXPECT_FALSE(onLinux.WriteSectors9x(3, 0, 1, data.data(), 1));
    EXPECT_EQ(onLinux.LastError(), 0x300000u);
    EXPECT_FALSE(onLinux.Vwin32HandleOpen());
}

} // namespace
} // namespace fr
