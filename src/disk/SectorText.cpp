#include "disk/SectorText.h"

#include <QStringList>
#include <array>

namespace fr::SectorText {

namespace {

// Windows-1252 gives the bytes 0x80-0x9F familiar glyphs. Its five unassigned places take
// control pictures that no other byte uses, so each byte still has a character of its own.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x2422, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x2424, 0x017D, 0x2425, 0x2426, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x2423, 0x017E, 0x0178};

constexpr char16_t kControlPictures = 0x2400; // U+2400 "NUL" symbol up to U+241F "US"
constexpr char16_t kDeletePicture = 0x2421;
// The soft hyphen is drawn only where a line breaks, which a cell never does.
constexpr std::uint8_t kSoftHyphen = 0xAD;
constexpr char16_t kHyphen = 0x2010;

} // namespace

QChar charOf(std::uint8_t byte) {
    if (byte < 0x20)
        return QChar(char16_t(kControlPictures + byte));
    if (byte == 0x7F)
        return QChar(kDeletePicture);
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHighControls[byte - 0x80]);
    if (byte == kSoftHyphen)
        return QChar(kHyphen);
    return QChar(char16_t(byte));
}

std::optional<std::uint8_t> byteOf(QChar character) {
    const char16_t code = character.unicode();
    if (code >= kControlPictures && code < kControlPictures + 0x20)
        return std::uint8_t(code - kControlPictures);
    if (code == kDeletePicture)
        return std::uint8_t(0x7F);
    if (code == kHyphen)
        return kSoftHyphen;
    for (std::size_t index = 0; index < kHighControls.size(); ++index)
        if (kHighControls[index] == code)
            return std::uint8_t(0x80 + index);
    // The Latin-1 range outside the control bytes, which are shown as pictures instead.
    if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF && code != kSoftHyphen))
        return std::uint8_t(code);
    return std::nullopt;
}

std::optional<int> lastRowFor(const QString& fileSystemName) {
    static const QStringList kDiskFileSystems = {
        // The names of the systems' own volumes, and the Linux native ones shown the same way.
        QStringLiteral("FAT"),   QStringLiteral("FAT16"), QStringLiteral("FAT32"),
        QStringLiteral("NTFS"),  QStringLiteral("ext2"),  QStringLiteral("ext3"),
        QStringLiteral("ext4"),  QStringLiteral("btrfs"), QStringLiteral("xfs"),
        QStringLiteral("jfs"),   QStringLiteral("f2fs"),  QStringLiteral("reiserfs"),
        QStringLiteral("nilfs2")};
    if (fileSystemName == QLatin1String("CDFS"))
        return 127;
    if (kDiskFileSystems.contains(fileSystemName))
        return 31;
    return std::nullopt;
}

std::vector<QString> cellsOf(const QByteArray& sector, int lastRow) {
    std::vector<QString> cells(std::size_t(lastRow + 1) * kBytesPerRow);
    for (std::size_t index = 0; index < cells.size() && index < std::size_t(sector.size()); ++index)
        cells[index] = charOf(std::uint8_t(sector[qsizetype(index)]));
    return cells;
}

Written applyCells(const QByteArray& sectorRead, const std::vector<QString>& cells) {
    Written written{sectorRead, std::nullopt};
    for (std::size_t index = 0; index < cells.size() && index < std::size_t(sectorRead.size());
         ++index) {
        if (cells[index].isEmpty())
            continue;
        const std::optional<std::uint8_t> byte = byteOf(cells[index].front());
        if (!byte) {
            written.foreignCell = index;
            return written;
        }
        written.sector[qsizetype(index)] = char(*byte);
    }
    return written;
}

} // namespace fr::SectorText
