#pragma once

#include <QChar>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace fr {

struct CopyJob;
struct FillBuffers;
class ErrorMarker;
class Platform;
struct JobSignals;

// What the rescue copy tells the window. Every hook runs through `post`, in the order the
// copy produced them, so the page sees progress, the job's end and the end actions in order.
struct KopirovanieEexHooks {
    // Runs a piece of work on the main thread. Empty: queued to the application object's
    // thread (run at once when there is no application, as in the command-line bench).
    std::function<void(std::function<void()>)> post;
    // Percent of totalSize handled, rounded; passes 100 when the last fill block reaches past
    // the end of the source. Posted when it changes, at most 20 times a second.
    std::function<void(int percent)> progress;
    // The copy is over (finished or stopped): the page enables the start button, disables
    // pause and enables the commands.
    std::function<void()> jobEnded;
    // The copy cannot go on for a reason other than an unreadable place (source cannot be
    // opened, destination cannot be created or written, disk full): the system's error text.
    // Reported once; no end actions follow and the page stays running until the user stops it,
    // so that stop journals the position reached.
    std::function<void(const QString& systemError)> failed;
    // Registers the source medium as damaged without asking, for the given drive letter.
    std::function<void(QChar driveLetter)> registerMedium;
};

// The rescue copy of one file. It never gives up on an unreadable place: each one becomes a
// fill block of the block size, and the copy goes on behind it. The result (destination bytes,
// fill blocks, position, error marker, end actions) is exactly that of a loop reading 4 bytes
// at a time; it is only reached faster, with large reads on healthy stretches and 4-byte reads
// only next to a place that fails.
//
// Thread model: one object serves one job. start() runs the copy on a std::thread of its own;
// the page keeps the object until the job has ended (the destructor waits for the thread, so
// stop the job first). run() does the same work on the calling thread (the bench does this).
// The copy reads the page's flags in `jobSignals` between reads, advances `job.position` (read by
// the main thread at any time) and reports through the hooks.
class KopirovanieEex {
public:
    struct Setup {
        CopyJob& job;               // sourceName (drive form), position, totalSize
        JobSignals& jobSignals;     // stop, pause, low priority, delete source, switch off
        ErrorMarker& errorMarker;   // set to "CHYBA" at every unreadable place
        const FillBuffers& buffers; // their size is the fill block size
        std::uint8_t fillMode = 0;  // 3 random fill blocks, anything else zero fill blocks
        Platform& platform;         // process priority and power-off
        QString sourcePath;         // native paths, converted from drive form by the page
        QString destinationPath;
    };

    // Counters of the source's reads, for the bench.
    struct ReadCounts {
        std::uint64_t reads = 0;
        std::uint64_t failedReads = 0;
    };

    KopirovanieEex(const Setup& setup, KopirovanieEexHooks hooks);
    ~KopirovanieEex();
    KopirovanieEex(const KopirovanieEex&) = delete;
    KopirovanieEex& operator=(const KopirovanieEex&) = delete;

    // Starts the copy on its own thread and returns at once.
    void start();
    // Waits until the copy's thread has ended, end actions included.
    void wait();
    bool isRunning() const { return running_.load(); }
    // The whole job on the calling thread.
    void run();

    ReadCounts readCounts() const { return {reads_.load(), failedReads_.load()}; }

private:
    class Copy;

    void post(std::function<void()> work) const;
    void endActions();

    Setup setup_;
    KopirovanieEexHooks hooks_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> reads_{0};
    std::atomic<std::uint64_t> failedReads_{0};
};

} // namespace fr
