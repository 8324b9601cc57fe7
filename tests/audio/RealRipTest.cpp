#include "audio/EncoderSettings.h"
#include "audio/MainComponents.h"
#include "audio/ParanoiaRipLibrary.h"
#include "audio/TCDRIP.h"
#include "platform/DriveMap.h"
#include "support/DosDevices.h"
#include "support/FaultyMedium.h"
#include "support/TestDisc.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::TestDisc;

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Decoded {
    int channels = 0;
    int rate = 0;
    QByteArray pcm;
    qsizetype frames() const { return channels ? pcm.size() / (2 * channels) : 0; }
};

// The MP3 decoded by mpg123, which also honours the header frame's exact length.
Decoded decode(const QString& mp3, const QString& wav) {
    QProcess mpg123;
    mpg123.start(QStringLiteral("mpg123"), {"-q", "-w", wav, mp3});
    if (!mpg123.waitForFinished(60000) || mpg123.exitCode() != 0)
        return {};
    const QByteArray file = readAll(wav);
    if (file.size() < 44)
        return {};
    const qsizetype data = file.indexOf("data");
    return {qFromLittleEndian<quint16>(file.constData() + 22),
            int(qFromLittleEndian<quint32>(file.constData() + 24)), file.mid(data + 8)};
}

// Correlation of channel `channel` of two 16-bit stereo or mono streams over `frames`.
double correlation(const QByteArray& a, int aChannels, const QByteArray& b, int bChannels,
                   qsizetype frames) {
    double ab = 0, aa = 0, bb = 0;
    const auto* x = reinterpret_cast<const qint16*>(a.constData());
    const auto* y = reinterpret_cast<const qint16*>(b.constData());
    for (qsizetype i = 0; i < frames; ++i) {
        const double p = x[i * aChannels], q = y[i * bChannels];
        ab += p * q;
        aa += p * p;
        bb += q * q;
    }
    return ab / std::sqrt(aa * bb);
}

class RealRipTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        disc = std::make_unique<TestDisc>(folder.path(), "disc", std::vector<int>{300, 450}, 200);
        library = std::make_unique<ParanoiaRipLibrary>(std::vector<QString>{disc->cueSheet()});
        rip = std::make_unique<TCDRIP>(*library, [] { return QStringLiteral("Track"); });
    }
    QString file(const QString& name) const { return folder.filePath(name); }
    void needMpg123() {
        if (QStandardPaths::findExecutable("mpg123").isEmpty())
            GTEST_SKIP() << "mpg123 is not installed: scripts/setup installs it";
    }

    QTemporaryDir folder;
    std::unique_ptr<TestDisc> disc;
    std::unique_ptr<ParanoiaRipLibrary> library;
    std::unique_ptr<TCDRIP> rip;
};

TEST_F(RealRipTest, ReadsTheDiscsTracksAndRipsATrackToTheBytesOfTheDisc) {
    ASSERT_EQ(rip->TrackCount(), 3);
    const std::vector<int>& starts = disc->starts();
    for (int i = 0; i < 3; ++i) {
        const TTrack& track = rip->Tracks()[std::size_t(i)].second;
        EXPECT_EQ(track.StartSector, starts[std::size_t(i)]);
        EXPECT_EQ(track.EndSector, starts[std::size_t(i) + 1] - 1);
        EXPECT_EQ(track.Kind, i == 0 ? "Data" : "Audio");
    }
    EXPECT_EQ(library->CR_GetTocEntry(0).Flags, 0x14);
    EXPECT_EQ(library->CR_GetTocEntry(1).Flags, 0x10);

    rip->setWriteWAV(true);
    rip->RipTrack(3, file("3.wav"));
    const QByteArray wav = readAll(file("3.wav"));
    ASSERT_GT(wav.size(), 44);
    EXPECT_TRUE(wav.mid(44) == disc->trackPcm(3)) << "the sound differs from the disc's";
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(wav.size() - 44));
    EXPECT_EQ(rip->JitterErrorCount(), 0);
    EXPECT_FALSE(QFile::exists(file("3jitt")));
}

TEST_F(RealRipTest, TheDrivesAreTheCdDrivesOfTheDriveMapInLetterOrder) {
    test::DosDevices devices(folder.path());
    devices.setDevice('f', disc->cueSheet());
    devices.setRoot('d', folder.path());
    devices.setDevice('e', disc->binFile() + QStringLiteral(".cue"));
    const auto drives = ParanoiaRipLibrary::cdDrivesOf(DriveMap::fromDosDevices(devices.folder()));
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_TRUE(drives[0].endsWith(QStringLiteral(".bin.cue")));
    EXPECT_EQ(drives[1], disc->cueSheet());
}

TEST_F(RealRipTest, RipsAnMp3OfTheTrackThatDecodesToItsSoundAndEndsInATagArea) {
    needMpg123();
    TLameCoder coder;
    configureLameCoder1(coder);
    Settings settings; // 128 kbit/s, 44100 Hz stereo, variable rate
    settings.mp3Bitrate = 1;
    settings.mp3MaxBitrate = 3;
    settings.mp3SampleRate = 2;
    settings.mp3Vbr = 1;
    settings.mp3Stereo = 1;
    applyEncoderSettings(settings, coder);
    rip->setCoder(&coder);
    rip->setEncode(true);
    rip->RipTrack(2, file("2.wav"));
    const QByteArray mp3 = readAll(file("2.mp3"));
    ASSERT_GT(mp3.size(), 128);
    EXPECT_TRUE(mp3.right(128).startsWith("TAG"));

    const Decoded decoded = decode(file("2.mp3"), file("2-decoded.wav"));
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_EQ(decoded.rate, 44100);
    const QByteArray source = disc->trackPcm(2);
    // Whole encoder chunks of the track: the rest of the last one is left out.
    const qsizetype chunkFrames = coder.SamplesPerChunk() / 2;
    const qsizetype encoded = source.size() / 4 / chunkFrames * chunkFrames;
    EXPECT_EQ(decoded.frames(), encoded) << "the header frame gives the exact length";
    const qsizetype frames = std::min(decoded.frames(), encoded);
    EXPECT_GT(correlation(source, 2, decoded.pcm, 2, frames), 0.9);
}

