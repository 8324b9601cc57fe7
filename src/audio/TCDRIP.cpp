#include "audio/TCDRIP.h"

#include "audio/FileExtension.h"
#include "audio/WavHeader.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <exception>
#include <sys/stat.h>

namespace fr {

namespace {

std::uint32_t field(const std::uint8_t* block, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, block + offset, 4);
    return value;
}

void setField(std::uint8_t* block, std::size_t offset, std::uint32_t value) {
    std::memcpy(block + offset, &value, 4);
}

} // namespace

QString sectorRunsText(const std::vector<SectorRun>& runs) {
    QStringList parts;
    for (const SectorRun& run : runs)
        parts.append(run.first == run.last ? QString::number(run.first)
                                           : QStringLiteral("%1-%2").arg(run.first).arg(run.last));
    return parts.join(QStringLiteral(", "));
}

QString trackTitle(const QString& trackWord, int number) {
    return trackWord + QLatin1Char(' ') + QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

void TDriveTableClass::readFrom(const std::uint8_t* block) {
    std::memcpy(values_.data(), block, CdRomParameters::kDriveTableSize);
}

// The output file of one rip: every write must be taken whole.
class TCDRIP::RipFile {
public:
    explicit RipFile(const QString& name) : file_(name) {}

    bool open() {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        struct stat status {};
        regular_ = ::fstat(file_.handle(), &status) == 0 && S_ISREG(status.st_mode);
        return true;
    }
    QString reason() const { return file_.errorString(); }
    void write(const void* data, std::uint32_t bytes) {
        if (bytes == 0)
            return;
        const qint64 written = file_.write(static_cast<const char*>(data), bytes);
        if (written != qint64(bytes))
            throw ECDRIPWriteError(file_.fileName(), file_.errorString());
        written_ += bytes;
    }
    // Rewrites `bytes` at `offset` and comes back to the end.
    void writeAt(qint64 offset, const void* data, std::uint32_t bytes) {
        const qint64 end = file_.pos();
        if (!file_.seek(offset) || file_.write(static_cast<const char*>(data), bytes) != bytes ||
            !file_.seek(end))
            throw ECDRIPWriteError(file_.fileName(), file_.errorString());
    }
    qint64 written() const { return written_; }
    void close() { file_.close(); }
    // Takes away a file that holds only part of the track; empty, or the reason it stays.
    // Only a file of its own is taken away, never a device that was written to.
    QString remove() {
        file_.close();
        if (!regular_)
            return {};
        return file_.remove() ? QString() : file_.errorString();
    }

private:
    QFile file_;
    qint64 written_ = 0;
    bool regular_ = false;
};

TCDRIP::TCDRIP(CdRipLibrary& library, std::function<QString()> trackWord)
    : library_(library), trackWord_(std::move(trackWord)) {
    try {
        version_ = QString::number(library_.CR_GetCDRipVersion());
        if (library_.CR_Init() == CR_ERROR)
            return;
        if (library_.CR_GetCDROMParameters(parameters_.data()) != CR_ERROR) {
            cdRomNum_ = std::int32_t(library_.CR_GetActiveCDROM());
            readRecord();
            jitterCorrect_ = true;
            setField(parameters_.data(), CdRomParameters::kJitterCorrection, std::uint32_t(-1));
        }
        if (library_.CR_ReadToc() != CR_ERROR) {
            trackCount_ = std::int32_t(library_.CR_GetNumTocEntries());
            buildTrackList();
        }
        jitterErrorCount_ = 0;
    } catch (const std::exception&) {
        throw ECDRIPError("Initialization failure");
    }
}

void TCDRIP::readRecord() {
    driveTable_.readFrom(parameters_.data() + CdRomParameters::kDriveTable);
    outputFormat_ = TOutputFormat(parameters_[CdRomParameters::kOutputFormat]);
    speed_ = std::int32_t(field(parameters_.data(), CdRomParameters::kSpeed));
}

void TCDRIP::buildTrackList() {
    tracks_.clear();
    // Read with the table of contents, so that the texts are those of the listed tracks.
    discText_ = library_.CR_GetDiscText();
    const QString word = trackWord_ ? trackWord_() : QString();
    for (std::int32_t i = 0; i < trackCount_; ++i) {
        const TocEntry first = library_.CR_GetTocEntry(std::uint32_t(i));
        const TocEntry next = library_.CR_GetTocEntry(std::uint32_t(i) + 1);
        TTrack track{i + 1, std::int32_t(first.StartSector), std::int32_t(next.StartSector) - 1,
                     first.Flags == 16 ? QStringLiteral("Audio") : QStringLiteral("Data")};
        tracks_.emplace_back(trackTitle(word, i + 1), std::move(track));
    }
}

void TCDRIP::setCDRomNum(std::int32_t value) {
    if (value == cdRomNum_)
        return;
    try {
        if (library_.CR_SetActiveCDROM(std::uint32_t(value)) != CR_ERROR &&
            library_.CR_GetCDROMParameters(parameters_.data()) != CR_ERROR) {
            readRecord();
            cdRomNum_ = value;
        }
        ReadTableOfContents();
    } catch (const std::exception&) {
        throw ECDRIPError("Initialization failure");
    }
}

void TCDRIP::ReadTableOfContents() {
    if (library_.CR_ReadToc() == CR_ERROR)
        return;
    trackCount_ = std::int32_t(library_.CR_GetNumTocEntries());
    buildTrackList();
}

void TCDRIP::setJitterCorrect(bool value) {
    if (value == jitterCorrect_)
        return;
    jitterCorrect_ = value;
    setField(parameters_.data(), CdRomParameters::kJitterCorrection, value ? std::uint32_t(-1) : 0);
}

void TCDRIP::setOutputFormat(TOutputFormat value) {
    if (value != outputFormat_)
        setField(parameters_.data(), CdRomParameters::kOutputFormat, std::uint32_t(value));
    outputFormat_ = value;
    MatchCoderToFormat();
}

void TCDRIP::setCoder(TLameCoder* coder) {
    coder_ = coder;
    MatchCoderToFormat();
}

void TCDRIP::MatchCoderToFormat() {
    if (!coder_)
        return;
    coder_->setMode(channelsOf(outputFormat_) == 2 ? TLameMode::STEREO : TLameMode::MONO);
    coder_->setSampleRate(std::uint32_t(sampleRateOf(outputFormat_)));
}

bool TCDRIP::ApplyParameters() {
    return library_.CR_SetCDROMParameters(parameters_.data()) != CR_ERROR;
}

void TCDRIP::RipTrack(int trackNum, const QString& fileName) {
    if (OnBeginTrack)
        OnBeginTrack(this, std::uint16_t(trackNum));
    const TTrack& track = tracks_.at(std::size_t(trackNum - 1)).second;
    RipSectors(track.StartSector, track.EndSector, fileName);
    if (OnEndTrack)
        OnEndTrack(this, std::uint16_t(trackNum));
}

void TCDRIP::RipSectors(std::int32_t start, std::int32_t end, const QString& fileName) {
    bool accepted = false;
    try {
        accepted = ApplyParameters();
    } catch (const std::exception&) {
        throw ECDRIPError("Error setting parameters");
    }
    if (!accepted)
        throw ECDRIPError("Invalid CD-ROM parameters");
    stopRequested_ = false;
    cutShort_ = false;
    jitterLog_.clear();
    unreadable_.clear();

    std::uint32_t chunkBytes = 0;
    if (library_.CR_OpenRipper(&chunkBytes, std::uint32_t(start), std::uint32_t(end)) == CR_ERROR)
        return;
    // The encoder starts before the file is made: one that refuses its settings has no chunk
    // size, and feeding it would run past the rip buffer. Nothing is ripped then.
    if (encode_ && coder_) {
        const bool started = coder_->InitStream() == 0;
        if (!started || coder_->SamplesPerChunk() == 0) {
            if (started)
                coder_->CloseStream();
            library_.CR_CloseRipper();
            throw ECDRIPEncoderError();
        }
    }
    const QString outputName = encode_ ? changeFileExt(fileName, QStringLiteral(".mp3")) : fileName;
    RipFile file(outputName);
    if (!file.open()) {
        if (encode_ && coder_)
            coder_->CloseStream();
        library_.CR_CloseRipper();
        throw std::runtime_error(
            (outputName + QStringLiteral(": cannot be created: ") + file.reason()).toStdString());
    }
    std::exception_ptr failure;
    try {
        ripLoop(file, start, end, chunkBytes);
    } catch (...) {
        failure = std::current_exception();
    }
    library_.CR_CloseRipper();
    file.close();
    if (failure) {
        // What was written is part of the track, without its tag: it must not pass for the
        // track under the track's name.
        const QString kept = file.remove();
        if (kept.isEmpty())
            std::rethrow_exception(failure);
        try {
            std::rethrow_exception(failure);
        } catch (const ECDRIPWriteError& error) {
            throw ECDRIPWriteError(error.fileName(),
                                   error.reason() +
                                       QStringLiteral("; the partial file could not be removed: ") +
                                       kept);
        }
    }
    if (!jitterLog_.isEmpty())
        saveJitterLog(outputName);
}

void TCDRIP::ripLoop(RipFile& file, std::int32_t start, std::int32_t end,
                     std::uint32_t chunkBytes) {
    const bool encoding = encode_ && coder_;
    const bool wav = writeWav_ && !encode_;
    const std::uint32_t stated =
        std::uint32_t(end - start + 1) * std::uint32_t(bytesPerSectorOf(outputFormat_));
    std::uint32_t chunk = 0; // K: bytes of one encoder chunk
    std::vector<std::uint8_t> output;
    std::vector<std::int16_t> chunkBuffer;
    if (encoding) {
        // Started by RipSectors, with a chunk size that is not 0.
        output.resize(coder_->OutputBufferSize());
        chunk = 2 * coder_->SamplesPerChunk();
        chunkBuffer.resize(coder_->SamplesPerChunk());
    }
    std::vector<std::uint8_t> rip(chunkBytes + chunk);
    std::uint32_t leftover = 0;

    std::exception_ptr failure;
    try {
        if (wav) {
            const auto header =
                wavHeader(channelsOf(outputFormat_), sampleRateOf(outputFormat_), stated);
            file.write(header.data(), std::uint32_t(header.size()));
        }
        std::uint32_t result = CR_OK;
        while (result != CR_END_OF_RANGE) {
            if (stopRequested_) {
                cutShort_ = true;
                break;
            }
            std::uint32_t bytes = 0;
            result = library_.CR_RipChunk(rip.data() + leftover, &bytes);
            if (result != CR_ERROR) {
                if (encoding) {
                    bytes += leftover;
                    const std::uint32_t chunks = chunk ? bytes / chunk : 0;
                    for (std::uint32_t k = 0; k < chunks; ++k) {
                        std::memcpy(chunkBuffer.data(), rip.data() + k * chunk, chunk);
                        std::uint32_t produced = 0;
                        coder_->EncodeChunk(chunkBuffer.data(), output.data(), &produced);
                        file.write(output.data(), produced);
                    }
                    leftover = bytes - chunks * chunk;
                    if (leftover > 0)
                        std::memmove(rip.data(), rip.data() + chunks * chunk, leftover);
                } else {
                    file.write(rip.data(), bytes);
                }
            }
            if (result == CR_SECTORS_LOST)
                noteUnreadableSectors();
            if (result == CR_JITTER_ERROR) {
                std::uint32_t first = 0, second = 0;
                library_.CR_GetLastJitterErrorPosition(&first, &second);
                jitterLog_.append(QString::number(first) + QLatin1Char(' ') +
                                  QString::number(second));
            }
            const std::uint32_t percent = library_.CR_GetPercentCompleted();
            if (OnProgress)
                OnProgress(this, std::uint16_t(percent));
            if (QCoreApplication::instance())
                QCoreApplication::processEvents();
        }
    } catch (...) {
        failure = std::current_exception();
    }

    // The closing steps run however the loop ended; a write error of theirs comes after them.
    if (encoding) {
        std::uint32_t produced = 0;
        coder_->DeinitStream(output.data(), &produced);
        try {
            file.write(output.data(), produced);
            // The header frame in its final form, now that the length is known.
            std::uint32_t tagBytes = 0;
            coder_->InfoTag(output.data(), &tagBytes);
            if (tagBytes > 0 && file.written() >= qint64(tagBytes))
                file.writeAt(0, output.data(), tagBytes);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
        coder_->CloseStream();
    }
    jitterErrorCount_ = std::int32_t(library_.CR_GetNumberOfJitterErrors());
    // A rip that ended early says so in its header: players take the size as it stands.
    if (wav && file.written() >= qint64(kWavHeaderSize) &&
        file.written() - qint64(kWavHeaderSize) != qint64(stated)) {
        const auto header = wavHeader(channelsOf(outputFormat_), sampleRateOf(outputFormat_),
                                      std::uint32_t(file.written() - kWavHeaderSize));
        try {
            file.writeAt(0, header.data(), std::uint32_t(header.size()));
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TCDRIP::noteUnreadableSectors() {
    SectorRun run;
    library_.CR_GetLastUnreadableSectors(&run.first, &run.last);
    jitterLog_.append(QStringLiteral("unreadable %1-%2").arg(run.first).arg(run.last));
    if (!unreadable_.empty() && run.first <= unreadable_.back().last + 1)
        unreadable_.back().last = std::max(unreadable_.back().last, run.last);
    else
        unreadable_.push_back(run);
    if (OnUnreadableSectors)
        OnUnreadableSectors(this, run);
}

void TCDRIP::saveJitterLog(const QString& outputName) const {
    const QString logName = changeFileExt(outputName, QStringLiteral("jitt"));
    QSaveFile log(logName);
    if (!log.open(QIODevice::WriteOnly))
        throw std::runtime_error(
            (logName + QStringLiteral(": cannot be created: ") + log.errorString()).toStdString());
    for (const QString& line : jitterLog_)
        log.write((line + QStringLiteral("\r\n")).toUtf8());
    if (!log.commit())
        throw std::runtime_error(
            (logName + QStringLiteral(": cannot be written: ") + log.errorString()).toStdString());
}

} // namespace fr
