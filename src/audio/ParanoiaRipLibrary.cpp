#include "audio/ParanoiaRipLibrary.h"

#include "audio/OutputFormat.h"
#include "disk/LibcdioMessages.h"
#include "platform/DriveMap.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtGlobal>
#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cstdlib>
#include <cstring>
#include <deque>

namespace fr {

namespace {

constexpr std::uint32_t kVersion = 111;
// Sectors one chunk reads: about a third of a second of sound, a few dozen kilobytes.
constexpr std::uint32_t kChunkSectors = 27;
constexpr int kWordsPerSector = CDIO_CD_FRAMESIZE_RAW / 2;
constexpr int kFramesPerSector = CDIO_CD_FRAMESIZE_RAW / 4;
constexpr int kReadRetries = 20;
// Zero samples in a row that, near a failed read, mark a sector as silence put in place of
// sound that could not be read (recorded sound is seldom exactly this still).
constexpr int kLostRunWords = 64;
// How far from a failed read a sector can have lost sound: a read takes in dozens of sectors,
// and all of them go when it fails.
constexpr long kLostReach = 64;

std::uint32_t field(const std::uint8_t* block, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, block + offset, 4);
    return value;
}

CdIo_t* openDisc(const QString& source) {
    const QByteArray name = QFile::encodeName(source);
    const bool cueSheet =
        QFileInfo(source).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0;
    return cdio_open(name.constData(), cueSheet ? DRIVER_BINCUE : DRIVER_DEVICE);
}

// The flags byte of a table-of-contents entry: ADR 1 over the track's control bits.
// A CD-Text field as the library gives it: UTF-8, made from the disc's ISO-8859-1. A cue sheet
// written in UTF-8, as most are today, comes out encoded twice ("Ã©" for "é"); such a text is
// taken back to what the sheet says.
QString discTextField(const cdtext_t* text, cdtext_field_t field, track_t track) {
    const char* value = cdtext_get_const(text, field, track);
    const QString once = QString::fromUtf8(value ? value : "").trimmed();
    const bool latin1 =
        std::all_of(once.begin(), once.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (!latin1)
        return once;
    const QByteArray bytes = once.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString twice = utf8.decode(bytes);
    return utf8.hasError() || twice == once ? once : twice;
}

DiscText discTextOf(CdIo_t* cdio, track_t first, track_t count) {
    DiscText disc;
    const cdtext_t* text = cdio_get_cdtext(cdio);
    if (!text)
        return disc;
    disc.album = discTextField(text, CDTEXT_FIELD_TITLE, 0);
    disc.performer = discTextField(text, CDTEXT_FIELD_PERFORMER, 0);
    bool anyTrack = false;
    for (track_t track = first; track < first + count; ++track) {
        DiscText::Track entry{discTextField(text, CDTEXT_FIELD_TITLE, track),
                              discTextField(text, CDTEXT_FIELD_PERFORMER, track)};
        anyTrack = anyTrack || !entry.title.isEmpty() || !entry.performer.isEmpty();
        disc.tracks.append(entry);
    }
    if (!anyTrack)
        disc.tracks.clear();
    return disc;
}

std::uint8_t flagsOf(CdIo_t* cdio, track_t track) {
    std::uint8_t control = 0;
    if (cdio_get_track_format(cdio, track) != TRACK_FORMAT_AUDIO)
        control |= 0x04;
    if (cdio_get_track_copy_permit(cdio, track) == CDIO_TRACK_FLAG_TRUE)
        control |= 0x02;
    if (cdio_get_track_preemphasis(cdio, track) == CDIO_TRACK_FLAG_TRUE)
        control |= 0x01;
    if (cdio_get_track_channels(cdio, track) == 4)
        control |= 0x08;
    return std::uint8_t(0x10 | control);
}

// Whether a sector handed back after a read error holds silence put in place of lost sound.
bool hasLostRun(const std::int16_t* words) {
    int run = 0;
    for (int i = 0; i < kWordsPerSector; ++i) {
        run = words[i] == 0 ? run + 1 : 0;
        if (run >= kLostRunWords)
            return true;
    }
    return false;
}

bool isCorrectedJitter(paranoia_cb_mode_t mode) {
    return mode == PARANOIA_CB_FIXUP_EDGE || mode == PARANOIA_CB_FIXUP_ATOM ||
           mode == PARANOIA_CB_FIXUP_DROPPED || mode == PARANOIA_CB_FIXUP_DUPED ||
           mode == PARANOIA_CB_DRIFT;
}

void putSample(std::uint8_t*& out, int value) {
    const auto sample = std::uint16_t(std::int16_t(value));
    *out++ = std::uint8_t(sample);
    *out++ = std::uint8_t(sample >> 8);
}

} // namespace

struct ParanoiaRipLibrary::Rip {
    ~Rip() {
        if (paranoia)
            cdio_paranoia_free(paranoia);
        if (drive)
            cdio_cddap_close_no_free_cdio(drive);
        if (cdio)
            cdio_destroy(cdio);
    }

