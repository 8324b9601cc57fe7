#pragma once

#include <QComboBox>
#include <utility>
#include <vector>

namespace fr {

// The drive chooser: one entry a drive, "X: [LABEL]" in upper case, or "X:" for a drive
// without a volume label. Pages read the letter, and some look at the label in the text.
class DriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // Lists the drives in the order given. The selected drive stays selected when it is still
    // listed; otherwise the first one is.
    void setDrives(const std::vector<std::pair<QChar, QString>>& lettersAndLabels);

    // The selected drive letter in upper case; QChar() when the list is empty.
    QChar drive() const;
    // Selects a drive by its letter in either case; an unlisted letter changes nothing.
    void setDrive(QChar letter);

    // The text of one entry, as the list shows it.
    static QString entryText(QChar letter, const QString& label);

signals:
    void driveChanged(QChar letter);

private:
    void noteSelection();

    QChar lastDrive_;
};

} // namespace fr
