#include "window/SectorViewerPage.h"

#include "core/ProgramContext.h"
#include "disk/RawDiskAccess.h"
#include "disk/SectorText.h"
#include "platform/DriveMap.h"
#include "platform/FileDialogs.h"
#include "platform/MountTable.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/SpinEdit.h"
#include "window/OutputChoice.h"
#include "window/TForm1.h"

#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QTableWidget>
#include <sys/stat.h>

namespace fr {

namespace {

constexpr int kColumns = SectorText::kBytesPerRow;

// Gigabytes in the message's short form: three significant digits.
QString gigabytes(double bytes) {
    QString text = QLocale().toString(bytes / 1073741824.0, 'g', 3);
    return text.replace('e', 'E') + QStringLiteral(" GB");
}

} // namespace

SectorViewerPage::SectorViewerPage(TForm1& form, ProgramContext& context)
    : Page(form, form.SpeedButton7), form_(form), context_(context) {
    connect(form_.SpeedButton28, &FlatButton::clicked, this, &SectorViewerPage::SpeedButton28Click);
    connect(form_.SpeedButton29, &FlatButton::clicked, this, &SectorViewerPage::SpeedButton29Click);
    connect(form_.SpeedButton30, &FlatButton::clicked, this, &SectorViewerPage::SpeedButton30Click);
    connect(form_.SpeedButton31, &FlatButton::clicked, this, [this] { SpeedButton31Click(); });
    connect(form_.SpinEdit1, &SpinEdit::changed, this, [this] {
        if (shown_)
            SpinEdit1Change();
    });
    QTableWidget* grid = form_.StringGrid1;
    connect(grid, &QTableWidget::currentCellChanged, this,
            [this](int row, int column) { StringGrid1SelectCell(column, row); });
    // A cell edited by any means, typed or pasted, keeps one character.
    connect(grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        StringGrid1SelectCell(item->column(), item->row());
        StringGrid1KeyDown();
    });
    grid->installEventFilter(this);
    // Another drive's sector number names other bytes: the one held is not shown for it.
    connect(form_.DriveComboBox1, &DriveComboBox::driveChanged, this, [this] {
        if (shown_)
            forgetSector();
    });
}

void SectorViewerPage::opened() {
    shown_ = true;
    // The dispatcher has set drive C and sector 1; the page shows that sector.
    SpinEdit1Change();
}

void SectorViewerPage::left() {
    shown_ = false;
}

bool SectorViewerPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_.StringGrid1 && event->type() == QEvent::KeyPress)
        StringGrid1KeyDown();
    return Page::eventFilter(watched, event);
}

QChar SectorViewerPage::selectedDrive() const {
    return form_.DriveComboBox1->drive();
}

void SectorViewerPage::SpinEdit1Change() {
    const QChar letter = selectedDrive();
    const qint64 sector = form_.SpinEdit1->value();
    // Whatever this show does not read is not shown, and cannot be written back or saved.
    forgetSector();
    context_.disk.GetDriveInfo(QString(letter) + QStringLiteral(":\\"), context_.driveInfo);
    const TMediaIdentifier identity = context_.disk.GetMediaIdentifier(letter);
    // A medium without a recognised file system is not read.
    if (const std::optional<int> lastRow = SectorText::lastRowFor(identity.FileSystemName)) {
        lastRow_ = *lastRow;
        // Taken before the read, so that a drive that changed meanwhile does not match it.
        const std::optional<std::pair<dev_t, ino_t>> device = deviceIdentityOf(letter);
        QByteArray buffer(qsizetype(context_.driveInfo.BytesPerSector), '\0');
        // A drive without sectors to read (an audio CD) has nothing to show, which is no
        // failure; a sector number is never negative, whatever set the field.
        const bool read =
            buffer.isEmpty() ||
            (sector >= 0 && context_.disk.ReadSectors(driveNumber(letter), std::uint64_t(sector), 1,
                                                      buffer.data()));
        if (!read)
            context_.prompts.error(context_.text(231));
        else if (!buffer.isEmpty() && device) {
            sectorBuffer_ = buffer;
            held_ = HeldSector{letter, *device, sector};
        }
    }
    fillGrid();
}

void SectorViewerPage::forgetSector() {
    held_.reset();
    sectorBuffer_.clear();
    fillGrid();
}

