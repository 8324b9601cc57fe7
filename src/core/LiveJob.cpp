#include "core/LiveJob.h"

#include "core/RecordText.h"
#include "platform/DestinationLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fr {

namespace {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

std::int64_t ticksNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Writes all of `bytes` at `offset`; 0 or the errno.
int writeAll(int fd, const QByteArray& bytes, off_t offset) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.constData() + done,
                                     static_cast<size_t>(bytes.size() - done), offset + done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : EIO;
        done += put;
    }
    return 0;
}

// Whether another running program holds the record at `path`: the same job runs there.
bool heldByAnother(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace

int syncDestination(int fd) {
    if (::fdatasync(fd) == 0)
        return 0;
    const int error = errno;
    return error == EINVAL || error == EROFS || error == ENOSYS ? 0 : error;
}

QString LiveJob::idOf(const CopyJob& job) {
    // Position and size change from run to run; the names and the start do not. The names'
    // fields are taken without a large job's trailer, which holds its position.
    const QByteArray record = job.toRecord();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(RecordText::encode(job.sourceName));
    hash.addData(RecordText::encode(job.destinationName));
    hash.addData(QByteArrayView(record.constData() + 520, CopyJob::kRecordBytes - 520));
    return QString::fromLatin1(hash.result().toHex().left(16));
}

QString LiveJob::folderOf(const QString& programDir) {
    return programDir + QStringLiteral("/maps");
}

QString LiveJob::mapPathOf(const QString& programDir, const CopyJob& job) {
    return folderOf(programDir) + '/' + idOf(job) + QStringLiteral(".map");
}

LiveJob::LiveJob(QString folder, Description description)
    : folder_(std::move(folder)), description_(std::move(description)),
      mapPath_(folder_ + '/' + idOf(description_.job) + QStringLiteral(".map")),
      recordPath_(folder_ + '/' + idOf(description_.job) + QStringLiteral(".job")),
      started_(QDateTime::currentDateTime()) {
    committedPosition_ = description_.job.position.load();
}

std::shared_ptr<LiveJob> LiveJob::begin(const QString& programDir, Description description,
                                        QString* error) {
    const QString folder = folderOf(programDir);
    if (!QDir().mkpath(folder)) {
        *error = folder + QStringLiteral(": ") + reason(errno ? errno : EACCES);
        return nullptr;
    }
    std::shared_ptr<LiveJob> live(new LiveJob(folder, std::move(description)));
    const Description& d = live->description_;

    // What earlier runs of this job learnt, when their map describes a source of this size.
    // Without one, the journal's word is all there is: everything before the position is done.
    const std::int64_t from = static_cast<std::int64_t>(d.job.position.load()) * d.unitBytes;
    live->earlier_ = RescueMap::ofRun(d.bytes, {0, from}, {});
    live->earlier_.currentPosition = 0;
    if (d.earlier) {
        live->earlier_ = *d.earlier;
    } else if (QFileInfo::exists(live->mapPath_)) {
        const MapFileContents earlier = readMapFile(live->mapPath_);
        if (earlier.error.isEmpty() && earlier.map.size == d.bytes)
            live->earlier_ = earlier.map;
    }

    if (d.journalled && heldByAnother(live->recordPath_)) {
        *error = d.job.destinationName + QStringLiteral(": ") + destinationInUseReason();
        return nullptr;
    }
    if (d.journalled) {
        // Written and locked under a name of its own first: a program starting meanwhile never
        // sees a record that nobody holds, or half of one.
        const QString fresh = live->recordPath_ + QStringLiteral(".new");
        const QByteArray name = QFile::encodeName(fresh);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int failure = fd < 0 ? errno : 0;
        if (failure == 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            failure = errno;
        if (failure == 0)
            failure = writeAll(fd, d.job.toRecord(), 0);
        if (failure == 0 && ::fdatasync(fd) != 0)
            failure = errno;
        if (failure == 0 &&
            ::rename(name.constData(), QFile::encodeName(live->recordPath_).constData()) != 0)
            failure = errno;
        if (failure != 0) {
            if (fd >= 0)
                ::close(fd);
            ::unlink(name.constData());
            *error = live->recordPath_ + QStringLiteral(": ") + reason(failure);
            return nullptr;
        }
        live->recordFd_ = fd;
    }
    live->lastCommit_ = 0;
    if (const QString failure = live->commit({from, from}, {}, d.job.position.load());
        !failure.isEmpty()) {
        live->retire(true);
        *error = failure;
        return nullptr;
    }
    return live;
}

LiveJob::~LiveJob() {
    // Not retired: the job ended without its record reaching the journal. The record stays,
    // and with the lock gone the next start of the program journals it.
    if (recordFd_ >= 0)
        ::close(recordFd_);
}

bool LiveJob::due() const {
    const auto interval =
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(kInterval);
    return ticksNow() - lastCommit_.load() >= interval.count();
}

RescueMap LiveJob::lastMap() const {
    std::lock_guard guard(lock_);
    return last_;
}

QString LiveJob::writeMaps(const RescueMap& map) {
    const MapFileHeader header{description_.createdBy,
                               description_.commandLine,
                               started_,
                               QDateTime::currentDateTime(),
                               description_.job.sourceName,
                               description_.job.destinationName};
    QStringList paths = description_.alsoMapTo;
    paths.prepend(mapPath_);
    for (const QString& path : paths)
        if (const QString error = writeMapFile(path, map, header); !error.isEmpty())
            return error;
    syncFolder(folder_);
    return {};
}

RescueMap LiveJob::mapWith(ByteRange handled, const AreaList& unreadable) const {
    const RescueMap run = RescueMap::ofRun(description_.bytes, handled, unreadable);
    return RescueMap::withRun(earlier_, run, handled);
}

QString LiveJob::commit(ByteRange handled, const AreaList& unreadable, std::uint64_t position) {
    return commitMap(mapWith(handled, unreadable), position);
}

QString LiveJob::commitMap(const RescueMap& map, std::uint64_t position) {
    std::lock_guard guard(lock_);
    if (retired_)
        return {};
    lastCommit_ = ticksNow();
    if (const QString error = writeMaps(map); !error.isEmpty())
        return error;
    last_ = map;
    if (recordFd_ >= 0 && position != committedPosition_.load()) {
        CopyJob job = description_.job;
        job.position = position;
        const CopyJob::PositionField field = job.positionField();
        int failure = writeAll(recordFd_, field.bytes, field.offset);
        if (failure == 0 && ::fdatasync(recordFd_) != 0)
            failure = errno;
        if (failure != 0)
            return recordPath_ + QStringLiteral(": ") + reason(failure);
    }
    committedPosition_ = position;
    return {};
}

void LiveJob::retire(bool keepMap) {
    std::lock_guard guard(lock_);
    if (retired_)
        return;
    retired_ = true;
    if (recordFd_ >= 0) {
        ::unlink(QFile::encodeName(recordPath_).constData());
        ::close(recordFd_);
        recordFd_ = -1;
    }
    if (!keepMap)
        QFile::remove(mapPath_);
    syncFolder(folder_);
}

} // namespace fr
