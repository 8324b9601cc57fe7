#pragma once

#include "core/CopyJob.h"
#include "core/ErrorMarker.h"
#include "core/FillBuffers.h"
#include "core/Id3Records.h"
#include "core/JobSignals.h"
#include "core/LanguageTable.h"
#include "core/MediaAccess.h"
#include "core/RawDiskTypes.h"
#include "core/Settings.h"

#include <QString>
#include <memory>
#include <mutex>
#include <random>

namespace fr {

class FileDialogs;
class Platform;
class Prompts;

// Everything the windows and workers of one running program share: plain values and the
// services they reach through small interfaces, no engine. There is no other program-wide
// state: tests build as many contexts as they like.
struct ProgramContext {
    ProgramContext(QString programDir, Platform& platform, Prompts& prompts, MediaAccess& disk)
        : programDir(std::move(programDir)), platform(platform), prompts(prompts), disk(disk) {}

    // The folder the program was started in; all of its own files live there.
    const QString programDir;
    Platform& platform;
    Prompts& prompts;

    Settings settings;
    LanguageTable language;
    FillBuffers fillBuffers;
    // The drives' media: what each holds, and its sectors.
    MediaAccess& disk;
    // The tags of the tracks to be ripped, kept while the program runs, and the track whose
    // tag the tag dialog edits (0 until the copy-music page chooses one).
    Id3Records id3Records;
    std::uint8_t currentId3Track = 0;
    // The help file of the chosen language.
    QString helpFile;
    // Seeded from the clock when the main window is set up.
    std::mt19937 random;

    // The current copy or image job as the window knows it (its worker has a copy of its own
    // and reports back), what the page tells it, and whether a read failed. Each start makes
    // new signals; the worker keeps a share of its own, so a retired one never sees the next.
    CopyJob copyJob;
    std::shared_ptr<JobSignals> jobSignals = std::make_shared<JobSignals>();
    ErrorMarker errorMarker;
    // The drive information the whole-medium pages last read.
    TDriveInfo driveInfo;

    // The file dialogs of the pages: the window's own, or a test's.
    FileDialogs* fileDialogs = nullptr;
    // ".ima" or ".iso" as last chosen in the disk-image page's save dialog; empty until then.
    QString mediumImageExtension;

    // Held by every access to the register of damaged media: a job thread may register a
    // medium while the page reads or rewrites the file.
    std::mutex registerLock;

    // A file of the program folder, for a name such as "settings.ini" or "lang/lang.eng".
    QString file(const QString& name) const { return programDir + '/' + name; }
    // Language string N.
    const QString& text(int index) const { return language[index]; }
};

} // namespace fr
