#include "window/Fonts.h"

#include <QFile>
#include <QFontDatabase>

namespace fr {

QString loadProgramFonts() {
    QString missing;
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        const QString path = QString::fromLatin1(file);
        if (!QFile::exists(path) || QFontDatabase::addApplicationFont(path) < 0)
            missing += (missing.isEmpty() ? QString() : QStringLiteral(", ")) + path;
    }
    return missing;
}

} // namespace fr
