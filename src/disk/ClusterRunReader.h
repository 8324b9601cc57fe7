#pragma once

#include "disk/SectorDevice.h"
#include "platform/AlignedBuffer.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fr {

// Tells, group by group, whether the cluster-sized groups of a medium can be read, with the
// answers a read of each single group would give, but reading large runs of groups at once.
// A run that reads whole vouches for every group in it; a run that fails is read again in
// shorter pieces, and only inside a piece that fails is each group read on its own. Since a
// transfer fails as a whole when any of its sectors fails, the groups found unreadable are exactly
// those a group-by-group test finds.
//
// Reads bypass the cache, so every group really comes from the medium. To keep the medium
// busy all the same, a few threads read the next runs while the caller looks at the current
// one; they never run more than a few runs ahead, so a test that stops reads little more.
//
// Groups are asked for in increasing order; group g covers the bytes g x groupBytes up to
// (g + 1) x groupBytes, counted from the start of the volume.
class ClusterRunReader {
public:
    struct Counts {
        std::uint64_t reads = 0;
        std::uint64_t failedReads = 0;
    };

    ClusterRunReader(std::uint32_t groupBytes, std::uint64_t groupCount);
    ~ClusterRunReader();
    ClusterRunReader(const ClusterRunReader&) = delete;
    ClusterRunReader& operator=(const ClusterRunReader&) = delete;

    // Opens the drive's device or image file and starts reading ahead; the reason, naming
    // the device, when it cannot be opened.
    [[nodiscard]] QString open(const QString& device);

    // Whether group `group` reads.
    bool readable(std::uint64_t group);

    Counts counts() const { return {reads_.load(), failedReads_.load()}; }

    // Runs are this long, or one group when a group is larger.
    static constexpr std::uint64_t kRunBytes = 4 << 20;
    // Inside a run that fails, pieces of this length are tried before single groups.
    static constexpr std::uint64_t kPieceBytes = 256 << 10;
    // Runs being read at once.
    static constexpr int kReadersAhead = 3;

private:
    enum class Run : std::uint8_t { Unread, Readable, Failed };

    // One reading thread: its own handle on the medium and its own memory.
    struct Reader {
        SectorDevice device;
        AlignedBuffer buffer;
        std::thread thread;
    };

    void readAhead(Reader& reader);
    Run waitForRun(std::uint64_t run);
    bool read(SectorDevice& device, std::uint8_t* buffer, std::uint64_t firstGroup,
              std::uint64_t groups);
    void stopReaders();

    std::uint64_t groupBytes_;
    std::uint64_t groupCount_;
    std::uint64_t groupsPerRun_;
    std::uint64_t groupsPerPiece_;
    std::uint64_t runCount_;
    // The piece of a failed run read last, and whether it read whole.
    std::uint64_t piece_ = UINT64_MAX;
    bool pieceReadable_ = false;

    // The caller's own handle, for single groups.
    SectorDevice device_;
    AlignedBuffer buffer_;
    std::vector<std::unique_ptr<Reader>> readers_;

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Run> runs_;       // what each run's read found
    std::uint64_t nextRun_ = 0;   // the next run a reader takes
    std::uint64_t callerRun_ = 0; // the run the caller looks at
    bool quit_ = false;

    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
};

} // namespace fr
