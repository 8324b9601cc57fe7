#include "disk/Testovanie.h"

#include "core/PostReport.h"
#include "disk/BlockReader.h"
#include "disk/CdDisc.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

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

TestOutcome Testovanie::run() {
    running_ = true;
    TestOutcome outcome;
    const std::uint64_t groups = groupCount(setup_.drive);
    const std::uint64_t groupBytes = std::max<std::uint32_t>(setup_.drive.ClusterSize, 1);
    outcome.groupBytes = groupBytes;
    BlockReader reader;
    if (groups > 0)
        outcome.failure = openMedium(reader, groups * groupBytes);

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
            outcome.unreadableAreas.add({start, start + static_cast<std::int64_t>(groupBytes)});
            failedGroups_ = outcome.failedCount;
        }
        outcome.groupsTested = group + 1;
        groupsTested_ = outcome.groupsTested;
        report(outcome.groupsTested, false);
        return true;
    };

    // The reader hands out the groups in order: a run of readable ones, or one that failed.
    // A group's own read fails as a whole when the medium ends inside it, so the short group
    // that holds the medium's end is unreadable although its bytes before the end did read;
    // so is every group after it, which the reader would no longer hand out on their grid.
    BlockReader::Chunk chunk;
    std::uint64_t group = 0;
    bool going = outcome.failure.isEmpty();
    bool mediumEnded = false;
    while (going && !mediumEnded && group < groups && reader.next(chunk)) {
        if (chunk.failed) {
            going = judge(group++, false);
        } else {
            for (std::uint64_t whole = chunk.length / groupBytes; going && whole > 0; --whole)
                going = judge(group++, true);
            mediumEnded = chunk.length % groupBytes != 0;
        }
    }
    while (going && mediumEnded && group < groups)
        going = judge(group++, false);
    if (reader.mediumLost() != 0) {
        outcome.mediumGone = true;
        outcome.stopped = true;
    }
    reader.stop();
    reads_ = reader.reads();
    failedReads_ = reader.failedReads();
    if (outcome.groupsTested > 0)
        report(outcome.groupsTested, true);
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    running_ = false;
    return outcome;
}

QString Testovanie::openMedium(BlockReader& reader, std::uint64_t volumeBytes) const {
    BlockReader::Options options;
    options.unit = std::max<std::uint32_t>(setup_.drive.ClusterSize, 1);
    options.until = volumeBytes;
    // A failed block is searched one cluster at a time: on a dying disk a failed read can take
    // seconds of retries, and every one more strains the medium, while good reads are cheap.
    // A CD image described by a cue sheet keeps its sectors in the file beside it.
    const int error = reader.open(CdDisc::dataTrackSource(setup_.device), options);
    if (error == 0)
        return {};
    return setup_.device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace fr
