#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace fr {

// How fast a running job goes and how long it still needs, smoothed over its last seconds so
// that one slow read or one fast burst from the cache does not throw the estimate about. A
// stretch of failing reads says nothing about the time left: while the job is in one, the
// estimate is withheld. A job that knows when it is reading around damaged places says so,
// and its word then counts instead of the failed reads.
class JobSpeed {
public:
    using Clock = std::chrono::steady_clock;

    explicit JobSpeed(std::chrono::milliseconds window = std::chrono::seconds(5));

    // A new job: what it had done at its start (a resumed job has done some already).
    void start(Clock::time_point now, std::int64_t doneBytes, std::uint64_t failedReads = 0);
    // Where the job is now: bytes handled so far and the failed reads it counted so far.
    void sample(Clock::time_point now, std::int64_t doneBytes, std::uint64_t failedReads = 0);

    // The job's own word on whether it is reading around damaged places, none while it gives
    // none. A job that reads good stretches first meets failures while it sweeps past damaged
    // places and has none while it works through them, so the failed reads would mislead.
    void setDamagedArea(std::optional<bool> damagedArea) { damagedArea_ = damagedArea; }

    // Bytes a second over the last seconds; none until a second of the job has been seen.
    std::optional<double> bytesPerSecond() const;
    // The job says it is reading around damaged places, or, when it says nothing, a read
    // failed within the last seconds.
    bool readingDamaged() const;
    // The time the remaining bytes need at the current rate; none while the rate is not yet
    // known, is zero, or the job is in a stretch of failing reads.
    std::optional<std::chrono::seconds> timeLeft(std::int64_t remainingBytes) const;

private:
    struct Sample {
        Clock::time_point when;
        std::int64_t done;
    };

    std::chrono::milliseconds window_;
    std::deque<Sample> samples_;
    std::uint64_t failedReads_ = 0;
    std::optional<Clock::time_point> lastFailure_;
    std::optional<bool> damagedArea_;
};

// The texts that depend on the user's language.
struct SpeedWords {
    QString timeLeft;       // "%1 left"
    QString damagedStretch; // "reading damaged area"
};

// "12.4 MB/s", "850 kB/s" (in the program's megabytes of 1,048,576 bytes).
QString rateText(double bytesPerSecond);
// "45 s", "2 min", "1 h 20 min".
QString durationText(std::chrono::seconds duration);
// The progress gauge's text: "37%", then with a known rate "37% · 12.4 MB/s · 2 min left",
// or "37% · 0.2 MB/s · reading damaged area" (without a rate while none is known yet) while the
// job is reading damaged places.
QString progressText(int percent, const JobSpeed& speed, std::int64_t remainingBytes,
                     const SpeedWords& words);

} // namespace fr
