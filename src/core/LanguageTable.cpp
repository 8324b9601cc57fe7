#include "core/LanguageTable.h"

#include "platform/FileAttributes.h"

#include <QFile>

namespace fr {

const QString& LanguageTable::operator[](int index) const {
    static const QString empty;
    if (index < 0 || index >= kSlots)
        return empty;
    return slots_[static_cast<size_t>(index)];
}

QString LanguageTable::load(const QString& path) {
    // A read needs no write permission; see SettingsFile::read.
    resetEX(path);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": cannot be read: ") + file.errorString();

    int slot = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (file.error() != QFileDevice::NoError)
            return path + QStringLiteral(": cannot be read: ") + file.errorString();
        if (slot == kSlots)
            return path + QStringLiteral(": has more than %1 lines").arg(kSlots);
        if (line.endsWith('\n')) {
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
        }
        slots_[static_cast<size_t>(slot++)] = QString::fromUtf8(line);
    }
    return {};
}

QString LanguageTable::fileName(int language) {
    static const char* const kFiles[] = {"lang.svk", "lang.cze", "lang.eng",
                                         "lang.spa", "lang.ger", "lang.fra"};
    if (language < 0 || language >= 6)
        return {};
    return QStringLiteral("lang/") + QLatin1String(kFiles[language]);
}

} // namespace fr
