#include "core/SettingsApplication.h"

#include "core/EncoderSettings.h"
#include "core/ProgramContext.h"
#include "core/SettingsFile.h"

namespace fr::SettingsApplication {

QString applyAtStartup(ProgramContext& context) {
    if (QString error =
            SettingsFile::read(context.file(QStringLiteral("settings.ini")), context.settings);
        !error.isEmpty())
        return error;
    context.fillBuffers.setUp(context.settings.blockSize, context.random);
    applyEncoderSettings(context.settings, context.encoderOptions);
    return reapply(context);
}

QString reapply(ProgramContext& context) {
    if (QString error =
            context.language.load(context.file(LanguageTable::fileName(context.settings.language)));
        !error.isEmpty())
        return error;
    context.helpFile = context.file(QStringLiteral("help/%1.hlp").arg(context.settings.language));
    return {};
}

} // namespace fr::SettingsApplication
