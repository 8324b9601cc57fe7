#include "audio/TCDRIP.h"

#include "audio/ScriptedCdRipLibrary.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::ScriptedCdRipLibrary;

QByteArray readAll(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sound that differs from byte to byte, so a dropped or doubled piece changes the MP3.
QByteArray pcm(int bytes, int seed) {
    QByteArray data(bytes, Qt::Uninitialized);
    std::uint32_t state = std::uint32_t(seed);
    for (char& byte : data) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    return data;
}

// What the encoder makes of `sound` fed in its own whole chunks, the rest left out, then
// flushed: the stream a rip must write whatever chunk sizes the library delivers.
QByteArray referenceMp3(const QByteArray& sound) {
    TLameCoder coder;
    coder.InitStream();
    std::vector<std::uint8_t> out(coder.OutputBufferSize());
    const qsizetype chunk = 2 * qsizetype(coder.SamplesPerChunk());
    std::vector<std::int16_t> samples(coder.SamplesPerChunk());
    QByteArray mp3;
    std::uint32_t produced = 0;
    for (qsizetype at = 0; at + chunk <= sound.size(); at += chunk) {
        std::memcpy(samples.data(), sound.constData() + at, std::size_t(chunk));
        coder.EncodeChunk(samples.data(), out.data(), &produced);
        mp3.append(reinterpret_cast<const char*>(out.data()), produced);
    }
    coder.DeinitStream(out.data(), &produced);
    mp3.append(reinterpret_cast<const char*>(out.data()), produced);
    coder.CloseStream();
    return mp3;
}

class TCDRIPTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        library.toc = {{150, 16}, {1000, 20}, {2000, 17}, {3000, 16}};
    }
    QString file(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    ScriptedCdRipLibrary library;
    QString word = QStringLiteral("Track");
};

TEST_F(TCDRIPTest, BuildsOneTrackPerEntryEndingWhereTheNextBegins) {
    TCDRIP rip(library, [this] { return word; });
    EXPECT_EQ(library.calls,
              QStringList({"GetCDRipVersion", "Init", "GetCDROMParameters", "GetActiveCDROM",
                           "ReadToc", "GetNumTocEntries", "GetTocEntry 0", "GetTocEntry 1",
                           "GetTocEntry 1", "GetTocEntry 2", "GetTocEntry 2", "GetTocEntry 3"}));
    ASSERT_EQ(rip.TrackCount(), 3);
    ASSERT_EQ(rip.Tracks().size(), 3u);
    const TTrack& last = rip.Tracks()[2].second;
    EXPECT_EQ(last.StartSector, 2000);
    EXPECT_EQ(last.EndSector, 2999) << "one before the lead-out";
    EXPECT_EQ(rip.Tracks()[0].second.Kind, "Audio");
    EXPECT_EQ(rip.Tracks()[1].second.Kind, "Data") << "flags 20";
    EXPECT_EQ(rip.Tracks()[2].second.Kind, "Data") << "flags 17";
    EXPECT_EQ(rip.Tracks()[0].first, "Track 01");
    EXPECT_EQ(trackTitle("Track", 7), "Track 07");
    EXPECT_EQ(trackTitle("Track", 100), "Track 100");
    // Correction is switched on in the record at construction.
    EXPECT_EQ(rip.parameters()[CdRomParameters::kJitterCorrection], 0xff);

    // The titles follow the language of the moment the list is built.
    word = QStringLiteral("Stopa");
    library.toc.pop_back();
    rip.ReadTableOfContents();
    ASSERT_EQ(rip.TrackCount(), 2);
    EXPECT_EQ(rip.Tracks().size(), 2u) << "the list is the new disc's, not appended";
    EXPECT_EQ(rip.Tracks()[1].first, "Stopa 02");
}

TEST_F(TCDRIPTest, SelectingTheSelectedDriveReadsNothing) {
    TCDRIP rip(library, {});
    library.calls.clear();
    rip.setCDRomNum(0);
    EXPECT_TRUE(library.calls.isEmpty());

    library.record[CdRomParameters::kOutputFormat] = std::uint8_t(TOutputFormat::MONO22050);
    library.record[CdRomParameters::kSpeed] = 24;
    rip.setCDRomNum(1);
    EXPECT_EQ(library.calls.mid(0, 4), QStringList({"SetActiveCDROM 1", "GetCDROMParameters",
                                                    "ReadToc", "GetNumTocEntries"}));
    EXPECT_EQ(rip.CDRomNum(), 1);
    EXPECT_EQ(rip.OutputFormat(), TOutputFormat::MONO22050);
    EXPECT_EQ(rip.Speed(), 24);
}

