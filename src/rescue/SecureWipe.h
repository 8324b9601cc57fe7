#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <random>

namespace fr {

// How far a secure deletion got.
enum class WipeStage {
    Wiped,          // overwritten three times and deleted
    NotOpened,      // nothing was written: the file could not be opened for it
    PassFailed,     // a pass could not be written or flushed: the file is partly overwritten
    DeletionFailed, // overwritten three times, but the name could not be removed
    Stopped,        // stopped between two passes: overwritten `passesDone` times, not deleted
};

struct WipeOutcome {
    WipeStage stage = WipeStage::Wiped;
    int error = 0;  // the system's errno behind a failure (0 when wiped)
    QString reason; // the system's reason for a failure, empty when wiped
    int passesDone = 0;
    // Names the file had besides the one wiped (hard links): they keep the overwritten file.
    int otherNames = 0;
};

// What a path names, as secure deletion sees it: the name itself, never what a symbolic link
// points to, so that a link is refused rather than its target destroyed.
enum class WipeTargetKind {
    File,         // a regular file: the only thing that is overwritten
    Missing,      // nothing there
    Folder,       // a folder
    SymbolicLink, // a link (`linkTarget` says where to)
    NotAFile,     // a device, pipe or socket
};

struct WipeTarget {
    WipeTargetKind kind = WipeTargetKind::Missing;
    QString linkTarget; // for a symbolic link, the path it holds
    int otherNames = 0; // for a file, its hard links besides this name
};

// The one check both the window and the command line make before a wipe.
WipeTarget wipeTargetOf(const QString& nativePath);

// Told after each pass's bytes have reached the device, with the file still open: which pass
// (1 to 3) and the 4096-byte block it repeated over the file.
using WipePassDone = std::function<void(int pass, const QByteArray& block)>;
// Asked before each pass and before the deletion: true stops the wipe there, so a file is
// never left with one pass half written over another.
using WipeStopRequested = std::function<bool()>;

// The bytes repeated over a file in one pass.
constexpr int kWipeBlockSize = 4096;

// Overwrites the file at nativePath three times, each pass with a fresh block of random bytes
// from `random` repeated over the whole length, flushing each pass to the device, and then
// deletes it. The file's size never changes. The file is opened exclusively and without
// following a symbolic link, so a link put in its place cannot send the overwrite elsewhere;
// only a regular file whose owner may write it is overwritten (a read-only file is left as it
// is, even for root, who could otherwise write anything).
[[nodiscard]] WipeOutcome wipeFile(const QString& nativePath, std::mt19937& random,
                                   const WipePassDone& passDone = {},
                                   const WipeStopRequested& stopRequested = {});

} // namespace fr
