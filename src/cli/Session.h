#pragma once

#include "cli/Arguments.h"
#include "cli/JobSummary.h"
#include "cli/ProgressLine.h"
#include "cli/ProgressOutput.h"
#include "cli/TerminalPrompts.h"
#include "platform/DriveMap.h"
#include "platform/LinuxPlatform.h"

#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <memory>

namespace fr {
class RawDiskAccess;
struct ProgramContext;
} // namespace fr

namespace fr::cli {

// One run of the command line: its arguments, the program folder as the window would see it
// (settings, language table, drive letters), and the way it talks to the user.
class Session {
public:
    Session(QStringList commandLine, Arguments arguments);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Reads the program folder's settings and language table; the reason, naming the file,
    // when they cannot be read.
    QString open();

    const Arguments& arguments() const { return arguments_; }
    ProgramContext& context() { return *context_; }
    const ProgramContext& context() const { return *context_; }
    TerminalPrompts& prompts() { return prompts_; }
    Platform& platform() { return platform_; }
    QString programDir() const { return programDir_; }
    // Language string N of the settings' language, without the spaces some end with (they
    // run into a value in the window).
    QString text(int index) const;
    DriveMap drives() const;
    QString journalPath() const;
    // The command as the user gave it, for the first lines of a map file.
    QString commandLine() const { return commandLine_.join(' '); }
    ProgressLine::Words progressWords() const;

    // Messages on standard error, beginning with the program's name; these return the exit
    // status they stand for.
    int refuse(const QString& message) const;
    int fail(const QString& message) const;
    void note(const QString& message) const;
    // A line of the command's result on standard output; on standard error with --json,
    // where standard output is the script's.
    void say(const QString& line) const;
    // A line that tells what the job is doing (what it copies, which pass it writes): on
    // standard output like the progress, and left out with --quiet as the progress is, and
    // with --json, whose events tell it.
    void tell(const QString& line) const;
    bool quiet() const;
    // --json: standard output carries JSON events and the summary, one object a line.
    bool json() const;
    // Where the progress goes: standard output, or nowhere with --quiet.
    std::FILE* progressOutput() const;
    // The job's progress as the user asked for it: JSON events with --json (also with
    // --quiet), else the progress line.
    std::unique_ptr<ProgressOutput> progress() const;
    // An item a listing command lists, as a JSON "entry" event; nothing without --json.
    void entry(QJsonObject item) const;

    // What the run learnt, written as the last JSON line by finish().
    JobSummary& summary() const { return *summary_; }
    // The program ends with `exitStatus`: the summary is written with --json. Returns the
    // status.
    int finish(int exitStatus) const;

private:
    QStringList commandLine_;
    Arguments arguments_;
    QString programDir_;
    LinuxPlatform platform_;
    TerminalPrompts prompts_;
    std::unique_ptr<RawDiskAccess> disk_;
    std::unique_ptr<ProgramContext> context_;
    std::unique_ptr<JobSummary> summary_;
};

} // namespace fr::cli
