#pragma once

#include "core/RawDiskTypes.h"
#include "window/Page.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace fr {

class TForm1;
struct ProgramContext;

// The sector-viewer page: one absolute sector of a drive as a grid of characters, one a
// byte, which the user may change cell by cell and write back; the sector saved to a file;
// and a summary of the drive's layout and identity.
class SectorViewerPage : public Page {
    Q_OBJECT
public:
    SectorViewerPage(TForm1& form, ProgramContext& context);

    // Shows the sector the number field names.
    void SpinEdit1Change();
    // Reads the drive and shows its sector 1.
    void SpeedButton28Click();
    // Saves the sector as read (not as edited) to a file.
    void SpeedButton29Click();
    // The drive information message.
    void SpeedButton30Click();
    // Writes the grid back to the sector, after the question. Returns whether it was written.
    bool SpeedButton31Click();
    void StringGrid1SelectCell(int column, int row);
    // Keeps one character in the cell being edited.
    void StringGrid1KeyDown();

    // The last grid row that belongs to the sector shown: 31 for 512 bytes, 127 for a CD's
    // 2,048; 0 until a recognised file system has been shown.
    int lastRow() const { return lastRow_; }
    // The sector as last read; empty when the last show read nothing.
    const QByteArray& sectorBuffer() const { return sectorBuffer_; }
    // Whether the buffer holds a sector read from the drive and number now chosen, so that it
    // may be written back or saved.
    bool holdsChosenSector() const;
    // Cell (column, row) of the grid, the rows the grid does not display included.
    QString cellText(int column, int row) const;
    void setCellText(int column, int row, const QString& text);

protected:
    void opened() override;
    void left() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillGrid();
    // Forgets the sector held: the grid empties and nothing can be written back or saved.
    void forgetSector();
    // The file the drive's sectors are read from, by device and inode; nullopt when it has
    // none that can be looked at.
    std::optional<std::pair<dev_t, ino_t>> deviceIdentityOf(QChar letter) const;
    std::vector<QString> gridCells() const;
    QChar selectedDrive() const;
    // Frees the drive's volume for a raw write; reports and returns false when it cannot be.
    bool volumeFreedForWriting(QChar letter);

    TForm1& form_;
    ProgramContext& context_;
    QByteArray sectorBuffer_;
    // Where the buffer's bytes came from; set only by a read that succeeded.
    struct HeldSector {
        QChar letter;
        std::pair<dev_t, ino_t> device;
        qint64 number = 0;
    };
    std::optional<HeldSector> held_;
    int lastRow_ = 0;
    // The sector's rows past the grid's displayed ones, which take part in a write back.
    std::vector<QString> hiddenRows_;
    int selectedColumn_ = 0;
    int selectedRow_ = 0;
    // The number field belongs to this page only while it is shown.
    bool shown_ = false;
};

} // namespace fr
