#pragma once

#include <QChar>
#include <QString>

namespace fr::test {

// The drives a test gives the program: a `dosdevices` folder in its program folder where
// "x:" links to a drive's root folder and "x::" to its device or image file. The links live in
// the program folder and go with it.
class DosDevices {
public:
    // Makes <programDir>/dosdevices if missing.
    explicit DosDevices(const QString& programDir);

    QString folder() const { return folder_; }

    // Drive `letter` (either case) has its root at this folder: link "x:".
    void setRoot(QChar letter, const QString& rootFolder) const;
    // Drive `letter` reads from this device or image file: link "x::".
    void setDevice(QChar letter, const QString& deviceOrImage) const;
    // Both links of a drive, so the drive is not there any more.
    void remove(QChar letter) const;

private:
    QString linkName(QChar letter, const QString& suffix) const;
    void link(const QString& name, const QString& target) const;

    QString folder_;
};

} // namespace fr::test
