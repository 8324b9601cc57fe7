#include "support/TestDisc.h"

#include <QFile>
#include <stdexcept>

namespace fr::test {

namespace {

constexpr int kSectorBytes = 2352;

QString msf(int sector) {
    return QStringLiteral("%1:%2:%3")
        .arg(sector / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(sector / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % 75, 2, 10, QLatin1Char('0'));
}

void writeFile(const QString& name, const QByteArray& content) {
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size() || !file.flush())
        throw std::runtime_error(
            (name + QStringLiteral(": cannot be written: ") + file.errorString()).toStdString());
}

} // namespace

QByteArray TestDisc::testSound(int sectors, std::uint32_t seed) {
    QByteArray pcm(sectors * kSectorBytes, Qt::Uninitialized);
    std::uint32_t state = seed * 2654435761u + 1;
    auto noise = [&state] {
        state = state * 1664525u + 1013904223u;
        return int(state >> 16) - 32768;
    };
    // Noise through a low-pass filter: audible, unlike a tone never the same twice, and
    // mostly below the frequencies an MP3 drops.
    double left = 0, right = 0;
    auto* out = reinterpret_cast<std::uint8_t*>(pcm.data());
    for (int frame = 0; frame < sectors * kSectorBytes / 4; ++frame) {
        left += (noise() - left) * 0.05;
        right += (noise() - right) * 0.08;
        for (double channel : {left, right}) {
            const auto sample = std::uint16_t(std::int16_t(channel * 1.6));
            *out++ = std::uint8_t(sample);
            *out++ = std::uint8_t(sample >> 8);
        }
    }
    return pcm;
}

TestDisc::TestDisc(const QString& folder, const QString& name, const std::vector<int>& audioSectors,
                   int dataSectors)
    : cue_(folder + '/' + name + QStringLiteral(".cue")),
      bin_(folder + '/' + name + QStringLiteral(".bin")) {
    QByteArray sheet = "FILE \"" + name.toUtf8() + ".bin\" BINARY\r\n";
    int track = 1;
    if (dataSectors > 0) {
        sheet += "  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n";
        starts_.push_back(0);
        image_.append(QByteArray(dataSectors * kSectorBytes, '\x5a'));
        ++track;
    }
    for (std::size_t i = 0; i < audioSectors.size(); ++i, ++track) {
        const int start = int(image_.size() / kSectorBytes);
        sheet += QStringLiteral("  TRACK %1 AUDIO\r\n    INDEX 01 %2\r\n")
                     .arg(track, 2, 10, QLatin1Char('0'))
                     .arg(msf(start))
                     .toUtf8();
        starts_.push_back(start);
        image_.append(testSound(audioSectors[i], std::uint32_t(track)));
    }
    starts_.push_back(int(image_.size() / kSectorBytes));
    writeFile(bin_, image_);
    writeFile(cue_, sheet);
}

TestDisc TestDisc::mixedMode(const QString& folder, const QString& name, const QByteArray& volume,
                             const std::vector<int>& audioSectors) {
    constexpr int kUserBytes = 2048;
    TestDisc disc(folder, name, audioSectors, int(volume.size() / kUserBytes));
    const auto bcd = [](int value) {
        return char((value / 10) << 4 | value % 10);
    };
    for (int sector = 0; sector < disc.starts_.at(1); ++sector) {
        QByteArray raw(kSectorBytes, '\0');
        raw.replace(1, 10, QByteArray(10, '\xff'));
        const int address = sector + 150; // the two-second lead-in
        raw[12] = bcd(address / (75 * 60));
        raw[13] = bcd(address / 75 % 60);
        raw[14] = bcd(address % 75);
        raw[15] = 1; // mode 1
        raw.replace(16, kUserBytes, volume.mid(qsizetype(sector) * kUserBytes, kUserBytes));
        disc.image_.replace(qsizetype(sector) * kSectorBytes, kSectorBytes, raw);
    }
    writeFile(disc.bin_, disc.image_);
    return disc;
}

QByteArray TestDisc::trackPcm(int track) const {
    const int start = starts_.at(std::size_t(track - 1));
    const int end = starts_.at(std::size_t(track));
    return image_.mid(qsizetype(start) * kSectorBytes, qsizetype(end - start) * kSectorBytes);
}

} // namespace fr::test
