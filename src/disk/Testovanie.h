#pragma once

#include "core/AreaList.h"
#include "core/LiveJob.h"
#include "core/PostReport.h"
#include "core/RawDiskTypes.h"

#include <QChar>
#include <QDateTime>
#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace fr {

class GroupSweep;

// How a medium test ended, for the dialog.
struct TestOutcome {
    // Groups looked at, from group 0 on, before the end or the stop.
    std::uint64_t groupsTested = 0;
    std::uint64_t failedCount = 0;
    // The groups that could not be read, in increasing order, when the setup asks for them.
    std::vector<std::uint64_t> failedGroups;
    // The unreadable groups in bytes from the volume's start, neighbours merged: the test's map.
    // A dead medium's millions of failed groups merge into few areas.
    AreaList unreadableAreas;
    // Bytes of a group (the volume's cluster).
    std::uint64_t groupBytes = 0;
    // Bytes of the volume tested: its device's, the overhead of its file system included.
    std::uint64_t volumeBytes = 0;
    bool stopped = false;
    // The medium went away during the test: it stopped there, as a stop does, and no group
    // after the loss was judged.
    bool mediumGone = false;
    // Why the medium could not be read at all (its device cannot be opened), naming it; empty
    // when the test ran. Such a medium is not damaged, only out of reach.
    QString failure;
    // Why the test's map could not be written at its end (the file and the reason); empty when
    // it was, or when the test kept no map.
    QString mapFailure;
};

// What the medium test tells the dialog. Every hook runs through `post`, in the order the test
// produced them; `ended` is always the last.
struct TestovanieHooks {
    // Runs a piece of work on the main thread. Empty: queued to the application object's
    // thread, or run at once when there is none (as in the bench).
    PostToMainThread post;
    // The first group that cannot be read; once a test.
    std::function<void()> damaged;
    // The number of groups tested, a multiple of 20, when one is reached: at most once per
    // report interval, the latest multiple reached since the last report.
    std::function<void(std::uint64_t groups)> counted;
    // Percent of the groups tested, rounded, when it changes: at most once per report interval,
    // and once more at the end.
    std::function<void(int percent)> progress;
    std::function<void(const TestOutcome& outcome)> ended;
};

// The medium test: reads every cluster-sized group of a volume, group 0 (the boot area)
// included, and finds those that cannot be read. An unreadable group never stops the test.
//
// It reads through a group sweep: large direct reads, each group alone only after a large read
// failed, so the groups it finds are exactly those of a group-by-group test while a damaged
// place costs few failed reads more than its own groups. The stop flag is looked at before
// each group, as a group-by-group test would, so a test stopped after n groups has judged
// exactly n groups, whatever the sweep read ahead.
//
// Thread model as for the rescue copy: the object owns its inputs; start() runs the test on a
// thread of its own (the destructor waits for it, so stop it first), run() on the caller's.
class Testovanie {
public:
    struct Setup {
        QString device;   // the drive's block device or image file
        TDriveInfo drive; // the drive information read when the test started
        // Set while the dialog's start button shows its idle caption: the test stops.
        std::shared_ptr<std::atomic<bool>> stop;
        // A fast medium tests tens of thousands of groups a second; the window needs far
        // fewer reports. Zero reports every step (tests).
        std::chrono::milliseconds reportInterval{50};
        // Keep the numbers of the failed groups (the bench, tests). The window needs only
        // whether one failed, and a dead medium has millions of them.
        bool listFailedGroups = false;
        // The map kept on disk while the test runs (see liveMap()), brought up to date as the
        // test goes on and once more at its end, then retired: a crash of the program leaves
        // the groups found so far. None: the test keeps no map.
        std::shared_ptr<LiveJob> live = nullptr;
    };

    // What the map of a test of `drive` (its letter) keeps: the volume's bytes, in steps of a
    // group, named after the drive; no journal entry, since a test is never resumed.
    static LiveJob::Description liveMap(QChar drive, std::uint64_t volumeBytes,
                                        std::uint64_t groupBytes, const QDateTime& started);

    Testovanie(Setup setup, TestovanieHooks hooks);
    ~Testovanie();
    Testovanie(const Testovanie&) = delete;
    Testovanie& operator=(const Testovanie&) = delete;

    void start();
    void stop() { setup_.stop->store(true); }
    void wait();
    bool isRunning() const { return running_.load(); }
    TestOutcome run();

    // Reads of the medium and those that failed, for the bench.
    std::uint64_t reads() const { return reads_.load(); }
    std::uint64_t failedReads() const { return failedReads_.load(); }
    // Groups judged and those found unreadable so far, while the test runs.
    std::uint64_t groupsTested() const { return groupsTested_.load(); }
    std::uint64_t failedGroups() const { return failedGroups_.load(); }

    // The bytes of the volume on `device`: the device's whole size, since a file system counts
    // its clusters without its own overhead (boot area, tables, journal) and a test from that
    // count would never reach the volume's end. The clusters' count when the device cannot be
    // sized.
    static std::uint64_t volumeBytes(const QString& device, const TDriveInfo& drive);
    // The groups of that volume: cluster-sized, a short last one included.
    static std::uint64_t groupCount(const QString& device, const TDriveInfo& drive);

private:
    void post(std::function<void()> work) const;
    // Opens the medium for reading the first `volumeBytes`; the reason, naming the medium,
    // when it cannot be.
    QString openMedium(GroupSweep& sweep, std::uint64_t volumeBytes) const;

    Setup setup_;
    TestovanieHooks hooks_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
    std::atomic<std::uint64_t> groupsTested_{0};
    std::atomic<std::uint64_t> failedGroups_{0};
};

} // namespace fr
