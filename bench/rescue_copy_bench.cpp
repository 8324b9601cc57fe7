// Runs the rescue copy from the command line, for side-by-side timing with other tools:
//
//   rescue_copy_bench SOURCE DESTINATION [--block-size-field 0|1|2] [--fill-mode N]
//                     [--bad START-END,...]
//
// Prints one line of key=value pairs: bytes, seconds, MB/s, the copy's own reads and failed
// reads, the final position and whether a place could not be read. With --bad (the damaged
// areas the source really has) it also prints how many reads the plain 4-byte loop would have
// failed on, the yardstick for the copy's failed reads.

#include "core/CopyJob.h"
#include "core/FillBuffers.h"
#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "platform/Platform.h"
#include "rescue/KopirovanieEex.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace {

// Nothing here changes priorities or switches anything off.
class QuietPlatform : public fr::Platform {
public:
    QString osName() const override { return QStringLiteral("Linux"); }
    QString osFamily() const override { return QStringLiteral("NT"); }
    bool isAdmin() const override { return false; }
    void exitNow(int) override {}
    void runFile(const QString&, bool) override {}
    bool setIdlePriority(bool) override { return true; }
    void powerOff() override {}
    QString setAutostart(const QString&, const QString&, bool) override { return {}; }
};

struct Range {
    quint64 start = 0;
    quint64 end = 0;
};

// Failed reads of the 4-byte loop over a source with these damaged areas.
quint64 referenceFailures(std::vector<Range> bad, quint64 total, quint64 fillBytes) {
    std::sort(bad.begin(), bad.end(),
              [](const Range& a, const Range& b) { return a.start < b.start; });
    quint64 failures = 0;
    quint64 pos = 0;
    for (;;) {
        // The first area the unit at or after pos touches.
        auto next =
            std::find_if(bad.begin(), bad.end(), [&](const Range& r) { return r.end > pos; });
        if (next == bad.end())
            break;
        const quint64 unit = next->start > pos ? pos + (next->start - pos) / 4 * 4 : pos;
        if (unit >= total)
            break;
        ++failures;
        pos = unit + fillBytes;
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rescue_copy_bench SOURCE DESTINATION [--block-size-field N]"
                             " [--fill-mode N] [--bad START-END,...] [--live PROGRAM_DIR]\n");
        return 2;
    }
    std::uint8_t blockSizeField = 0;
    std::uint8_t fillMode = 0;
    std::vector<Range> bad;
    QString liveDir; // keeps the job's map and record there, synced, as the program does
    for (int i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--live"))
            liveDir = args[i + 1];
        else if (args[i] == QLatin1String("--block-size-field"))
            blockSizeField = static_cast<std::uint8_t>(args[i + 1].toUInt());
        else if (args[i] == QLatin1String("--fill-mode"))
            fillMode = static_cast<std::uint8_t>(args[i + 1].toUInt());
        else if (args[i] == QLatin1String("--bad"))
            for (const QString& range : args[i + 1].split(',', Qt::SkipEmptyParts)) {
                const QStringList ends = range.split('-');
                if (ends.size() == 2)
                    bad.push_back(
                        {ends[0].toULongLong(nullptr, 0), ends[1].toULongLong(nullptr, 0)});
            }
    }

    fr::CopyJob job;
    fr::FillBuffers buffers;
    std::mt19937 random(std::random_device{}());
    buffers.setUp(blockSizeField, random);
    QuietPlatform platform;

    const QString source = args[0];
    job.sourceName = source;
    job.totalSize = static_cast<quint64>(QFileInfo(source).size());

    std::shared_ptr<fr::LiveJob> live;
    if (!liveDir.isEmpty()) {
        job.destinationName = args[1];
        job.stampStart(QDateTime::currentDateTime());
        fr::LiveJob::Description description;
        description.job = job;
        description.bytes = job.totalSize;
        description.createdBy = QStringLiteral("rescue_copy_bench");
        QString error;
        live = fr::LiveJob::begin(liveDir, description, &error);
        if (!live) {
            std::fprintf(stderr, "rescue_copy_bench: %s\n", qPrintable(error));
            return 1;
        }
    }
    fr::KopirovanieEex engine({job, std::make_shared<fr::JobSignals>(), buffers, fillMode, platform,
                               source, args[1], live},
                              {});
    const auto begin = std::chrono::steady_clock::now();
    const fr::CopyOutcome outcome = engine.run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (!outcome.failure.isEmpty()) {
        std::fprintf(stderr, "rescue_copy_bench: %s\n", qPrintable(outcome.failure));
        return 1;
    }
    const auto counts = engine.readCounts();
    std::printf("bytes=%llu seconds=%.3f mbps=%.1f reads=%llu failed_reads=%llu position=%llu "
                "unreadable=%d",
                static_cast<unsigned long long>(job.totalSize), seconds,
                double(job.totalSize) / 1e6 / seconds,
                static_cast<unsigned long long>(counts.reads),
                static_cast<unsigned long long>(counts.failedReads),
                static_cast<unsigned long long>(outcome.position), outcome.readFailed ? 1 : 0);
    if (!bad.empty())
        std::printf(" reference_failed_reads=%llu",
                    static_cast<unsigned long long>(referenceFailures(
                        bad, job.totalSize, static_cast<quint64>(buffers.blockBytes()))));
    std::printf("\n");
    return 0;
}
