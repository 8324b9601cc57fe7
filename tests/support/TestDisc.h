#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace fr::test {

// A BIN/CUE disc for the ripping tests: audio tracks of test sound, optionally after a data
// track, in one .bin beside its cue sheet (the disc-image driver reads `<cue name>.bin`
// whatever the sheet names, and only upper-case keywords, so the files are written that way).
//
// The sound is filtered noise, different in each channel and never repeating: jitter
// correction matches overlapping reads, and a pure tone would match anywhere.
class TestDisc {
public:
    // Writes <folder>/<name>.cue and .bin: `dataSectors` of a data track first when not 0,
    // then one audio track per entry of `audioSectors`. Throws std::runtime_error naming the
    // file that could not be written.
    TestDisc(const QString& folder, const QString& name, const std::vector<int>& audioSectors,
             int dataSectors = 0);

    // A mixed-mode disc: `volume`'s 2048-byte sectors as the raw sectors of a MODE1/2352 data
    // track (sync, header, user data; no error codes), then the audio tracks.
    static TestDisc mixedMode(const QString& folder, const QString& name, const QByteArray& volume,
                              const std::vector<int>& audioSectors);

    QString cueSheet() const { return cue_; }
    QString binFile() const { return bin_; }
    // First sector of each track (the data track first when there is one), then the sector
    // after the last track.
    const std::vector<int>& starts() const { return starts_; }
    // The PCM of track `track` (from 1) as it stands in the .bin: 16-bit little-endian stereo
    // at 44100 Hz, 2352 bytes a sector.
    QByteArray trackPcm(int track) const;

    // `sectors` of test sound; each seed gives other sound.
    static QByteArray testSound(int sectors, std::uint32_t seed);

private:
    QString cue_;
    QString bin_;
    std::vector<int> starts_;
    QByteArray image_;
};

} // namespace fr::test
