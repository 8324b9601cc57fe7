#pragma once

#include <QString>
#include <QStringList>

namespace fr {

// Where a file the user names to receive output (a map, a saved sector) may be written. Output
// goes only to a new file or to a regular file that is none of the job's own files and none of
// the program folder's files; devices, folders, pipes and sockets are never written.
struct OutputTarget {
    enum class Verdict {
        Write,   // a new file, or an earlier map about to be brought up to date
        Ask,     // an existing file that holds something else: replaced only after a question
        Refused, // nothing may be written there
    };
    Verdict verdict = Verdict::Refused;
    // The file to write: a symbolic link is followed to the file it names, so that the link
    // stays and what it names receives the output.
    QString path;
    // The language text that explains a refusal or asks the question; the file follows it.
    int text = 0;
};

// What a job's output must leave alone.
struct OutputRules {
    // Native paths of the files the job reads or writes: its source, its destination, its image
    // file or device. Compared by device and inode, so a second name for one of them is found.
    QStringList jobFiles;
    // The program folder: its journal, register, settings, languages, skins and help.
    QString programDir;
    // An existing file that reads as a map may be replaced without a question (a map output).
    bool mapMayBeReplaced = false;
};

// The language texts of the verdicts.
constexpr int kTextOutputIsJobFile = 271;
constexpr int kTextOutputIsProgramFile = 272;
constexpr int kTextReplaceNonMap = 273;
constexpr int kTextReplaceExisting = 274;
constexpr int kTextOutputNotAFile = 235;
// Another job is writing the destination; the file follows.
constexpr int kTextDestinationInUse = 270;

// The verdict for output to `nativePath`. Nothing is opened for writing; an existing file is
// only read to tell a map from anything else.
OutputTarget checkOutputTarget(const QString& nativePath, const OutputRules& rules);

// Whether `nativePath` is one of the program folder's own files (journal, register, settings,
// and anything in its language, help, skin and drive folders), also under another name (a
// hard link, a link), or would be created among them.
bool isProgramFile(const QString& nativePath, const QString& programDir);

} // namespace fr
