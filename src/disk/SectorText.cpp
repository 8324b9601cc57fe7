#include "disk/SectorText.h"

#include <QStringList>
#include <array>

namespace fr::SectorText {

namespace {

// The bytes below 0x20 as the classic PC character set draws them (smileys, card suits,
// arrows), in glyphs every common font has; NUL, the most frequent byte of a sector, as a
// small dot. The two whose PC glyphs are Latin-1 characters (0x14, 0x15) take squares.
constexpr std::array<char16_t, 32> kLowControls = {
    0x2219, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x25A0, 0x25A1,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

// Windows-1252 gives the bytes 0x80-0x9F familiar glyphs. Its bullet is taken by 0x07 and
// its five unassigned places have none: these take shapes that no other byte uses.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x25AA, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x25AB, 0x017D, 0x25CA, 0x2591, 0x2018, 0x2019, 0x201C, 0x201D, 0x25CF,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x2592, 0x017E, 0x0178};

constexpr char16_t kDeleteGlyph = 0x2302; // the PC's "house"
// The soft hyphen is drawn only where a line breaks, which a cell never does.
constexpr std::uint8_t kSoftHyphen = 0xAD;
constexpr char16_t kHyphen = 0x2010;

} // namespace

QChar charOf(std::uint8_t byte) {
    if (byte < 0x20)
        return QChar(kLowControls[byte]);
    if (byte == 0x7F)
        return QChar(kDeleteGlyph);
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(kHighControls[byte - 0x80]);
    if (byte == kSoftHyphen)
        return QChar(kHyphen);
    return QChar(char16_t(byte));
}

std::optional<std::uint8_t> byteOf(QChar character) {
    // Few enough values to search: a grid holds at most 2,048 cells.
    for (int value = 0; value < 256; ++value)
        if (charOf(std::uint8_t(value)) == character)
            return std::uint8_t(value);
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