std::optional<std::pair<dev_t, ino_t>> SectorViewerPage::deviceIdentityOf(QChar letter) const {
    const DriveMap drives = context_.disk.drives();
    const Drive* drive = drives.drive(letter);
    struct stat file {};
    if (!drive || drive->device.isEmpty() ||
        ::stat(QFile::encodeName(drive->device).constData(), &file) != 0)
        return std::nullopt;
    return std::pair{file.st_dev, file.st_ino};
}

bool SectorViewerPage::holdsChosenSector() const {
    const QChar letter = selectedDrive();
    return held_ && !sectorBuffer_.isEmpty() && held_->letter == letter &&
           held_->number == form_.SpinEdit1->value() && deviceIdentityOf(letter) == held_->device;
}

void SectorViewerPage::fillGrid() {
    QTableWidget* grid = form_.StringGrid1;
    const std::vector<QString> cells = SectorText::cellsOf(sectorBuffer_, lastRow_);
    const QSignalBlocker quiet(grid);
    // Rows after the sector's last one stay empty, also after a longer sector was shown.
    grid->clearContents();
    const int shownRows = std::min(grid->rowCount(), lastRow_ + 1);
    for (int row = 0; row < shownRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            grid->setItem(row, column,
                          new QTableWidgetItem(cells[std::size_t(row * kColumns + column)]));
    hiddenRows_.assign(cells.begin() + std::min<std::ptrdiff_t>(std::ptrdiff_t(cells.size()),
                                                                shownRows * kColumns),
                       cells.end());
    // Only a sector that was read can be written back or saved.
    form_.SpeedButton29->setEnabled(held_.has_value());
    form_.SpeedButton31->setEnabled(held_.has_value());
}

QString SectorViewerPage::cellText(int column, int row) const {
    const QTableWidget* grid = form_.StringGrid1;
    if (row < grid->rowCount()) {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
    }
    const std::size_t index = std::size_t((row - grid->rowCount()) * kColumns + column);
    return column < kColumns && index < hiddenRows_.size() ? hiddenRows_[index] : QString();
}

void SectorViewerPage::setCellText(int column, int row, const QString& text) {
    QTableWidget* grid = form_.StringGrid1;
    if (row < grid->rowCount()) {
        if (QTableWidgetItem* item = grid->item(row, column))
            item->setText(text);
        else
            grid->setItem(row, column, new QTableWidgetItem(text));
        return;
    }
    const std::size_t index = std::size_t((row - grid->rowCount()) * kColumns + column);
    if (column < kColumns && index < hiddenRows_.size())
        hiddenRows_[index] = text;
}

std::vector<QString> SectorViewerPage::gridCells() const {
    std::vector<QString> cells;
    for (int row = 0; row <= lastRow_; ++row)
        for (int column = 0; column < kColumns; ++column)
            cells.push_back(cellText(column, row));
    return cells;
}

void SectorViewerPage::SpeedButton28Click() {
    const QChar letter = selectedDrive();
    context_.disk.GetDriveInfo(QString(letter) + QStringLiteral(":\\"), context_.driveInfo);
    const QString shown = form_.DriveComboBox1->currentText();
    if (context_.driveInfo.BytesPerSector == 0 && context_.driveInfo.TotalClusters == 0) {
        // A label in brackets after "X: " says a medium is there, if not a readable one.
        const QString label = shown.mid(3, 2);
        if (label == QLatin1String("[]") || label.isEmpty()) {
            context_.prompts.information(context_.text(172));
            return;
        }
    }
    if (form_.SpinEdit1->value() == 1)
        SpinEdit1Change();
    else
        form_.SpinEdit1->setValue(1);
    if (context_.driveInfo.TotalClusters == 0 && shown.mid(4, 8) == QLatin1String("AUDIO CD"))
        context_.prompts.information(context_.text(171));
}

void SectorViewerPage::SpeedButton29Click() {
    // Only bytes read from the drive and number chosen are saved as that sector.
    if (!holdsChosenSector()) {
        context_.prompts.error(context_.text(231));
        return;
    }
    form_.SaveDialog1.title = context_.text(114);
    const QString path = context_.fileDialogs->saveFile(form_.SaveDialog1.title,
                                                        form_.SaveDialog1.filter, {}, nullptr);
    form_.SaveDialog1.title = context_.text(32);
    if (path.isEmpty())
        return;
    // Never over a device, a folder or the program's own files; another file only when asked.
    const QString target = chooseOutputFile(context_, path, {{}, context_.programDir, false});
    if (target.isEmpty())
        return;
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(sectorBuffer_) != sectorBuffer_.size() || !file.flush()) {
        context_.prompts.information(context_.text(183) + '\r' +
                                     shownPath(target, context_.programDir) + ": " +
                                     file.errorString());
        return;
    }
}

