#include "rescue/SecureWipe.h"

#include "platform/FileName.h"
#include "platform/Transfer.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

// One write covers this many repetitions of the block: large runs let a pass go at the
// device's speed instead of the system call's.
constexpr std::uint64_t kRunBytes = 4 * 1024 * 1024;
static_assert(kRunBytes % kWipeBlockSize == 0);

WipeOutcome failed(WipeStage stage, int error) {
    return {stage, error, QString::fromLocal8Bit(std::strerror(error))};
}

// Closes the file however the wipe ends.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd_(fd) {}
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

QByteArray freshBlock(std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray block(kWipeBlockSize, Qt::Uninitialized);
    for (char& value : block)
        value = static_cast<char>(byte(random));
    return block;
}

// Writes the block over the whole file from offset 0, the last repetition cut at the file's
// end, and flushes it to the device. Returns 0 or the errno.
int overwrite(int fd, const QByteArray& block, QByteArray& run) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return errno;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    const std::uint64_t runBytes = std::min<std::uint64_t>(kRunBytes, size);
    // Whole repetitions of the block, so every run starts at a multiple of its size.
    run.resize(
        static_cast<qsizetype>((runBytes + kWipeBlockSize - 1) / kWipeBlockSize * kWipeBlockSize));
    for (qsizetype at = 0; at < run.size(); at += kWipeBlockSize)
        std::memcpy(run.data() + at, block.constData(), kWipeBlockSize);
    for (std::uint64_t offset = 0; offset < size;) {
        const std::uint64_t length = std::min<std::uint64_t>(run.size(), size - offset);
        const TransferResult written = writeFully(fd, run.constData(), length, offset);
        if (written.error)
            return written.error;
        offset += length;
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

int otherNamesOf(const struct stat& status) {
    return status.st_nlink > 1 ? static_cast<int>(status.st_nlink - 1) : 0;
}

} // namespace

WipeTarget wipeTargetOf(const QString& nativePath) {
    const QByteArray path = fileNameBytes(nativePath);
    struct stat named {};
    if (path.isEmpty() || ::lstat(path.constData(), &named) != 0)
        return {};
    if (S_ISLNK(named.st_mode))
        return {WipeTargetKind::SymbolicLink, QFile::symLinkTarget(nativePath), 0};
    if (S_ISDIR(named.st_mode))
        return {WipeTargetKind::Folder, {}, 0};
    if (!S_ISREG(named.st_mode))
        return {WipeTargetKind::NotAFile, {}, 0};
    return {WipeTargetKind::File, {}, otherNamesOf(named)};
}

WipeOutcome wipeFile(const QString& nativePath, std::mt19937& random, const WipePassDone& passDone,
                     const WipeStopRequested& stopRequested) {
    const QByteArray path = fileNameBytes(nativePath);
    // Looked at before it is opened: opening a device can act on it (a watchdog, a tape).
    struct stat named {};
    if (::lstat(path.constData(), &named) != 0)
        return failed(WipeStage::NotOpened, errno);
    if (S_ISLNK(named.st_mode))
        return {WipeStage::NotOpened, ELOOP,
                QStringLiteral("It is a symbolic link; choose the file it points to.")};
    if (!S_ISREG(named.st_mode))
        return {WipeStage::NotOpened, EINVAL,
                QStringLiteral("It is not a file (a folder, device, pipe or socket).")};
    // Without following a link, and not waiting on a pipe, should either be swapped in after
    // the look; the identity check below then refuses what was opened.
    const OpenFile file(::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.fd() < 0)
        return failed(WipeStage::NotOpened, errno);
    struct stat status {};
    if (::fstat(file.fd(), &status) != 0)
        return failed(WipeStage::NotOpened, errno);
    if (status.st_dev != named.st_dev || status.st_ino != named.st_ino)
        return {WipeStage::NotOpened, EAGAIN,
                QStringLiteral("It was replaced while it was being opened.")};
    // The read-only attribute is the owner's write permission, and it is not touched.
    if (!(status.st_mode & S_IWUSR))
        return failed(WipeStage::NotOpened, EACCES);
    // Another program that holds a lock on the file is using it.
    if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0)
        return failed(WipeStage::NotOpened, errno == EWOULDBLOCK ? EBUSY : errno);
    const int flags = ::fcntl(file.fd(), F_GETFL);
    if (flags < 0 || ::fcntl(file.fd(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return failed(WipeStage::NotOpened, errno);

    const int otherNames = otherNamesOf(status);
    QByteArray run;
    for (int pass = 1; pass <= 3; ++pass) {
        if (stopRequested && stopRequested())
            return {WipeStage::Stopped, 0, {}, pass - 1, otherNames};
        const QByteArray block = freshBlock(random);
        if (const int error = overwrite(file.fd(), block, run)) {
            WipeOutcome outcome = failed(WipeStage::PassFailed, error);
            outcome.passesDone = pass - 1;
            outcome.otherNames = otherNames;
            return outcome;
        }
        if (passDone)
            passDone(pass, block);
    }
    if (stopRequested && stopRequested())
        return {WipeStage::Stopped, 0, {}, 3, otherNames};
    if (::unlink(path.constData()) != 0) {
        WipeOutcome outcome = failed(WipeStage::DeletionFailed, errno);
        outcome.passesDone = 3;
        outcome.otherNames = otherNames;
        return outcome;
    }
    return {WipeStage::Wiped, 0, {}, 3, otherNames};
}

} // namespace fr