TEST_F(RealRipTest, TheSettingsRateAndModeMakeTheMp3NotTheSpeedOfItsSound) {
    needMpg123();
    TLameCoder coder;
    configureLameCoder1(coder);
    Settings settings;
    settings.mp3Bitrate = 0;
    settings.mp3MaxBitrate = 0;
    settings.mp3SampleRate = 0; // 22050 Hz
    settings.mp3Vbr = 0;
    settings.mp3Stereo = 0; // mono
    applyEncoderSettings(settings, coder);
    rip->setCoder(&coder);
    rip->setEncode(true);
    rip->RipTrack(3, file("3.mp3"));
    const Decoded decoded = decode(file("3.mp3"), file("3-decoded.wav"));
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_EQ(decoded.rate, 22050);
    const double seconds = 450 / 75.0;
    EXPECT_NEAR(double(decoded.frames()) / decoded.rate, seconds, 0.1);
}

TEST_F(RealRipTest, JitterMetOnTheWayReachesTheJitterLog) {
    library->setTestFlags(2); // large jitter on reads
    rip->RipTrack(3, file("3.wav"));
    EXPECT_GT(rip->JitterErrorCount(), 0);
    ASSERT_FALSE(rip->JitterLog().isEmpty());
    const QByteArray log = readAll(file("3jitt"));
    EXPECT_EQ(log.count('\n'), rip->JitterLog().size());
    EXPECT_EQ(readAll(file("3.wav")).size(), disc->trackPcm(3).size());
}

// The disc's .bin on a failing medium, one sector of track 3 unreadable: the disc-image
// driver loses the whole read around it, paranoia puts silence there, and the rip keeps
// every other sector in its place, names the lost ones, and does not end the program.
TEST_F(RealRipTest, UnreadableSectorsBecomeSilenceInPlaceAndAreNamed) {
    QString why;
    if (!test::FaultyMedium::available(&why))
        GTEST_SKIP() << why.toStdString();
    const int bad = disc->starts()[2] + 200;
    test::FaultyMedium medium(disc->binFile(),
                              {{qint64(bad) * 2352 + 100, qint64(bad) * 2352 + 200}},
                              {.name = QStringLiteral("disc.bin")});
    QTemporaryDir drive;
    ASSERT_TRUE(QFile::copy(disc->cueSheet(), drive.filePath("disc.cue")));
    ASSERT_TRUE(QFile::link(medium.path(), drive.filePath("disc.bin")));
    ParanoiaRipLibrary failing(std::vector<QString>{drive.filePath("disc.cue")});
    TCDRIP ripper(failing, [] { return QStringLiteral("Track"); });
    std::vector<SectorRun> reported;
    ripper.OnUnreadableSectors = [&](TCDRIP*, const SectorRun& run) {
        reported.push_back(run);
    };

    ripper.setWriteWAV(true);
    ripper.RipTrack(3, file("3.wav"));
    const QByteArray source = disc->trackPcm(3);
    const QByteArray wav = readAll(file("3.wav"));
    ASSERT_EQ(wav.size(), 44 + source.size()) << "the track keeps its length";
    ASSERT_FALSE(ripper.UnreadableSectors().empty());
    EXPECT_FALSE(reported.empty());
    bool named = false;
    for (const SectorRun& run : ripper.UnreadableSectors()) {
        named = named || (run.first <= std::uint32_t(bad) && std::uint32_t(bad) <= run.last);
        EXPECT_LT(run.last - run.first, 75u) << "less than a second of sound is lost";
    }
    EXPECT_TRUE(named) << sectorRunsText(ripper.UnreadableSectors()).toStdString();
    // Every sector outside the named ones is the disc's own, where it belongs.
    const int first = disc->starts()[2];
    for (int sector = 0; sector < source.size() / 2352; ++sector) {
        bool lost = false;
        for (const SectorRun& run : ripper.UnreadableSectors())
            lost = lost || (run.first <= std::uint32_t(first + sector) &&
                            std::uint32_t(first + sector) <= run.last);
        if (!lost) {
            EXPECT_TRUE(wav.mid(44 + sector * 2352, 2352) == source.mid(sector * 2352, 2352))
                << "sector " << first + sector;
        }
    }
    EXPECT_TRUE(readAll(file("3jitt")).contains("unreadable"));

    // The MP3 of the same track decodes to the whole track's length.
    if (QStandardPaths::findExecutable("mpg123").isEmpty())
        GTEST_SKIP() << "mpg123 is not installed: scripts/setup installs it";
    TLameCoder coder;
    configureLameCoder1(coder);
    Settings settings; // variable rate: the header frame gives the exact length
    settings.mp3Vbr = 1;
    settings.mp3SampleRate = 2;
    settings.mp3Stereo = 1;
    applyEncoderSettings(settings, coder);
    ripper.setCoder(&coder);
    ripper.setEncode(true);
    ripper.RipTrack(3, file("3.mp3"));
    const Decoded decoded = decode(file("3.mp3"), file("3-decoded.wav"));
    const qsizetype chunkFrames = coder.SamplesPerChunk() / 2;
    EXPECT_EQ(decoded.frames(), source.size() / 4 / chunkFrames * chunkFrames);
}

} // namespace
} // namespace fr
