// Runs a disk image job from the command line, for side-by-side timing with dd and ddrescue:
//
//   image_bench DEVICE IMAGE            every sector of DEVICE into the file IMAGE
//   image_bench DEVICE IMAGE --write    the file IMAGE back onto DEVICE
//
// DEVICE is a block device or an image file. Runs the job on the calling thread and prints
// one line of key=value pairs: sectors, seconds, MB/s, reads, failed reads, whether a group
// could not be read, and the sectors that could not be written.

#include "core/JobSignals.h"
#include "core/LiveJob.h"
#include "disk/ImageEx.h"
#include "disk/ImageRaw.h"
#include "disk/SectorDevice.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// The bench changes no priority and never switches anything off.
class BenchPlatform : public fr::Platform {
public:
    QString osName() const override { return QStringLiteral("Linux"); }
    QString osFamily() const override { return QStringLiteral("NT"); }
    bool isAdmin() const override { return true; }
    void exitNow(int) override {}
    void runFile(const QString&, bool) override {}
    bool setIdlePriority(bool) override { return true; }
    void powerOff() override {}
    QString setAutostart(const QString&, const QString&, bool) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DEVICE IMAGE [--write] [--live PROGRAM_DIR]\n", argv[0]);
        return 2;
    }
    const QString device = QString::fromLocal8Bit(argv[1]);
    const QString image = QString::fromLocal8Bit(argv[2]);
    bool write = false;
    QString liveDir; // keeps the job's map and record there, synced, as the program does
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--write") == 0)
            write = true;
        else if (std::strcmp(argv[i], "--live") == 0 && i + 1 < argc)
            liveDir = QString::fromLocal8Bit(argv[++i]);
    }

    fr::SectorDevice probe;
    QString error;
    if (!probe.open(device, fr::SectorDevice::Mode::Read, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const std::uint32_t sector = probe.sectorSize();
    const std::uint64_t sectors = write
                                      ? static_cast<std::uint64_t>(QFileInfo(image).size()) / sector
                                      : probe.size() / sector;
    probe.close();

    std::shared_ptr<fr::LiveJob> live;
    if (!liveDir.isEmpty()) {
        fr::LiveJob::Description description;
        description.job.sourceName = write ? image : device;
        description.job.destinationName = write ? device : image;
        description.job.totalSize = static_cast<std::uint32_t>(sectors);
        description.job.stampStart(QDateTime::currentDateTime());
        description.bytes = static_cast<std::int64_t>(sectors * sector);
        description.unitBytes = sector;
        description.createdBy = QStringLiteral("image_bench");
        live = fr::LiveJob::begin(liveDir, description, &error);
        if (!live) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    BenchPlatform platform;
    fr::ImageSetup setup{device,
                         image,
                         sector,
                         0,
                         static_cast<std::uint32_t>(sectors),
                         std::make_shared<fr::JobSignals>(),
                         platform,
                         live};
    fr::ImageHooks hooks;
    hooks.post = [](std::function<void()> work) {
        work();
    };
    std::unique_ptr<fr::ImageWorker> job;
    if (write)
        job = std::make_unique<fr::ImageRaw>(std::move(setup), std::move(hooks));
    else
        job = std::make_unique<fr::ImageEx>(std::move(setup), std::move(hooks));
    const auto start = std::chrono::steady_clock::now();
    const fr::ImageOutcome outcome = job->run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!outcome.failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(outcome.failure));
        return 1;
    }
    std::printf("sectors=%llu seconds=%.3f MB/s=%.1f reads=%llu failed_reads=%llu "
                "read_failed=%d unwritten=%llu\n",
                static_cast<unsigned long long>(outcome.position), seconds,
                static_cast<double>(sectors) * sector / 1e6 / seconds,
                static_cast<unsigned long long>(job->reads()),
                static_cast<unsigned long long>(job->failedReads()), outcome.readFailed ? 1 : 0,
                static_cast<unsigned long long>(outcome.unwrittenSectors));
    return 0;
}
