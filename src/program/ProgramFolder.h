#pragma once

#include <QString>

namespace fr {

// Where a running program finds what was installed with it. Installed, <prefix>/bin/fragmentrove
// finds the shipped program folder in <prefix>/share/fragmentrove and the media manager in
// <prefix>/libexec/fragmentrove; a build folder keeps the shipped folder at the same place
// relative to its programs and the manager beside them.
struct ProgramInstallation {
    QString shippedFolder; // empty when none was found
    QString mediaManager;  // empty when none was found
    QString lookedIn;      // where the shipped folder was looked for, for a message

    static ProgramInstallation of(const QString& applicationDir);
    // Of the program that runs, wherever it was started from.
    static ProgramInstallation ofThisProgram();
};

// The user's program folder, where the window and the command line work unless told otherwise:
// ${XDG_DATA_HOME:-~/.local/share}/fragmentrove.
QString userProgramFolder();

// Lays out `target` from the shipped program folder: adds the files that are new, refreshes the
// program's own files (languages, skins, help) when the shipped copy is newer, and never replaces
// what belongs to the user: the settings, the journal and the register. Only the folder's own
// layout is taken: the files at the top of `shipped` and those of its skins, help and languages,
// nothing else that may lie under it. A file arrives whole or not at all (written beside and
// renamed), with the shipped copy's time, so that a later refresh compares like with like.
//
// The media manager, when given, is placed as mmanager.exe, the name under which the window
// starts it and the session's autostart entry names it, and follows a newer build.
//
// Empty on success, else the file and the system's reason.
QString layOutProgramFolder(const QString& shipped, const QString& target,
                            const QString& mediaManager = {});

// Makes `folder` ready for a program to work in before it reads a file of it:
// - a new or empty folder (or one that holds only drive links and maps made ahead) is laid out
//   from the shipped one, the media manager included when `withManager`: a failure is `error`;
// - a program folder (it holds settings.ini) takes the newer and new shipped files, and a newer
//   media manager where it holds one: a failure is a `warning`, the program goes on with what
//   the folder holds;
// - any other folder is left as it is and refused: a mistyped folder must not fill up with the
//   program's files.
struct ProgramFolderPreparation {
    QString error;
    QString warning;
};
ProgramFolderPreparation prepareProgramFolder(const QString& folder,
                                              const ProgramInstallation& installation,
                                              bool withManager);

} // namespace fr
