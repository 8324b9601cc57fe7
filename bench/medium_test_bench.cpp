// Runs the medium test from the command line, for side-by-side timing with badblocks:
//
//   medium_test_bench DEVICE CLUSTER_BYTES [--failed-list FILE]
//
// Tests every whole cluster-sized group of DEVICE (a block device or an image file) on the
// calling thread and prints one line of key=value pairs: groups, failed groups, seconds,
// MB/s, reads and failed reads. --failed-list writes the failed group numbers, one a line, as
// badblocks lists its bad blocks when its block size is the cluster size.

#include "disk/SectorDevice.h"
#include "disk/Testovanie.h"

#include <QFile>
#include <QString>
#include <chrono>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DEVICE CLUSTER_BYTES [--failed-list FILE]\n", argv[0]);
        return 2;
    }
    const QString device = QString::fromLocal8Bit(argv[1]);
    const auto clusterBytes = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
    QString listFile;
    for (int i = 3; i + 1 < argc; i += 2)
        if (QString::fromLatin1(argv[i]) == QLatin1String("--failed-list"))
            listFile = QString::fromLocal8Bit(argv[i + 1]);

    fr::SectorDevice probe;
    QString error;
    if (!probe.open(device, fr::SectorDevice::Mode::Read, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (clusterBytes == 0 || clusterBytes % probe.sectorSize() != 0) {
        std::fprintf(stderr, "the cluster size must be a multiple of %u bytes\n",
                     probe.sectorSize());
        return 2;
    }
    fr::TDriveInfo drive;
    drive.BytesPerSector = probe.sectorSize();
    drive.SectorsPerCluster = clusterBytes / probe.sectorSize();
    drive.ClusterSize = clusterBytes;
    drive.TotalBytes = probe.size();
    drive.TotalClusters = probe.size() / clusterBytes;
    probe.close();

    fr::Testovanie::Setup setup{device, drive, std::make_shared<std::atomic<bool>>(false)};
    setup.listFailedGroups = !listFile.isEmpty();
    fr::Testovanie test(std::move(setup), {});
    const auto start = std::chrono::steady_clock::now();
    const fr::TestOutcome outcome = test.run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!outcome.failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(outcome.failure));
        return 1;
    }
    const double bytes = static_cast<double>(outcome.groupsTested) * clusterBytes;
    std::printf("groups=%llu failed_groups=%llu seconds=%.3f MB/s=%.1f reads=%llu "
                "failed_reads=%llu\n",
                static_cast<unsigned long long>(outcome.groupsTested),
                static_cast<unsigned long long>(outcome.failedCount), seconds,
                bytes / 1e6 / seconds, static_cast<unsigned long long>(test.reads()),
                static_cast<unsigned long long>(test.failedReads()));
    if (!listFile.isEmpty()) {
        QFile list(listFile);
        if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(listFile), qPrintable(list.errorString()));
            return 1;
        }
        for (const std::uint64_t group : outcome.failedGroups)
            list.write(QByteArray::number(static_cast<qulonglong>(group)) + '\n');
    }
    return 0;
}
