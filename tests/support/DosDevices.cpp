#include "support/DosDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace fr::test {

DosDevices::DosDevices(const QString& programDir)
    : folder_(QDir(programDir).filePath(QStringLiteral("dosdevices"))) {
    if (!QDir().mkpath(folder_))
        throw std::runtime_error(("cannot make " + folder_).toStdString());
}

QString DosDevices::linkName(QChar letter, const QString& suffix) const {
    const QChar lower = letter.toLower();
    if (lower < QLatin1Char('a') || lower > QLatin1Char('z'))
        throw std::invalid_argument(("no drive letter: " + QString(letter)).toStdString());
    return QDir(folder_).filePath(QString(lower) + suffix);
}

void DosDevices::link(const QString& name, const QString& target) const {
    // A link is replaced whether or not its old target still exists.
    if (QFileInfo(name).isSymLink() || QFileInfo::exists(name))
        QFile::remove(name);
    if (!QFile::link(QFileInfo(target).absoluteFilePath(), name))
        throw std::runtime_error(("cannot link " + name + " to " + target).toStdString());
}

void DosDevices::setRoot(QChar letter, const QString& rootFolder) const {
    link(linkName(letter, QStringLiteral(":")), rootFolder);
}

void DosDevices::setDevice(QChar letter, const QString& deviceOrImage) const {
    link(linkName(letter, QStringLiteral("::")), deviceOrImage);
}

void DosDevices::remove(QChar letter) const {
    QFile::remove(linkName(letter, QStringLiteral(":")));
    QFile::remove(linkName(letter, QStringLiteral("::")));
}

} // namespace fr::test