    // Paranoia's callback carries no pointer of ours: it reaches the rip that is reading on
    // this thread through this one.
    static thread_local Rip* reading;

    static void callback(long position, paranoia_cb_mode_t mode) {
        Rip* rip = reading;
        if (!rip)
            return;
        if (mode == PARANOIA_CB_READERR || mode == PARANOIA_CB_SKIP) {
            rip->failedReads.push_back(position / kWordsPerSector);
            return;
        }
        if (!isCorrectedJitter(mode))
            return;
        // Paranoia reports read-ahead sectors too, and some events twice.
        if (position == rip->lastPosition && mode == rip->lastMode)
            return;
        rip->lastPosition = position;
        rip->lastMode = mode;
        ++rip->jitterErrors;
        rip->jitterInChunk = true;
    }

    // One sector of CD sound (588 stereo frames) in the output format.
    std::uint8_t* convert(const std::int16_t* words, std::uint8_t* out) const {
        const int group = 44100 / sampleRateOf(format);
        for (int frame = 0; frame < kFramesPerSector; frame += group) {
            int left = 0, right = 0;
            for (int i = 0; i < group; ++i) {
                left += words[2 * (frame + i)];
                right += words[2 * (frame + i) + 1];
            }
            if (channelsOf(format) == 2) {
                putSample(out, left / group);
                putSample(out, right / group);
            } else {
                putSample(out, (left + right) / (2 * group));
            }
        }
        return out;
    }