void SectorViewerPage::SpeedButton30Click() {
    const QChar letter = selectedDrive();
    const TMediaIdentifier identity = context_.disk.GetMediaIdentifier(letter);
    const TDriveInfo& info = context_.driveInfo;
    const QStringList lines = {
        context_.text(115),
        QString(),
        context_.text(116) + gigabytes(double(info.TotalBytes)),
        // Counted from the free clusters, as the cluster figures below are.
        context_.text(117) + gigabytes(double(info.FreeClusters) * info.ClusterSize),
        QString(),
        context_.text(118) + QString::number(info.TotalClusters * info.SectorsPerCluster),
        context_.text(119) + QString::number(info.TotalClusters),
        context_.text(120) + QString::number(info.BytesPerSector) + QStringLiteral(" b"),
        context_.text(121) + QString::number(info.ClusterSize) + QStringLiteral(" b"),
        QString(),
        context_.text(122) + identity.VolumeLabel,
        context_.text(123) + QString::number(identity.SerialNumber),
        context_.text(124) + identity.FileSystemName,
    };
    context_.prompts.information(lines.join('\r'));
}

bool SectorViewerPage::volumeFreedForWriting(QChar letter) {
    const DriveMap drives = context_.disk.drives();
    const Drive* drive = drives.drive(letter);
    const QString device = drive ? drive->device : QString();
    if (device.isEmpty()) {
        context_.prompts.error(context_.text(231));
        return false;
    }
    QString why;
    // Sectors written under a mounted file system would corrupt it, and it them.
    if (VolumeMounts::holdsRootFileSystem(device) ||
        (VolumeMounts::isMounted(device) && !VolumeMounts::unmount(device, &why)) ||
        VolumeMounts::inUse(device, &why)) {
        context_.prompts.error(context_.text(233) + (why.isEmpty() ? QString() : '\r' + why));
        return false;
    }
    return true;
}

bool SectorViewerPage::SpeedButton31Click() {
    // A sector that was not read from this drive and number is never written there.
    if (!holdsChosenSector()) {
        context_.prompts.error(context_.text(231));
        return false;
    }
    if (!context_.prompts.confirm(context_.text(137) + QStringLiteral("\r\r") + context_.text(138) +
                                  QStringLiteral("\r\r") + context_.text(139)))
        return false;
    const SectorText::Written written = SectorText::applyCells(sectorBuffer_, gridCells());
    const QChar letter = selectedDrive();
    const qint64 sector = form_.SpinEdit1->value();
    // The sector is written whole: a buffer of another drive's size would write too little or
    // past its end.
    TDriveInfo now;
    context_.disk.GetDriveInfo(QString(letter), now);
    if (written.foreignCell || sector < 0 || sectorBuffer_.isEmpty() ||
        now.BytesPerSector != std::uint32_t(sectorBuffer_.size())) {
        context_.prompts.error(context_.text(231));
        return false;
    }
    if (!volumeFreedForWriting(letter))
        return false;
    if (!context_.disk.WriteSectors(driveNumber(letter), std::uint64_t(sector), 1,
                                    written.sector.constData())) {
        context_.prompts.error(context_.text(231));
        return false;
    }
    sectorBuffer_ = written.sector;
    return true;
}

void SectorViewerPage::StringGrid1SelectCell(int column, int row) {
    selectedColumn_ = column;
    selectedRow_ = row;
}

void SectorViewerPage::StringGrid1KeyDown() {
    const QString text = cellText(selectedColumn_, selectedRow_);
    if (text.isEmpty())
        return;
    QString kept = text.left(1);
    // A character no byte is shown as cannot be written: the cell shows the byte read again.
    if (!SectorText::byteOf(kept.front())) {
        const std::size_t index = std::size_t(selectedRow_ * kColumns + selectedColumn_);
        kept = selectedColumn_ < kColumns && index < std::size_t(sectorBuffer_.size())
                   ? QString(SectorText::charOf(std::uint8_t(sectorBuffer_[qsizetype(index)])))
                   : QString();
    }
    if (kept != text)
        setCellText(selectedColumn_, selectedRow_, kept);
}

} // namespace fr
