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
};

struct WipeOutcome {
    WipeStage stage = WipeStage::Wiped;
    int error = 0;  // the system's errno behind a failure (0 when wiped)
    QString reason; // the system's reason for a failure, empty when wiped
};

// Told after each pass's bytes have reached the device, with the file still open: which pass
// (1 to 3) and the 4096-byte block it repeated over the file.
using WipePassDone = std::function<void(int pass, const QByteArray& block)>;

// The bytes repeated over a file in one pass.
constexpr int kWipeBlockSize = 4096;

// Overwrites the file at nativePath three times, each pass with a fresh block of random bytes
// from `random` repeated over the whole length, flushing each pass to the device, and then
// deletes it. The file's size never changes. The file is opened exclusively and without
// following a symbolic link, so a link put in its place cannot send the overwrite elsewhere;
// only a regular file whose owner may write it is overwritten (a read-only file is left as it
// is, even for root, who could otherwise write anything).
[[nodiscard]] WipeOutcome wipeFile(const QString& nativePath, std::mt19937& random,
                                   const WipePassDone& passDone = {});

} // namespace fr
