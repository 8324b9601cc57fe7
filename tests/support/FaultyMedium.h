#pragma once

#include "core/ByteRange.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

namespace fr {
// Shows a range as "[start, end)" in a test's failure message.
void PrintTo(const ByteRange& range, std::ostream* out);
} // namespace fr

namespace fr::test {

// A run of bytes of a medium, from start up to but not including end: the engine's own, so a
// test can hand a medium's bad ranges to what the engine reports.
using ByteRange = fr::ByteRange;

struct FaultyMediumOptions {
    // The medium file's name inside the mount.
    QString name = QStringLiteral("disk.img");
    // Each failed read takes this long, as on a medium that is dying slowly.
    int delayMs = 0;
    // Good reads deliver at most this many bytes a second, as a slow drive does; 0: no limit.
    qint64 bytesPerSecond = 0;
    // A read that meets a bad range after some good bytes returns those bytes short instead of
    // failing whole, as a split request does; a read that begins on a bad byte still fails.
    bool shortReads = false;
    // Requests are answered at once, so a slow failing read holds up neither a stat nor
    // another read (a single-threaded medium makes every caller wait behind it).
    bool multithreaded = false;
    // Writes to the medium and to files created in the mount reach the disk at once but count
    // as lost by powerCut() until an fsync or fdatasync of their file: a disk with a cache
    // that a power cut empties.
    bool keepsOnlySynced = false;
};

// A medium whose chosen byte ranges cannot be read: a file served by faultyfs, where every
// read(2) that touches a bad range fails whole with EIO, and writes pass through to a backing
// file. Files can be created in the mount beside the medium (they never fail), so a copy's
// destination can sit on the same disk. Unmounts, and waits for faultyfs to end, when it goes
// out of scope.
class FaultyMedium {
public:
    using Options = FaultyMediumOptions;

    // A medium of `size` bytes holding pattern() from offset 0, backed by a temporary file.
    // Throws std::runtime_error with the reason when it cannot be mounted.
    explicit FaultyMedium(qint64 size, const QList<ByteRange>& badRanges = {},
                          const Options& options = {});
    // A medium backed by an existing image file, which is read and written in place.
    explicit FaultyMedium(const QString& imageFile, const QList<ByteRange>& badRanges = {},
                          const Options& options = {});
    ~FaultyMedium();
    FaultyMedium(const FaultyMedium&) = delete;
    FaultyMedium& operator=(const FaultyMedium&) = delete;

    // Whether this machine can mount one (/dev/fuse, fusermount3, the faultyfs binary); when
    // not, `reason` says what is missing. For GTEST_SKIP() in the test body.
    static bool available(QString* reason = nullptr);

    // The medium file in the mount, where reads fail.
    QString path() const;
    // The backing file: the same bytes, always readable.
    QString backingPath() const { return backing_; }
    QString mountPoint() const;
    qint64 size() const { return size_; }

    // Replaces the bad ranges while mounted, e.g. to make a place readable again.
    void setBadRanges(const QList<ByteRange>& ranges);
    QList<ByteRange> badRanges() const;
    // The power goes: with Options::keepsOnlySynced, every byte written to the medium or a
    // file in the mount since that file's last sync is put back as it was, and files are cut
    // back to their synced size. Without it, nothing changes.
    void powerCut();
    // Read requests of the medium so far, and how many of them failed with EIO.
    qint64 reads() const;
    qint64 failedReads() const;
    // The bytes the medium's reads delivered so far (failed reads deliver none).
    qint64 bytesRead() const;

    // The medium goes away as a pulled stick or a lost connection does: faultyfs is killed, and
    // every later request of the mount (a read under way too) fails with ENOTCONN or
    // ECONNABORTED. The dead mount stays until unmount().
    void disconnect();
    // Unmounts now; also done by the destructor. Safe to call twice.
    void unmount();

    // The byte a pattern-filled medium holds at `offset`: every 8-byte word differs, so a read
    // from the wrong place never passes for a right one.
    static char patternByte(qint64 offset);
    static QByteArray pattern(qint64 offset, qint64 length);

    static QString rangesText(const QList<ByteRange>& ranges);

private:
    void mount(const QList<ByteRange>& badRanges, const Options& options);
    QString controlFile(const QString& name) const;
    qint64 statsValue(const QString& key) const;

    QTemporaryDir dir_;
    QString backing_;
    QString name_;
    qint64 size_ = 0;
    std::unique_ptr<QProcess> process_;
    bool mounted_ = false;
};

} // namespace fr::test