TEST_F(TCDRIPTest, FormatAndCorrectionReachTheRecordAndTheEncoder) {
    TCDRIP rip(library, {});
    TLameCoder coder;
    rip.setCoder(&coder);
    rip.setOutputFormat(TOutputFormat::MONO22050);
    rip.setJitterCorrect(false);
    ASSERT_TRUE(rip.ApplyParameters());
    EXPECT_EQ(library.record[CdRomParameters::kOutputFormat], 3);
    EXPECT_EQ(library.record[CdRomParameters::kJitterCorrection], 0);
    EXPECT_EQ(coder.Mode(), TLameMode::MONO);
    EXPECT_EQ(coder.SampleRate(), 22050u);
}

TEST_F(TCDRIPTest, AFailedOpenMakesNoFileYetRaisesBothTrackEvents) {
    TCDRIP rip(library, {});
    QStringList events;
    rip.OnBeginTrack = [&](TCDRIP*, std::uint16_t n) {
        events << QStringLiteral("begin %1").arg(n);
    };
    rip.OnEndTrack = [&](TCDRIP*, std::uint16_t n) {
        events << QStringLiteral("end %1").arg(n);
    };
    rip.OnProgress = [&](TCDRIP*, std::uint16_t) {
        events << QStringLiteral("progress");
    };
    library.openResult = CR_ERROR;
    library.calls.clear();
    rip.RipTrack(2, file("2.wav"));
    EXPECT_EQ(events, QStringList({"begin 2", "end 2"}));
    EXPECT_FALSE(QFile::exists(file("2.wav")));
    EXPECT_EQ(library.calls, QStringList({"SetCDROMParameters", "OpenRipper 1000 1999"}));
}

TEST_F(TCDRIPTest, FailuresAreReportedAfterTheRipIsClosed) {
    TCDRIP rip(library, {});
    library.setParametersResult = CR_ERROR;
    library.calls.clear();
    EXPECT_THROW(
        try { rip.RipSectors(0, 10, file("1.wav")); } catch (const ECDRIPError& error) {
            EXPECT_STREQ(error.what(), "Invalid CD-ROM parameters");
            throw;
        },
        ECDRIPError);
    EXPECT_EQ(library.calls, QStringList({"SetCDROMParameters"})) << "nothing opened";

    // A full disk: the loop stops at the first short write, the closing steps still run.
    library.setParametersResult = CR_OK;
    library.chunks = {{pcm(4096, 1), CR_OK}, {pcm(4096, 2), CR_END_OF_RANGE}};
    library.calls.clear();
    EXPECT_THROW(
        try { rip.RipSectors(0, 10, "/dev/full"); } catch (const ECDRIPError& error) {
            EXPECT_STREQ(error.what(), "Write error");
            throw;
        },
        ECDRIPError);
    EXPECT_EQ(library.calls.count("RipChunk"), 1);
    EXPECT_EQ(library.calls.mid(library.calls.size() - 2),
              QStringList({"GetNumberOfJitterErrors", "CloseRipper"}));

    // An encoder that refuses its settings has no chunk size: nothing is ripped, no file made.
    TLameCoder coder;
    rip.setCoder(&coder);
    rip.setEncode(true);
    coder.setSampleRate(0); // PCM of no rate
    library.chunks = {{pcm(4096, 1), CR_OK}, {pcm(4096, 2), CR_END_OF_RANGE}};
    library.calls.clear();
    EXPECT_THROW(rip.RipSectors(0, 10, file("3.wav")), ECDRIPEncoderError);
    EXPECT_EQ(library.calls, QStringList({"SetCDROMParameters", "OpenRipper 0 10", "CloseRipper"}));
    EXPECT_FALSE(QFile::exists(file("3.mp3")));
}

