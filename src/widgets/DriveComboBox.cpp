#include "widgets/DriveComboBox.h"

#include <QSignalBlocker>

namespace fr {

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
    connect(this, &QComboBox::currentIndexChanged, this, &DriveComboBox::noteSelection);
}

QString DriveComboBox::entryText(QChar letter, const QString& label) {
    const QString drive = QString(letter.toUpper()) + QLatin1Char(':');
    if (label.isEmpty())
        return drive;
    return drive + QStringLiteral(" [") + label.toUpper() + QLatin1Char(']');
}

void DriveComboBox::setDrives(const std::vector<std::pair<QChar, QString>>& lettersAndLabels) {
    const QChar keep = drive();
    {
        const QSignalBlocker blocker(this);
        clear();
        for (const auto& [letter, label] : lettersAndLabels)
            addItem(entryText(letter, label), QVariant(letter.toUpper()));
        const int kept = keep.isNull() ? -1 : findData(QVariant(keep));
        setCurrentIndex(kept >= 0 ? kept : (count() > 0 ? 0 : -1));
    }
    noteSelection();
}

QChar DriveComboBox::drive() const {
    const QVariant data = currentData();
    return data.isValid() ? data.value<QChar>() : QChar();
}

void DriveComboBox::setDrive(QChar letter) {
    const int index = findData(QVariant(letter.toUpper()));
    if (index >= 0)
        setCurrentIndex(index);
}

void DriveComboBox::noteSelection() {
    const QChar now = drive();
    if (now == lastDrive_)
        return;
    lastDrive_ = now;
    emit driveChanged(now);
}

} // namespace fr
