#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace fr {

// A sector shown as text: one character a byte, sixteen bytes a row. Every byte value has its
// own visible character, and every such character reads back as exactly that byte, so a sector
// shown and written back unchanged is the same sector.
namespace SectorText {

constexpr int kBytesPerRow = 16;

// Latin-1 for the printable bytes; the control bytes, which Latin-1 leaves invisible, take
// the classic PC glyphs (0x00-0x1F, 0x7F) and the Windows-1252 ones (0x80-0x9F), and the
// soft hyphen (0xAD) a hyphen.
QChar charOf(std::uint8_t byte);
// The byte a character stands for; none for a character no byte is shown as.
std::optional<std::uint8_t> byteOf(QChar character);

// The last grid row a sector of this file system fills: 31 for the disk file systems (a
// 512-byte sector), 127 for a CD's (2,048 bytes). None for a medium whose file system is not
// recognised: nothing is read from it.
std::optional<int> lastRowFor(const QString& fileSystemName);

// The cell texts of rows 0 to lastRow, row after row, sixteen a row. Only the sector's bytes
// are shown: cells past its end are empty.
std::vector<QString> cellsOf(const QByteArray& sector, int lastRow);

// The sector with the cells' characters in place of the bytes read. An empty cell keeps the
// byte that was read, and a cell past the sector's end changes nothing, so every cell stands
// for exactly one byte. Returns the cell number that holds a character no byte is shown as,
// if any, in place of the sector.
struct Written {
    QByteArray sector;
    std::optional<std::size_t> foreignCell;
};
Written applyCells(const QByteArray& sectorRead, const std::vector<QString>& cells);

} // namespace SectorText

} // namespace fr
