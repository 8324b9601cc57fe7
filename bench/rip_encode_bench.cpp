// Rips and encodes one track of a disc through the ripper component, as the copy-music page
// does, and prints the time; or writes the disc to measure with.
//
//   rip_encode_bench make-disc FOLDER SECONDS   writes FOLDER/disc.cue and disc.bin
//   rip_encode_bench rip CUE TRACK OUTPUT.mp3   prints seconds and the output size
#include "audio/EncoderSettings.h"
#include "audio/MainComponents.h"
#include "audio/ParanoiaRipLibrary.h"
#include "audio/TCDRIP.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <exception>

namespace {

constexpr int kSectorBytes = 2352;

int makeDisc(const QString& folder, int seconds) {
    // Filtered noise: sound a listener would call music-like in spectrum, and never periodic,
    // so jitter correction works as on a real disc.
    QFile bin(folder + QStringLiteral("/disc.bin"));
    if (!bin.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(bin.fileName()), qPrintable(bin.errorString()));
        return 1;
    }
    const int sectors = seconds * 75;
    QByteArray sector(kSectorBytes, Qt::Uninitialized);
    std::uint32_t state = 12345;
    double left = 0, right = 0;
    for (int s = 0; s < sectors; ++s) {
        auto* out = reinterpret_cast<std::uint8_t*>(sector.data());
        for (int frame = 0; frame < kSectorBytes / 4; ++frame) {
            state = state * 1664525u + 1013904223u;
            left += ((int(state >> 16) - 32768) - left) * 0.05;
            state = state * 1664525u + 1013904223u;
            right += ((int(state >> 16) - 32768) - right) * 0.08;
            for (double channel : {left, right}) {
                const auto sample = std::uint16_t(std::int16_t(channel * 1.6));
                *out++ = std::uint8_t(sample);
                *out++ = std::uint8_t(sample >> 8);
            }
        }
        if (bin.write(sector) != kSectorBytes) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(bin.fileName()),
                         qPrintable(bin.errorString()));
            return 1;
        }
    }
    QFile cue(folder + QStringLiteral("/disc.cue"));
    if (!cue.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        cue.write("FILE \"disc.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n") <
            0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(cue.fileName()), qPrintable(cue.errorString()));
        return 1;
    }
    return 0;
}

int rip(const QString& cue, int track, const QString& output) {
    fr::ParanoiaRipLibrary library({cue});
    fr::TLameCoder coder;
    fr::configureLameCoder1(coder);
    // The shipped settings: 128 kbit/s at least, 320 at most, 44100 Hz, variable rate, stereo.
    fr::Settings settings;
    settings.mp3Bitrate = 1;
    settings.mp3MaxBitrate = 3;
    settings.mp3SampleRate = 2;
    settings.mp3Vbr = 1;
    settings.mp3Stereo = 1;
    fr::applyEncoderSettings(settings, coder);
    auto cdrip = fr::createCdrip1(library, coder, [] { return QStringLiteral("Track"); });
    if (cdrip->TrackCount() < track) {
        std::fprintf(stderr, "%s: no track %d\n", qPrintable(cue), track);
        return 1;
    }
    QElapsedTimer timer;
    timer.start();
    cdrip->RipTrack(track, output);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("%.3f s, %lld bytes\n", seconds, static_cast<long long>(QFileInfo(output).size()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
        if (mode == QLatin1String("make-disc") && argc == 4)
            return makeDisc(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
        if (mode == QLatin1String("rip") && argc == 5)
            return rip(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                       QString::fromLocal8Bit(argv[4]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "usage: %s make-disc FOLDER SECONDS | rip CUE TRACK OUTPUT.mp3\n",
                 argv[0]);
    return 2;
}
