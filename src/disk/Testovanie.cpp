#include "disk/Testovanie.h"

#include "core/PostReport.h"
#include "disk/GroupSweep.h"
#include "disk/SectorDevice.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

namespace fr {

namespace {

using Clock = std::chrono::steady_clock;

// The status line counts the groups in steps of this many.
constexpr std::uint64_t kCountStep = 20;

} // namespace

Testovanie::Testovanie(Setup setup, TestovanieHooks hooks)
    : setup_(std::move(setup)), hooks_(std::move(hooks)) {}

Testovanie::~Testovanie() {
    wait();
}

void Testovanie::start() {
    wait();
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void Testovanie::wait() {
    if (thread_.joinable())
        thread_.join();
}

void Testovanie::post(std::function<void()> work) const {
    postReport(hooks_.post, std::move(work));
}

std::uint64_t Testovanie::volumeBytes(const QString& device, const TDriveInfo& drive) {
    SectorDevice medium;
    if (!device.isEmpty() && medium.open(device, SectorDevice::Mode::Read) && medium.size() > 0)
        return medium.size();
    return std::uint64_t(drive.TotalClusters) * std::max<std::uint32_t>(drive.ClusterSize, 1);
}

std::uint64_t Testovanie::groupCount(const QString& device, const TDriveInfo& drive) {
    const std::uint64_t groupBytes = std::max<std::uint32_t>(drive.ClusterSize, 1);
    return (volumeBytes(device, drive) + groupBytes - 1) / groupBytes;
}

LiveJob::Description Testovanie::liveMap(QChar drive, std::uint64_t volumeBytes,
                                         std::uint64_t groupBytes, const QDateTime& started) {
    LiveJob::Description description;
    // The drive as the user knows it; a test writes nowhere.
    description.job.sourceName = QString(drive) + QLatin1Char(':');
    description.job.totalSize = (volumeBytes + groupBytes - 1) / groupBytes;
    description.job.stampStart(started);
    description.journalled = false;
    description.bytes = static_cast<std::int64_t>(volumeBytes);
    description.unitBytes = static_cast<std::int64_t>(groupBytes);
    description.createdBy = QStringLiteral("Fragmentrove 3.1");
    return description;
}

TestOutcome Testovanie::run() {
    running_ = true;
    TestOutcome outcome;
    const std::uint64_t groupBytes = std::max<std::uint32_t>(setup_.drive.ClusterSize, 1);
    const std::uint64_t volume = volumeBytes(setup_.device, setup_.drive);
    const std::uint64_t groups = (volume + groupBytes - 1) / groupBytes;
    outcome.groupBytes = groupBytes;
    outcome.volumeBytes = volume;
    GroupSweep sweep;
    if (groups > 0)
        outcome.failure = openMedium(sweep, volume);

    Clock::time_point lastReport{};
    std::uint64_t countShown = 0;
    int percentShown = 0;
    const auto report = [&](std::uint64_t tested, bool last) {
        const auto now = Clock::now();
        if (!last && now - lastReport < setup_.reportInterval)
            return;
        lastReport = now;
        const std::uint64_t count = tested / kCountStep * kCountStep;
        if (count > countShown && hooks_.counted) {
            countShown = count;
            post([hook = hooks_.counted, count] { hook(count); });
        }
        const int percent = static_cast<int>(
            std::llround(static_cast<double>(tested) / static_cast<double>(groups) * 100.0));
        if (percent != percentShown && hooks_.progress) {
            percentShown = percent;
            post([hook = hooks_.progress, percent] { hook(percent); });
        }
    };
    // The map on disk: the groups judged so far, those that failed among them. A commit that
    // fails is tried again at the next one; the last, at the end, decides what is reported.
    const auto commitMap = [&] {
        const auto judged =
            static_cast<std::int64_t>(std::min(volume, outcome.groupsTested * groupBytes));
        return setup_.live->commit({0, judged}, outcome.unreadableAreas, outcome.groupsTested);
    };
    // Judges one group, as the group's own read would have; false when the test is stopped.
    const auto judge = [&](std::uint64_t group, bool readable) {
        if (setup_.stop->load()) {
            outcome.stopped = true;
            return false;
        }
        if (!readable) {
            if (outcome.failedCount++ == 0 && hooks_.damaged)
                post(hooks_.damaged);
            if (setup_.listFailedGroups)
                outcome.failedGroups.push_back(group);
            const auto start = static_cast<std::int64_t>(group * groupBytes);
            const auto end = static_cast<std::int64_t>(std::min(volume, (group + 1) * groupBytes));
            outcome.unreadableAreas.add({start, end});
            failedGroups_ = outcome.failedCount;
        }
        outcome.groupsTested = group + 1;
        groupsTested_ = outcome.groupsTested;
        report(outcome.groupsTested, false);
        if (setup_.live && setup_.live->due())
            commitMap();
        return true;
    };

    // The sweep hands out the verdicts in group order, the groups after a source that ended
    // early (it shrank under the test) included.
    GroupSweep::Run run;
    bool going = outcome.failure.isEmpty();
    while (going && sweep.next(run))
        for (std::uint64_t group = run.first; going && group < run.first + run.count; ++group)
            going = judge(group, run.readable);
    if (sweep.mediumLost() != 0) {
        outcome.mediumGone = true;
        outcome.stopped = true;
    }
    sweep.stop();
    reads_ = sweep.reads();
    failedReads_ = sweep.failedReads();
    if (outcome.groupsTested > 0)
        report(outcome.groupsTested, true);
    if (setup_.live) {
        // The test has ended (done, stopped or out of reach) and is never resumed: its map
        // goes from the maps folder once the files it was also kept in have their last state.
        outcome.mapFailure = commitMap();
        setup_.live->retire(false);
    }
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    running_ = false;
    return outcome;
}

QString Testovanie::openMedium(GroupSweep& sweep, std::uint64_t volumeBytes) const {
    // The groups are the volume's, as the group count is: a BIN/CUE disc's data track, and a
    // track of raw sectors through its user data.
    const int error = sweep.open(setup_.device,
                                 std::max<std::uint32_t>(setup_.drive.ClusterSize, 1), volumeBytes);
    if (error == 0)
        return {};
    return setup_.device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace fr
