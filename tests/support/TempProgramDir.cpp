#include "support/TempProgramDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace fr::test {

QString TempProgramDir::shippedDataDir() {
    return QStringLiteral(FRAGMENTROVE_DATA_DIR);
}

TempProgramDir::TempProgramDir() {
    if (!dir_.isValid())
        throw std::runtime_error("cannot make a temporary program folder");
    const QDir shipped(shippedDataDir());
    QDirIterator files(shipped.path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString relative = shipped.relativeFilePath(files.next());
        QDir(dir_.path()).mkpath(QFileInfo(relative).path());
        QFile::copy(shipped.filePath(relative), file(relative));
    }
}

void TempProgramDir::write(const QString& name, const QByteArray& content) const {
    QFile out(file(name));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(content) != content.size())
        throw std::runtime_error(("cannot write " + file(name)).toStdString());
}

void TempProgramDir::remove(const QString& name) const {
    QFile::remove(file(name));
}

void TempProgramDir::writeSettings(std::initializer_list<int> values) const {
    QByteArray content;
    for (int value : values)
        content += QByteArray::number(value) + "\r\n";
    write(QStringLiteral("settings.ini"), content);
}

QByteArray numberedLanguageFile(const QString& prefix, int lineCount) {
    QByteArray content;
    for (int line = 0; line < lineCount; ++line)
        content += (prefix + QString::number(line)).toUtf8() + "\r\n";
    return content;
}

} // namespace fr::test
