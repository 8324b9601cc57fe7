#include "rescue/MediumEx.h"

#include "core/CopyJob.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "rescue/KopirovanieEex.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fr {

namespace {

QString systemText(int error) {
    return QString::fromStdString(std::generic_category().message(error));
}

} // namespace

MediumEx::MediumEx(Setup setup, MediumExHooks hooks)
    : setup_(std::move(setup)), hooks_(std::move(hooks)) {}

MediumEx::~MediumEx() {
    wait();
}

void MediumEx::start() {
    wait();
    thread_ = std::thread([this] { run(); });
}

void MediumEx::stop() {
    setup_.jobSignals->stopRequested = true;
}

void MediumEx::wait() {
    if (thread_.joinable())
        thread_.join();
}

void MediumEx::post(std::function<void()> work) const {
    postReport(hooks_.post, std::move(work));
}

MediumOutcome MediumEx::run() {
    MediumOutcome outcome;
    for (const QString& file : setup_.files) {
        // A stop ends the job: no later file is opened, and no empty copy of it is made.
        if (setup_.jobSignals->stopRequested.load()) {
            outcome.stopped = true;
            break;
        }
        outcome.failure = copyFile(file, outcome);
        if (!outcome.failure.isEmpty() || outcome.mediumGone)
            break;
    }
    if (outcome.failure.isEmpty() &&
        (setup_.jobSignals->stopRequested.load() || outcome.mediumGone))
        outcome.stopped = true;
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    return outcome;
}

namespace {

// Where a file listed by its native path goes (a name on its way holds a backslash, which
// drive form cannot): the same place below the destination folder, as a native path too.
QString nativeDestinationOf(const QString& file, const QString& folder, const DriveMap& drives) {
    const Drive* medium = drives.driveHolding(file);
    const QString root = drives.toNative(folder);
    if (!medium || root.isEmpty())
        return {};
    const QString below =
        medium->root == QLatin1String("/") ? file.mid(1) : file.mid(medium->root.size() + 1);
    return (root.endsWith('/') ? root : root + '/') + below;
}

} // namespace

QString MediumEx::copyFile(const QString& file, MediumOutcome& outcome) {
    const QString destination =
        file.startsWith('/') ? nativeDestinationOf(file, setup_.destinationFolder, setup_.drives)
                             : destinationOf(file, setup_.destinationFolder);
    const QString nativeSource = setup_.drives.toNative(file);
    const QString nativeDestination = setup_.drives.toNative(destination);
    const QString named = file + QStringLiteral(" -> ") + destination + QStringLiteral(": ");
    const qint64 size = nativeSource.isEmpty() ? 0 : std::max<qint64>(fileSize(nativeSource), 0);
    if (hooks_.fileStarted)
        post([hook = hooks_.fileStarted, file, destination, size] {
            hook(file, destination, static_cast<std::uint64_t>(size));
        });

    if (nativeSource.isEmpty() || nativeDestination.isEmpty())
        return named + QStringLiteral("the drive is not there any more");
    // Writing into a device or a pipe that happens to have the destination's name would
    // destroy a disk or hang the job.
    const FileKind kind = kindOf(nativeDestination);
    if (kind != FileKind::Missing && kind != FileKind::Regular)
        return named + QStringLiteral("the destination is not a file (a folder, device or pipe)");
    // Fill blocks written over the source would destroy what they stand for.
    if (sameFile(nativeSource, nativeDestination))
        return named + QStringLiteral("the destination is the source file itself");
    std::error_code madeFolders;
    std::filesystem::create_directories(
        std::filesystem::path(fileNameBytes(QFileInfo(nativeDestination).path()).toStdString()),
        madeFolders);
    if (madeFolders)
        return named + QString::fromStdString(madeFolders.message());

    CopyJob job;
    job.sourceName = file;
    job.destinationName = destination;
    job.totalSize = static_cast<std::uint64_t>(size);
    KopirovanieEexHooks hooks;
    // Every report passes here on this thread first: the failed reads go with it, so a page
    // can tell a damaged stretch while the file is copied.
    const std::uint64_t failedBefore = failedReads_.load();
    const KopirovanieEex* copying = nullptr;
    hooks.post = [this, &copying, failedBefore](std::function<void()> work) {
        if (copying)
            failedReads_ = failedBefore + copying->readCounts().failedReads;
        post(std::move(work));
    };
    hooks.progress = hooks_.progress;
    // The file's map, while it is copied: a whole-medium copy leaves no journal entry, so a
    // crash leaves only the map, which names the file and how far it got.
    std::shared_ptr<LiveJob> live;
    if (!setup_.programDir.isEmpty()) {
        job.stampStart(QDateTime::currentDateTime());
        QString error;
        LiveJob::Description description;
        description.job = job;
        description.journalled = false;
        description.bytes = static_cast<std::int64_t>(size);
        description.createdBy = QStringLiteral("Fragmentrove 3.1");
        live = LiveJob::begin(setup_.programDir, description, &error);
        if (!live)
            return named + error;
    }
    KopirovanieEex engine({job, setup_.jobSignals, setup_.buffers, setup_.fillMode, setup_.platform,
                           nativeSource, nativeDestination, live},
                          std::move(hooks));
    copying = &engine;
    const CopyOutcome copied = engine.run();
    if (live)
        live->retire(false);
    failedReads_ = failedBefore + engine.readCounts().failedReads;
    outcome.readFailed = outcome.readFailed || copied.readFailed;
    if (!copied.failure.isEmpty())
        return named + copied.failure;
    outcome.mediumGone = copied.mediumGone;
    if (copied.sourceDeletion == SourceDeletion::Kept)
        outcome.keptSources.append(file);
    else if (copied.sourceDeletion == SourceDeletion::Failed)
        outcome.undeletedSources.append(file + QStringLiteral(": ") + copied.deletionFailure);
    // An older, longer file of the same name would otherwise keep its tail behind the copy.
    if (!copied.mediumGone && copied.position >= job.totalSize &&
        ::truncate(fileNameBytes(nativeDestination).constData(),
                   static_cast<off_t>(copied.position)) != 0)
        return named + systemText(errno);
    return {};
}

} // namespace fr
