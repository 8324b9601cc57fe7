#include "disk/Testovanie.h"

#include "disk/ClusterRunReader.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <cmath>

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
    if (hooks_.post) {
        hooks_.post(std::move(work));
    } else if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    } else {
        work();
    }
}

TestOutcome Testovanie::run() {
    running_ = true;
    TestOutcome outcome;
    const std::uint64_t groups = groupCount(setup_.drive);
    ClusterRunReader reader(setup_.drive.ClusterSize, groups);
    outcome.failure = groups > 0 ? reader.open(setup_.device) : QString();

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

    for (std::uint64_t group = 0; outcome.failure.isEmpty() && group < groups; ++group) {
        if (setup_.stop->load()) {
            outcome.stopped = true;
            break;
        }
        if (!reader.readable(group)) {
            if (outcome.failedCount++ == 0 && hooks_.damaged)
                post(hooks_.damaged);
            if (setup_.listFailedGroups)
                outcome.failedGroups.push_back(group);
        }
        outcome.groupsTested = group + 1;
        reads_ = reader.counts().reads;
        failedReads_ = reader.counts().failedReads;
        report(outcome.groupsTested, false);
    }
    if (outcome.groupsTested > 0)
        report(outcome.groupsTested, true);
    if (hooks_.ended)
        post([hook = hooks_.ended, outcome] { hook(outcome); });
    running_ = false;
    return outcome;
}

} // namespace fr