    CdIo_t* cdio = nullptr;
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    TOutputFormat format = TOutputFormat::STEREO44100;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t next = 0;
    std::uint32_t jitterErrors = 0;
    bool jitterInChunk = false;
    // Sectors where reads failed, near the sectors being handed back: silence in a sector
    // close to one of them may be lost sound.
    std::deque<long> failedReads;
    std::uint32_t lostFirst = 0; // the unreadable sectors of the last chunk that had any
    std::uint32_t lostLast = 0;
    long lastPosition = -1;
    paranoia_cb_mode_t lastMode = PARANOIA_CB_READ;
};

thread_local ParanoiaRipLibrary::Rip* ParanoiaRipLibrary::Rip::reading = nullptr;

ParanoiaRipLibrary::ParanoiaRipLibrary(std::vector<QString> driveSources)
    : sources_(std::move(driveSources)), parameters_(sources_.size()) {
    routeLibcdioMessages();
    for (Parameters& record : parameters_) {
        record.fill(0);
        const std::int32_t on = -1;
        std::memcpy(record.data() + CdRomParameters::kJitterCorrection, &on, 4);
    }
}

ParanoiaRipLibrary::~ParanoiaRipLibrary() = default;

std::vector<QString> ParanoiaRipLibrary::cdDrivesOf(const DriveMap& drives) {
    std::vector<QString> sources;
    for (const Drive& drive : drives.drives())
        if (drive.type == DriveType::CdRom && !drive.device.isEmpty())
            sources.push_back(drive.device);
    return sources;
}

std::uint32_t ParanoiaRipLibrary::CR_GetCDRipVersion() {
    return kVersion;
}

std::uint32_t ParanoiaRipLibrary::CR_Init() {
    return sources_.empty() ? CR_ERROR : CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_GetCDROMParameters(std::uint8_t* parameters) {
    if (active_ >= parameters_.size())
        return CR_ERROR;
    std::copy(parameters_[active_].begin(), parameters_[active_].end(), parameters);
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_SetCDROMParameters(const std::uint8_t* parameters) {
    if (active_ >= parameters_.size() ||
        parameters[CdRomParameters::kOutputFormat] > std::uint8_t(TOutputFormat::MONO11025))
        return CR_ERROR;
    std::copy_n(parameters, CdRomParameters::kSize, parameters_[active_].begin());
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_GetActiveCDROM() {
    return active_;
}

std::uint32_t ParanoiaRipLibrary::CR_SetActiveCDROM(std::uint32_t drive) {
    if (drive >= sources_.size() || rip_)
        return CR_ERROR;
    active_ = drive;
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_ReadToc() {
    if (active_ >= sources_.size())
        return CR_ERROR;
    CdIo_t* cdio = openDisc(sources_[active_]);
    if (!cdio)
        return CR_ERROR;
    std::vector<TocEntry> toc;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK && leadOut != CDIO_INVALID_LSN) {
        for (track_t track = first; track < first + count; ++track)
            toc.push_back({std::uint32_t(cdio_get_track_lsn(cdio, track)), flagsOf(cdio, track)});
        toc.push_back({std::uint32_t(leadOut), 0x10});
    }
    DiscText text = toc.empty() ? DiscText{} : discTextOf(cdio, first, count);
    cdio_destroy(cdio);
    if (toc.empty())
        return CR_ERROR;
    toc_ = std::move(toc);
    discText_ = std::move(text);
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_GetNumTocEntries() {
    return toc_.empty() ? 0 : std::uint32_t(toc_.size() - 1);
}

TocEntry ParanoiaRipLibrary::CR_GetTocEntry(std::uint32_t index) {
    return index < toc_.size() ? toc_[index] : TocEntry{};
}

std::uint32_t ParanoiaRipLibrary::CR_OpenRipper(std::uint32_t* bufferSize, std::uint32_t start,
                                                std::uint32_t end) {
    if (rip_ || active_ >= sources_.size() || end < start)
        return CR_ERROR;
    auto rip = std::make_unique<Rip>();
    const Parameters& record = parameters_[active_];
    rip->format = TOutputFormat(record[CdRomParameters::kOutputFormat]);
    rip->cdio = openDisc(sources_[active_]);
    if (!rip->cdio)
        return CR_ERROR;
    rip->drive = cdio_cddap_identify_cdio(rip->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!rip->drive || cdio_cddap_open(rip->drive) != 0)
        return CR_ERROR;
    rip->drive->i_test_flags = testFlags_;
    rip->paranoia = cdio_paranoia_init(rip->drive);
    if (!rip->paranoia)
        return CR_ERROR;
    const bool jitterCorrection = field(record.data(), CdRomParameters::kJitterCorrection) != 0;
    cdio_paranoia_modeset(rip->paranoia, jitterCorrection
                                             ? PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP
                                             : PARANOIA_MODE_DISABLE);
    cdio_paranoia_seek(rip->paranoia, lsn_t(start), SEEK_SET);
    rip->start = rip->next = start;
    rip->end = end;
    *bufferSize = kChunkSectors * std::uint32_t(bytesPerSectorOf(rip->format));
    rip_ = std::move(rip);
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_RipChunk(std::uint8_t* buffer, std::uint32_t* bytes) {
    *bytes = 0;
    if (!rip_)
        return CR_ERROR;
    Rip& rip = *rip_;
    if (rip.next > rip.end)
        return CR_END_OF_RANGE;
    rip.jitterInChunk = false;
    bool lost = false;
    std::uint8_t* out = buffer;
    const std::uint32_t sectors = std::min(kChunkSectors, rip.end - rip.next + 1);
    Rip::reading = &rip;
    for (std::uint32_t i = 0; i < sectors; ++i) {
        const std::int16_t* words =
            cdio_paranoia_read_limited(rip.paranoia, &Rip::callback, kReadRetries);
        // Paranoia puts silence where it could not read; without a sector at all, so do we:
        // either way the rest of the sound keeps its place.
        const long sector = long(rip.next + i);
        std::erase_if(rip.failedReads,
                      [sector](long failed) { return failed < sector - kLostReach; });
        const bool nearFailure =
            std::any_of(rip.failedReads.begin(), rip.failedReads.end(),
                        [sector](long failed) { return std::abs(failed - sector) <= kLostReach; });
        const bool unreadable = !words || (nearFailure && hasLostRun(words));
        if (words) {
            out = rip.convert(words, out);
        } else {
            const int size = bytesPerSectorOf(rip.format);
            std::memset(out, 0, size);
            out += size;
        }
        if (unreadable) {
            if (!lost)
                rip.lostFirst = std::uint32_t(sector);
            rip.lostLast = std::uint32_t(sector);
            lost = true;
        }
    }
    Rip::reading = nullptr;
    rip.next += sectors;
    *bytes = std::uint32_t(out - buffer);
    // A last chunk with lost sectors says so first; the end of the range follows on its own.
    if (lost)
        return CR_SECTORS_LOST;
    if (rip.next > rip.end)
        return CR_END_OF_RANGE;
    return rip.jitterInChunk ? CR_JITTER_ERROR : CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_GetLastJitterErrorPosition(std::uint32_t* first,
                                                                std::uint32_t* second) {
    // The sector of the last corrected place, and the byte within it.
    const long position = rip_ ? std::max(0L, rip_->lastPosition) : 0;
    *first = std::uint32_t(position / kWordsPerSector);
    *second = std::uint32_t(position % kWordsPerSector * 2);
    return CR_OK;
}

std::uint32_t ParanoiaRipLibrary::CR_GetLastUnreadableSectors(std::uint32_t* first,
                                                              std::uint32_t* last) {
    *first = rip_ ? rip_->lostFirst : 0;
    *last = rip_ ? rip_->lostLast : 0;
    return rip_ ? CR_OK : CR_ERROR;
}

std::uint32_t ParanoiaRipLibrary::CR_GetPercentCompleted() {
    if (!rip_)
        return 0;
    return std::uint32_t(std::uint64_t(rip_->next - rip_->start) * 100 /
                         (std::uint64_t(rip_->end) - rip_->start + 1));
}

std::uint32_t ParanoiaRipLibrary::CR_GetNumberOfJitterErrors() {
    return rip_ ? rip_->jitterErrors : 0;
}

std::uint32_t ParanoiaRipLibrary::CR_CloseRipper() {
    rip_.reset();
    return CR_OK;
}

} // namespace fr
