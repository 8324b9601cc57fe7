// Securely deletes one file from the command line, for side-by-side timing with shred:
//
//   wipe_bench FILE
//
// Runs the three passes and the deletion on the calling thread and prints one line of
// key=value pairs: bytes, seconds and MB/s over the three passes together.

#include "rescue/SecureWipe.h"

#include <QFileInfo>
#include <QString>
#include <chrono>
#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const auto bytes = static_cast<unsigned long long>(QFileInfo(path).size());
    std::mt19937 random(std::random_device{}());
    const auto start = std::chrono::steady_clock::now();
    const fr::WipeOutcome outcome = fr::wipeFile(path, random);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (outcome.stage != fr::WipeStage::Wiped) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(outcome.reason));
        return 1;
    }
    std::printf("bytes=%llu seconds=%.3f MB/s=%.1f\n", bytes, seconds,
                seconds > 0 ? 3.0 * bytes / seconds / 1e6 : 0.0);
    return 0;
}
