#include "disk/MediaIdentity.h"

#include "disk/CdDisc.h"
#include "disk/DataTrack.h"

#include <QFile>
#include <QFileInfo>
#include <blkid/blkid.h>
#include <memory>
#include <optional>
#include <unistd.h>

namespace fr::MediaIdentity {

namespace {

struct ProbeResult {
    QString type, label, uuid, version;
};

using Probe = std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)>;

// A probe of a file or device by its name, or of a raw data track's volume: its user data,
// copied so that the probe sees them as a plain volume.
Probe probeOf(const QString& device, int& copyFd) {
    copyFd = -1;
    if (const std::optional<RawDataTrack> track = RawDataTrack::of(device)) {
        // The volume descriptors and a file system's tables sit in its first megabytes.
        constexpr std::uint64_t kProbedBytes = 8 << 20;
        copyFd = track->volumeCopy(kProbedBytes);
        Probe handle(copyFd < 0 ? nullptr : blkid_new_probe(), &blkid_free_probe);
        if (handle && blkid_probe_set_device(handle.get(), copyFd, 0, 0) != 0)
            handle.reset();
        return handle;
    }
    const QByteArray name = QFile::encodeName(CdDisc::dataTrackSource(device));
    return Probe(blkid_new_probe_from_filename(name.constData()), &blkid_free_probe);
}

bool probe(const QString& device, ProbeResult& result) {
    int copyFd = -1;
    Probe handle = probeOf(device, copyFd);
    const std::unique_ptr<int, void (*)(int*)> closeCopy(&copyFd, [](int* fd) {
        if (*fd >= 0)
            ::close(*fd);
    });
    if (!handle)
        return false;
    blkid_probe_enable_superblocks(handle.get(), 1);
    blkid_probe_set_superblocks_flags(handle.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                                        BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
    if (blkid_do_safeprobe(handle.get()) != 0)
        return false;
    const auto value = [&handle](const char* key) {
        const char* data = nullptr;
        if (blkid_probe_lookup_value(handle.get(), key, &data, nullptr) != 0 || !data)
            return QString();
        return QString::fromUtf8(data);
    };
    result = {value("TYPE"), value("LABEL"), value("UUID"), value("VERSION")};
    return !result.type.isEmpty();
}

} // namespace

std::uint32_t serialFromUuid(const QString& fileSystem, const QString& uuid) {
    QString digits = uuid;
    digits.remove('-');
    bool ok = false;
    std::uint32_t serial = 0;
    if (fileSystem == QLatin1String("ntfs"))
        serial = digits.right(8).toUInt(&ok, 16);
    else
        serial = digits.left(8).toUInt(&ok, 16);
    return ok ? serial : 0;
}

QString fileSystemName(const QString& type, const QString& version) {
    if (type == QLatin1String("vfat") || type == QLatin1String("msdos"))
        return version == QLatin1String("FAT32") ? QStringLiteral("FAT32") : QStringLiteral("FAT");
    if (type == QLatin1String("ntfs"))
        return QStringLiteral("NTFS");
    if (type == QLatin1String("iso9660") || type == QLatin1String("udf"))
        return QStringLiteral("CDFS");
    return type;
}

std::uint32_t serialFromTableOfContents(const std::vector<std::uint32_t>& trackStartLbas,
                                        std::uint32_t leadOutLba) {
    std::uint32_t serial = 0;
    for (const std::uint32_t lba : trackStartLbas) {
        const std::uint32_t address = lba + 150; // the two-second lead-in before sector 0
        const std::uint32_t minute = address / (60 * 75);
        const std::uint32_t second = (address / 75) % 60;
        const std::uint32_t frame = address % 75;
        serial += (minute << 16) + (second << 8) + frame;
    }
    if (!trackStartLbas.empty() && trackStartLbas.size() < 3)
        serial += leadOutLba - trackStartLbas.front();
    return serial;
}

TMediaIdentifier identify(const QString& device) {
    TMediaIdentifier identity;
    if (device.isEmpty())
        return identity;

    if (CdDisc::isCdSource(device)) {
        const CdDisc disc(device);
        if (disc.isOpen() && disc.firstTrackIsAudio()) {
            identity.SerialNumber =
                serialFromTableOfContents(disc.trackStartLbas(), disc.leadOutLba());
            identity.VolumeLabel = QStringLiteral("Audio CD");
            identity.FileSystemName = QStringLiteral("CDFS");
            return identity;
        }
    }

    ProbeResult found;
    if (!probe(device, found))
        return identity;
    identity.SerialNumber = serialFromUuid(found.type, found.uuid);
    identity.VolumeLabel = found.label;
    identity.FileSystemName = fileSystemName(found.type, found.version);
    return identity;
}

} // namespace fr::MediaIdentity
