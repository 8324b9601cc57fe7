#include "program/SettingsApplication.h"

#include "core/ProgramContext.h"
#include "core/SettingsFile.h"

namespace fr::SettingsApplication {

QString applyAtStartup(ProgramContext& context) {
    if (QString error =
            SettingsFile::read(context.file(QStringLiteral("settings.ini")), context.settings);
        !error.isEmpty())
        return error;
    context.fillBuffers.setUp(context.settings.blockSize, context.random);
    return reapply(context);
}

QString reapply(ProgramContext& context) {
    // Only the six languages have a file; any other number would name the program folder.
    const QString languageFile = LanguageTable::fileName(context.settings.language);
    if (languageFile.isEmpty())
        return context.file(QStringLiteral("settings.ini")) +
               QStringLiteral(", line 2 (language): %1 is no language; the languages are 0 to 5")
                   .arg(context.settings.language);
    if (QString error = context.language.load(context.file(languageFile)); !error.isEmpty())
        return error;
    context.helpFile = context.file(QStringLiteral("help/%1.hlp").arg(context.settings.language));
    return {};
}

} // namespace fr::SettingsApplication
