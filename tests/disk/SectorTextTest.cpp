// A sector shown as characters and read back: every byte has a visible character of its own,
// and what the user leaves empty or types changes exactly the bytes of those cells.

#include "disk/SectorText.h"

#include <gtest/gtest.h>
#include <set>

namespace fr {
namespace {

TEST(SectorTextTest, EveryByteHasItsOwnVisibleCharacterAndReadsBackAsItself) {
    std::set<char16_t> seen;
    for (int value = 0; value < 256; ++value) {
        const QChar shown = SectorText::charOf(std::uint8_t(value));
        EXPECT_TRUE(shown.isPrint() || shown == QChar(' ')) << value;
        EXPECT_TRUE(seen.insert(shown.unicode()).second) << value << " shares its character";
        EXPECT_EQ(SectorText::byteOf(shown), std::optional<std::uint8_t>(value)) << value;
    }
    EXPECT_EQ(SectorText::charOf(0x41), QChar('A'));
    EXPECT_EQ(SectorText::charOf(0xE9), QChar(0xE9)); // é, as Latin-1 has it
    // The invisible control characters themselves, and what no byte is shown as, are no byte.
    EXPECT_EQ(SectorText::byteOf(QChar(0x0A)), std::nullopt);
    EXPECT_EQ(SectorText::byteOf(QChar(0x85)), std::nullopt);
    EXPECT_EQ(SectorText::byteOf(QChar(0x0141)), std::nullopt); // Ł
}

TEST(SectorTextTest, EachCellStandsForExactlyOneByte) {
    QByteArray sector(512, '\0');
    for (int index = 0; index < sector.size(); ++index)
        sector[index] = char(index * 7);
    // A CD's rows over a shorter sector: only the sector's bytes are shown.
    std::vector<QString> cells = SectorText::cellsOf(sector, 127);
    ASSERT_EQ(cells.size(), 2048u);
    EXPECT_EQ(cells[511], QString(SectorText::charOf(std::uint8_t(511 * 7))));
    EXPECT_TRUE(cells[512].isEmpty());

    EXPECT_EQ(SectorText::applyCells(sector, cells).sector, sector);
    cells[3].clear();                 // keeps the byte read; the bytes after it stay in place
    cells[4] = QStringLiteral("Zq");  // the first character counts
    cells[600] = QStringLiteral("x"); // past the sector: nothing to change
    QByteArray expected = sector;
    expected[4] = 'Z';
    const SectorText::Written written = SectorText::applyCells(sector, cells);
    EXPECT_EQ(written.sector, expected);
    EXPECT_EQ(written.foreignCell, std::nullopt);

    cells[9] = QString(QChar(0x0141));
    EXPECT_EQ(SectorText::applyCells(sector, cells).foreignCell, std::optional<std::size_t>(9));
}

} // namespace
} // namespace fr