TEST_F(TCDRIPTest, AWavHeaderStatesTheWholeRangeOrWhatAStopLeft) {
    TCDRIP rip(library, {});
    rip.setWriteWAV(true);
    library.chunkBytes = 27 * 2352;
    const QByteArray sound = pcm(75 * 2352, 1);
    library.chunks = {{sound.left(30000), CR_OK},
                      {sound.mid(30000, 60000), CR_OK},
                      {sound.mid(90000, 60000), CR_OK},
                      {sound.mid(150000), CR_END_OF_RANGE}};
    rip.RipSectors(1000, 1074, file("a.wav"));
    const QByteArray wav = readAll(file("a.wav"));
    ASSERT_EQ(wav.size(), 44 + sound.size());
    EXPECT_EQ(wav.mid(44), sound);
    // 75 sectors of 2352 bytes: the header counts every sector of the inclusive range.
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 40), 176400u);
    EXPECT_EQ(qFromLittleEndian<quint32>(wav.constData() + 4), 176436u);
    EXPECT_EQ(wav.mid(20, 16), QByteArray::fromHex("01000200"
                                                   "44ac0000"
                                                   "10b10200"
                                                   "04001000"));

    library.chunks = {{sound.left(30000), CR_OK}, {sound.mid(30000), CR_END_OF_RANGE}};
    library.duringChunk = [&rip] {
        rip.StopRip();
    };
    rip.RipSectors(1000, 1074, file("b.wav"));
    const QByteArray stopped = readAll(file("b.wav"));
    ASSERT_EQ(stopped.size(), 44 + 30000);
    EXPECT_EQ(qFromLittleEndian<quint32>(stopped.constData() + 40), 30000u)
        << "the header is brought in line with the sound a stop left";
}

TEST_F(TCDRIPTest, EncodingCarriesLeftoversSoNoSoundIsLostOrDoubled) {
    TLameCoder coder;
    TCDRIP rip(library, {});
    rip.setCoder(&coder);
    rip.setEncode(true);
    coder.InitStream(); // only to learn the chunk size
    const int chunk = 2 * int(coder.SamplesPerChunk());
    coder.CloseStream();
    library.chunkBytes = 3 * std::uint32_t(chunk);

    const std::vector<int> sizes{chunk - 2, 3, 2 * chunk + 5, 1, chunk, 700};
    QByteArray sound;
    std::deque<ScriptedCdRipLibrary::Chunk> chunks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const QByteArray piece = pcm(sizes[i], int(i) + 2);
        sound += piece;
        chunks.push_back({piece, i + 1 == sizes.size() ? CR_END_OF_RANGE : CR_OK});
    }
    library.chunks = chunks;
    rip.RipSectors(0, 10, file("1.wav"));
    EXPECT_FALSE(QFile::exists(file("1.wav")));
    EXPECT_EQ(readAll(file("1.mp3")), referenceMp3(sound));

    // A stop while the first chunk is handled: its whole chunks, then the flush, once each.
    library.chunks = chunks;
    library.duringChunk = [&rip] {
        rip.StopRip();
    };
    library.calls.clear();
    rip.RipSectors(0, 10, file("2.wav"));
    EXPECT_EQ(library.calls.count("RipChunk"), 1);
    EXPECT_EQ(library.calls.last(), "CloseRipper");
    EXPECT_EQ(readAll(file("2.mp3")), referenceMp3(chunks.front().pcm));
}

TEST_F(TCDRIPTest, JitterErrorsAreLoggedBesideTheOutputOnlyWhenThereAreAny) {
    TCDRIP rip(library, {});
    library.jitterErrors = 1;
    library.chunks = {{pcm(100, 1), CR_JITTER_ERROR}, {pcm(100, 2), CR_END_OF_RANGE}};
    rip.RipSectors(0, 1, file("1.wav"));
    EXPECT_EQ(rip.JitterErrorCount(), 1);
    EXPECT_EQ(readAll(file("1jitt")), "4000000000 7\r\n");

    library.jitterErrors = 0;
    library.chunks = {{pcm(100, 1), CR_END_OF_RANGE}};
    rip.RipSectors(0, 1, file("2.wav"));
    EXPECT_TRUE(rip.JitterLog().isEmpty());
    EXPECT_FALSE(QFile::exists(file("2jitt")));

    // Sectors that could not be read come as silence in a chunk that is kept whole, and are
    // named in the log.
    library.chunks = {{pcm(100, 1), CR_SECTORS_LOST}, {pcm(100, 2), CR_SECTORS_LOST}};
    rip.RipSectors(1190, 1210, file("3.wav"));
    EXPECT_EQ(readAll(file("3.wav")), pcm(100, 1) + pcm(100, 2));
    EXPECT_EQ(rip.UnreadableSectors(), (std::vector<SectorRun>{{1200, 1201}}));
    EXPECT_EQ(readAll(file("3jitt")), "unreadable 1200-1201\r\nunreadable 1200-1201\r\n");
}

} // namespace
} // namespace fr
