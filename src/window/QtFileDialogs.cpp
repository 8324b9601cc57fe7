#include "window/QtFileDialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace fr {

QString qtFilterOf(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        // "*.*" means every file here, also one without a dot.
        masks.replace(QLatin1String("*.*"), QLatin1String("*"));
        masks.replace(';', ' ');
        entries << parts[i] + QStringLiteral(" (") + masks + ')';
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtFileDialogs::openFile(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, QString(),
                                        qtFilterOf(filter));
}

QString QtFileDialogs::saveFile(const QString& title, const QString& filter,
                                const QString& presetName, int* selectedFilter) {
    const QString qtFilter = qtFilterOf(filter);
    QString chosenFilter;
    const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), title,
                                                      presetName, qtFilter, &chosenFilter);
    if (selectedFilter) {
        const QStringList entries = qtFilter.split(QStringLiteral(";;"));
        *selectedFilter = static_cast<int>(entries.indexOf(chosenFilter)) + 1;
    }
    return path;
}

} // namespace fr
