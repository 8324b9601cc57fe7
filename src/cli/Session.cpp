#include "cli/Session.h"

#include "cli/ExitStatus.h"
#include "cli/JsonLines.h"
#include "cli/JsonProgress.h"
#include "core/ProgramContext.h"
#include "core/SettingsFile.h"
#include "disk/RawDiskAccess.h"
#include "platform/FileName.h"
#include "program/ProgramFolder.h"
#include "program/SettingsApplication.h"
#include "rescue/InterruptedJobs.h"

#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <cstdio>

namespace fr::cli {

Session::Session(QStringList commandLine, Arguments arguments)
    : commandLine_(std::move(commandLine)), arguments_(std::move(arguments)),
      programDir_(QDir::cleanPath(QFileInfo(arguments_.hasValue(QStringLiteral("program-dir"))
                                                ? arguments_.value(QStringLiteral("program-dir"))
                                                : userProgramFolder())
                                      .absoluteFilePath())),
      prompts_(arguments_.has(QStringLiteral("yes")), arguments_.has(QStringLiteral("quiet"))),
      disk_(std::make_unique<RawDiskAccess>(programDir_, platform_)),
      context_(std::make_unique<ProgramContext>(programDir_, platform_, prompts_, *disk_)),
      summary_(std::make_unique<JobSummary>()) {
    summary_->command = arguments_.command;
    prompts_.setListener([this](const QString& account) { summary_->messages << account; });
    context_->random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
}

Session::~Session() = default;

QString Session::open() {
    if (QString error =
            SettingsFile::read(context_->file(QStringLiteral("settings.ini")), context_->settings);
        !error.isEmpty())
        return error;
    context_->fillBuffers.setUp(context_->settings.blockSize, context_->random);
    if (QString error = SettingsApplication::reapply(*context_); !error.isEmpty())
        return error;
    // A job that ended without being journalled (killed, a crash, a power cut) is journalled
    // now, where its data on disk ends, before any command looks at the journal.
    const InterruptedJobs interrupted = journalInterruptedJobs(programDir_, journalPath());
    for (const QString& error : interrupted.errors)
        note(error);
    for (const CopyJob& job : interrupted.journalled)
        note(QStringLiteral("a job that was running when the program ended is in the journal "
                            "now: %1 -> %2 (finish it with: fragmentrove-cli resume)")
                 .arg(job.sourceName, job.destinationName));
    return {};
}

QString Session::text(int index) const {
    return context_->text(index).trimmed();
}

DriveMap Session::drives() const {
    return DriveMap::build(programDir_);
}

QString Session::journalPath() const {
    return context_->file(QStringLiteral("databaza.fgv"));
}

ProgressLine::Words Session::progressWords() const {
    return {{text(251), text(252)}, text(257)};
}

int Session::refuse(const QString& message) const {
    note(message);
    return kRefused;
}

int Session::fail(const QString& message) const {
    note(message);
    return kFailed;
}

void Session::note(const QString& message) const {
    summary_->messages << terminalText(message);
    std::fputs(fileNameBytes(QStringLiteral("fragmentrove-cli: ") + terminalText(message) + '\n')
                   .constData(),
               stderr);
    std::fflush(stderr);
}

bool Session::quiet() const {
    return arguments_.has(QStringLiteral("quiet"));
}

bool Session::json() const {
    return arguments_.has(QStringLiteral("json"));
}

std::FILE* Session::progressOutput() const {
    return quiet() || json() ? nullptr : stdout;
}

std::unique_ptr<ProgressOutput> Session::progress() const {
    if (json())
        return std::make_unique<JsonProgress>(arguments_.command);
    return std::make_unique<ProgressLine>(progressOutput(), ProgressLine::outputIsTerminal(),
                                          progressWords());
}

void Session::entry(QJsonObject item) const {
    if (!json())
        return;
    item.insert(QStringLiteral("event"), QStringLiteral("entry"));
    item.insert(QStringLiteral("command"), arguments_.command);
    writeJsonLine(item);
}

int Session::finish(int exitStatus) const {
    if (json())
        summary_->write(exitStatus);
    return exitStatus;
}

void Session::tell(const QString& line) const {
    if (!quiet() && !json())
        say(line);
}

void Session::say(const QString& line) const {
    std::FILE* out = stdout;
    if (json()) {
        summary_->messages << line;
        out = stderr;
    }
    std::fputs(fileNameBytes(line + '\n').constData(), out);
    std::fflush(out);
}

} // namespace fr::cli
