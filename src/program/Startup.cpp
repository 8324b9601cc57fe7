#include "program/Startup.h"

#include "core/ProgramContext.h"
#include "core/SettingsFile.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "platform/SingleInstance.h"
#include "program/AdminMessage.h"

#include <QFile>
#include <cstdio>

namespace fr {

namespace {

bool isNineXFamily(const QString& osName) {
    const QString first = osName.left(10);
    return first == QLatin1String("Windows 95") || first == QLatin1String("Windows 98") ||
           first == QLatin1String("Windows ME");
}

} // namespace

void reportStartupFailure(ProgramContext& context, const QString& reason) {
    std::fprintf(stderr, "fragmentrove: cannot start: %s\n", qUtf8Printable(reason));
    std::fflush(stderr);
    context.prompts.error(QStringLiteral("Fragmentrove cannot start.\n\n") + reason);
}

Startup::Startup(ProgramContext& context, QString runtimeDir)
    : context_(context), runtimeDir_(std::move(runtimeDir)) {}

Startup::Outcome Startup::fail(const QString& reason) {
    reportStartupFailure(context_, reason);
    return {false, 1, nullptr};
}

Startup::Outcome Startup::run() {
    // The settings are read whole here, the eleventh line included, so that a damaged file
    // is reported before any window appears.
    if (QString error =
            SettingsFile::read(context_.file(QStringLiteral("settings.ini")), context_.settings);
        !error.isEmpty())
        return fail(error);

    if (QString error = context_.language.load(
            context_.file(LanguageTable::fileName(context_.settings.language)));
        !error.isEmpty())
        return fail(error);

    if (!isNineXFamily(context_.platform.osName()) && !context_.platform.isAdmin()) {
        context_.prompts.information(adminRequiredMessage());
        context_.platform.exitNow(0);
        return {false, 0, nullptr};
    }

    auto instance = std::make_unique<SingleInstance>(runtimeDir_);
    QString lockError;
    switch (instance->acquire(&lockError)) {
    case SingleInstance::LockResult::Acquired:
        break;
    case SingleInstance::LockResult::HeldByAnotherCopy: {
        QString handOffError;
        if (!SingleInstance::sendHandOff(runtimeDir_, kHandOffTimeoutMs, &handOffError))
            std::fprintf(stderr, "fragmentrove: already running, but it did not come forward: %s\n",
                         qUtf8Printable(handOffError));
        return {false, 0, nullptr};
    }
    case SingleInstance::LockResult::Unavailable:
        // Without a lock file the program still works; only a second copy is not kept out.
        std::fprintf(stderr, "fragmentrove: cannot guard against a second copy: %s\n",
                     qUtf8Printable(lockError));
        break;
    }
    return {true, 0, std::move(instance)};
}

} // namespace fr
