#include "cli/ImageCommands.h"

#include "cli/ExitStatus.h"
#include "cli/JobWatch.h"
#include "cli/JournalSlot.h"
#include "cli/MapOutput.h"
#include "cli/MediumArgument.h"
#include "cli/PathArguments.h"
#include "cli/ReadOrderOptions.h"
#include "cli/Session.h"
#include "cli/StopSignal.h"
#include "core/LiveJob.h"
#include "core/ProgramContext.h"
#include "core/RecordText.h"
#include "disk/DataTrack.h"
#include "disk/ImageEx.h"
#include "disk/ImageRaw.h"
#include "disk/ImageVolume.h"
#include "platform/DestinationLock.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"
#include "platform/MountTable.h"
#include "rescue/JournalEntry.h"
#include "rescue/OutputTarget.h"
#include "rescue/RegisterRecord.h"

#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace fr::cli {

namespace {

// The journal counts sectors in 32 bits.

enum class Direction { MediumToImage, ImageToMedium };

// A medium in the register of damaged media is written only when the user still wants it,
// asked once for each of its entries.
bool registerAccepted(Session& session, const Medium& medium) {
    ProgramContext& context = session.context();
    const QString serial = RegisterRecord::serialTextOf(medium.identity(context).SerialNumber);
    for (const RegisterRecord& entry : RegisterFile(context).readAll().records)
        if (entry.serialText == serial &&
            !context.prompts.confirm(medium.name() + QStringLiteral(": ") + session.text(178)))
            return false;
    return true;
}

// The medium of an image job, as messages name it.
QString mediumOf(const CopyJob& job, const ImageVolume& volume) {
    const QString& code =
        JournalEntry::namesMedium(job.sourceName) ? job.sourceName : job.destinationName;
    if (JournalEntry::isDeviceCode(code))
        return JournalEntry::deviceOfCode(code);
    return Medium{code.front(), volume.device}.described();
}

ImageVolume volumeOf(const Medium& medium, const DriveMap& drives) {
    return medium.hasDrive() ? ImageVolume::ofDrive(drives, medium.letter)
                             : ImageVolume::ofDevice(medium.device);
}

// The job on its way: `continueFrom` is the map of earlier runs the user named with --map, if
// any, which says what is still to read.
int runImageJob(Session& session, CopyJob job, const ImageVolume& volume,
                const QString& nativeImage, Direction direction, JournalSlot& slot,
                std::optional<RescueMap> continueFrom = {}) {
    ProgramContext& context = session.context();
    // The entry being finished, if any. It keeps its start, which names its map: good data
    // first may have read much of the medium while the position still stood at 0.
    const bool resumed = slot.holdsEntry();
    if (job.position == 0 && !resumed)
        job.stampStart(QDateTime::currentDateTime());
    const std::uint64_t from = job.position.load();
    const std::uint64_t sector = volume.bytesPerSector;
    auto jobSignals = std::make_shared<JobSignals>();

    // The job's map and record, kept on disk while it runs; the map --map names is kept up to
    // date with it.
    LiveJob::Description description;
    description.job = job;
    description.bytes = static_cast<std::int64_t>(job.totalSize * sector);
    description.unitBytes = static_cast<std::int64_t>(sector);
    description.createdBy = QStringLiteral("Fragmentrove 3.1 (fragmentrove-cli)");
    description.commandLine = session.commandLine();
    if (const QString userMap = runMapPath(session); !userMap.isEmpty())
        description.alsoMapTo << userMap;
    description.earlier = std::move(continueFrom);
    QString liveError;
    const std::shared_ptr<LiveJob> live =
        LiveJob::begin(context.programDir, description, &liveError);
    if (!live)
        return session.fail(liveError);

    JobReports<ImageOutcome> reports;
    reports.position = from;
    ImageHooks hooks = reports.hooks<ImageHooks>();
    ImageSetup setup{volume.device,
                     nativeImage,
                     volume.bytesPerSector,
                     from,
                     job.totalSize,
                     jobSignals,
                     context.platform,
                     live,
                     readOrderOf(session.arguments())};
    std::unique_ptr<ImageWorker> worker;
    if (direction == Direction::MediumToImage)
        worker = std::make_unique<ImageEx>(std::move(setup), std::move(hooks));
    else
        worker = std::make_unique<ImageRaw>(std::move(setup), std::move(hooks));
    StopSignal::install();
    StopSignal::withSignalsBlocked([&worker] { worker->start(); });

    const QString medium = mediumOf(job, volume);
    const bool toImage = direction == Direction::MediumToImage;
    session.tell(QStringLiteral("%1 -> %2: %3 sectors of %4 bytes%5")
                     .arg(toImage ? medium : job.sourceName, toImage ? job.destinationName : medium)
                     .arg(job.totalSize)
                     .arg(sector)
                     .arg(from > 0 ? QStringLiteral(", from sector %1").arg(from) : QString()));
    const std::unique_ptr<ProgressOutput> progress = session.progress();
    JobWatch watch;
    watch.ended = [&reports] {
        return reports.ended.load();
    };
    watch.sample = [&] {
        return ProgressSample{
            reports.percent.load(),
            reports.doneBytes(static_cast<std::int64_t>(reports.position.load() * sector)),
            static_cast<std::int64_t>(job.totalSize * sector),
            worker->failedReads(),
            worker->unreadableBytes(),
            reports.atDamagedArea(),
            worker->pass()};
    };
    watch.stop = [&](int) {
        jobSignals->stopRequested = true;
        // Journalled at once, never beyond what is on the destination's disk: a second signal
        // that ends the program before the read under way returns still leaves the entry.
        CopyJob stopped = job;
        stopped.position = live->committedPosition();
        if (const QString error = slot.put(stopped); !error.isEmpty())
            session.note(error);
        session.note(QStringLiteral("stopping after the read under way (again to quit at once)"));
    };
    const int signal = watchJob(watch, *progress);
    worker->wait();

    const ImageOutcome& outcome = reports.outcome;
    JobSummary& summary = session.summary();
    summary.takeMap(live->lastMap());
    summary.map = description.alsoMapTo.value(0);
    // What the journal may say: the position the map and record committed, which the disk
    // holds (after a failure the last sync may not have reached it).
    job.position = std::min(outcome.position, live->committedPosition());
    const bool finished =
        outcome.failure.isEmpty() && !outcome.mediumGone && outcome.position >= job.totalSize;
    // Once the journal holds the job, or it is done, the running record goes; the map stays
    // with a journalled job. Should the journal not take it, the record stays for the next
    // start to journal.
    auto journalled = [&live, &slot, &summary](const QString& error) {
        if (error.isEmpty()) {
            live->retire(true);
            summary.journalEntry = slot.number();
        }
        return error;
    };
    const auto hint = [&slot] {
        return QStringLiteral("journalled as entry %1; finish it with: fragmentrove-cli resume %1")
            .arg(slot.number());
    };

    int status = kDone;
    if (!outcome.failure.isEmpty()) {
        session.note(QStringLiteral("the image job could not go on: ") + outcome.failure);
        if (outcome.position > from || resumed) {
            if (const QString error = journalled(slot.put(job)); !error.isEmpty())
                session.note(error);
            else
                session.note(QStringLiteral("stopped at sector %1 of %2, ")
                                 .arg(job.position.load())
                                 .arg(job.totalSize) +
                             hint());
        } else {
            // Nothing done, nothing to finish later.
            live->retire(false);
        }
        status = kFailed;
    } else if (!finished) {
        if (const QString error = journalled(slot.put(job)); !error.isEmpty())
            return session.fail(error);
        if (outcome.mediumGone)
            session.say(session.text(262));
        session.say(QStringLiteral("Stopped at sector %1 of %2, ")
                        .arg(outcome.position)
                        .arg(job.totalSize) +
                    hint());
        status = outcome.mediumGone && signal == 0 ? kStopped : kStoppedBySignal + signal;
    } else {
        if (const QString error = slot.remove(); !error.isEmpty())
            session.note(error);
        // The places of the whole job: those an earlier run wrote as zeros count too, though
        // this run did not read them again.
        const AreaList unreadable = live->lastMap().unreadable;
        live->retire(false);
        if (outcome.readFailed || !unreadable.empty()) {
            session.say(QStringLiteral("Done with unreadable places, written as zeros: %1 bytes, "
                                       "areas: %2")
                            .arg(unreadable.totalBytes())
                            .arg(unreadable.size()));
            status = kDoneWithDamage;
        }
        if (outcome.unwrittenSectors > 0) {
            session.say(terminalText(session.text(228)) + ' ' +
                        QString::number(outcome.unwrittenSectors));
            status = kDoneWithDamage;
        }
        if (status == kDone)
            session.say(QStringLiteral("Done: every sector was read and written."));
    }
    return status;
}

// The checks of the window's image page before a medium is copied into an image file.
int startMediumToImage(Session& session, const Medium& medium, const QString& typedImage,
                       CopyJob job, bool resume, JournalSlot& slot) {
    ProgramContext& context = session.context();
    const TMediaIdentifier identity = medium.identity(context);
    if (identity.VolumeLabel.toUpper() == QLatin1String("AUDIO CD") &&
        identity.FileSystemName.toUpper() == QLatin1String("CDFS"))
        return session.refuse(medium.name() + QStringLiteral(": ") + session.text(223));
    const DriveMap drives = session.drives();
    QString error;
    const FileArgument image = fileArgument(typedImage, drives, &error);
    if (image.native.isEmpty())
        return session.refuse(typedImage.isEmpty() ? session.text(133) : error);
    const ImageVolume volume = volumeOf(medium, drives);
    if (volume.device.isEmpty() || volume.bytesPerSector == 0)
        return session.refuse(
            medium.name() + QStringLiteral(": ") + session.text(176) +
            (volume.device.isEmpty() ? QString() : ' ' + fileReason(volume.device)));
    // Not onto the medium being read: not under its own letter, nor over the same sectors.
    if ((medium.hasDrive() && drives.letterOf(image.driveForm) == medium.letter) ||
        liesOnVolume(image.native, volume.device))
        return session.refuse(session.text(135) + ' ' + image.native);
    if (!RecordText::fits(image.driveForm))
        return session.refuse(session.text(230) + ' ' + image.driveForm);
    if (!RecordText::fits(medium.code()))
        return session.refuse(session.text(230) + ' ' + medium.device);
    TDriveInfo target;
    context.disk.GetDriveInfo(QString(drives.letterOf(image.driveForm)), target);
    // An image being replaced or resumed gives its own bytes back to the job.
    const bool existingImage = kindOf(image.native) == FileKind::Regular;
    const std::uint64_t reused =
        existingImage ? static_cast<std::uint64_t>(fileSize(image.native)) : 0;
    if (target.FreeBytes + reused < volume.bytes())
        return session.refuse(session.text(147) + QStringLiteral(" %1: %2 bytes needed, %3 free")
                                                      .arg(image.native)
                                                      .arg(volume.bytes())
                                                      .arg(target.FreeBytes + reused));
    if (!registerAccepted(session, Medium{drives.letterOf(image.driveForm), {}}))
        return kRefused;
    if (const int status = checkRunMap(session, {volume.device, image.native}); status != kDone)
        return status;
    // The journal, register and settings are never an image's file.
    if (isProgramFile(image.native, session.programDir()))
        return session.refuse(session.text(kTextOutputIsProgramFile) + ' ' + image.native);
    // Another job writing this image would lose its work to this one.
    if (destinationInUse(image.native))
        return session.refuse(session.text(270) + ' ' + image.native);
    // A map of this medium that earlier runs left says what is still to read; the image they
    // wrote is kept and filled in.
    std::optional<RescueMap> continueFrom;
    if (!resume) {
        if (const int status = mapToContinueFrom(session, volume.bytes(), &continueFrom);
            status != kDone)
            return status;
        if (continueFrom && continueFrom->pending().totalBytes() < continueFrom->size &&
            !existingImage)
            return session.refuse(
                QStringLiteral("--map %1: the map says sectors were read into %2, which does "
                               "not exist; nothing was read")
                    .arg(session.arguments().value(QStringLiteral("map")), image.driveForm));
    }
    if (!resume && !continueFrom) {
        if (fileExists(image.native) &&
            !context.prompts.confirm(image.native + QStringLiteral(": ") + session.text(179)))
            return kRefused;
        const int file = ::open(fileNameBytes(image.native).constData(),
                                O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (file < 0)
            return session.fail(session.text(134) + ' ' + image.native + QStringLiteral(": ") +
                                QString::fromLocal8Bit(std::strerror(errno)));
        ::close(file);
    }
    if (!resume)
        job.position = 0;
    job.sourceName = medium.code();
    job.destinationName = image.driveForm;
    job.totalSize = volume.sectors;
    return runImageJob(session, job, volume, image.native, Direction::MediumToImage, slot,
                       std::move(continueFrom));
}

// The checks of the window's image page before an image file is written onto a medium. A
// mounted medium is unmounted first, or refused; the root file system never.
int startImageToMedium(Session& session, const QString& typedImage, const Medium& medium,
                       CopyJob job, bool resume, JournalSlot& slot) {
    ProgramContext& context = session.context();
    const DriveMap drives = session.drives();
    QString error;
    const FileArgument image = fileArgument(typedImage, drives, &error);
    if (image.native.isEmpty())
        return session.refuse(error);
    if (kindOf(image.native) != FileKind::Regular)
        return session.refuse(session.text(148) + ' ' + fileReason(image.native));
    const ImageVolume volume = volumeOf(medium, drives);
    if ((medium.hasDrive() && drives.letterOf(image.driveForm) == medium.letter) ||
        liesOnVolume(image.native, volume.device))
        return session.refuse(session.text(135) + ' ' + image.native);
    if (!RecordText::fits(image.driveForm))
        return session.refuse(session.text(230) + ' ' + image.driveForm);
    if (!RecordText::fits(medium.code()))
        return session.refuse(session.text(230) + ' ' + medium.device);
    // The image is only read: a read-only one (on a disc, a read-only mount) is restored as
    // it is, and its permissions are left alone.
    const auto imageBytes = static_cast<std::uint64_t>(fileSize(image.native));
    if (volume.device.isEmpty() || volume.bytesPerSector == 0)
        return session.refuse(
            medium.name() + QStringLiteral(": ") + session.text(176) +
            (volume.device.isEmpty() ? QString() : ' ' + fileReason(volume.device)));
    // A disc whose data track holds raw sectors is read as a drive reads a CD: never written.
    if (RawDataTrack::of(volume.device))
        return session.refuse(
            QStringLiteral("%1 is a CD, which can only be read; nothing was written")
                .arg(medium.hasDrive() ? medium.name() + QStringLiteral(" (") + volume.device + ')'
                                       : volume.device));
    if (volume.bytes() < imageBytes)
        return session.refuse(session.text(149) + QStringLiteral(" %1: %2 bytes, %3: %4 bytes")
                                                      .arg(image.native)
                                                      .arg(imageBytes)
                                                      .arg(volume.device)
                                                      .arg(volume.bytes()));
    if (!registerAccepted(session, medium))
        return kRefused;
    if (const int status = checkRunMap(session, {image.native, volume.device}); status != kDone)
        return status;
    if (destinationInUse(volume.device))
        return session.refuse(session.text(270) + ' ' + volume.device);
    const QString target = medium.hasDrive()
                               ? QStringLiteral("%1: (%2)").arg(medium.letter).arg(volume.device)
                               : volume.device;
    if (!context.prompts.confirm(target + ' ' + session.text(227)))
        return kRefused;
    // Sectors written under a mounted file system would corrupt it, and it them.
    QString why;
    if (VolumeMounts::holdsRootFileSystem(volume.device))
        return session.refuse(session.text(233) + ' ' + volume.device +
                              QStringLiteral(": it holds the root file system"));
    if (VolumeMounts::isMounted(volume.device)) {
        const std::vector<QString> points = VolumeMounts::mountPointsOf(volume.device);
        if (!VolumeMounts::unmount(volume.device, &why))
            return session.refuse(session.text(233) + '\n' + why);
        for (const QString& point : points)
            session.note(QStringLiteral("unmounted %1").arg(point));
    }
    if (VolumeMounts::inUse(volume.device, &why))
        return session.refuse(session.text(233) + '\n' + why);

    if (!resume)
        job.position = 0;
    job.sourceName = image.driveForm;
    job.destinationName = medium.code();
    // A trailing partial sector of the image is not written.
    job.totalSize = imageBytes / volume.bytesPerSector;
    return runImageJob(session, job, volume, image.native, Direction::ImageToMedium, slot);
}

} // namespace

int imageCommand(Session& session) {
    if (const int status = checkReadOrder(session); status != kDone)
        return status;
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 2)
        return session.refuse(QStringLiteral("image needs a drive (or its device) and an image "
                                             "file: fragmentrove-cli image DRIVE FILE"));
    QString error;
    const Medium medium = mediumArgument(operands[0], session.drives(), &error);
    if (!error.isEmpty())
        return session.refuse(error);
    JournalSlot slot(session.journalPath());
    return startMediumToImage(session, medium, operands[1], CopyJob(), false, slot);
}

int restoreCommand(Session& session) {
    if (const int status = checkReadOrder(session); status != kDone)
        return status;
    const QStringList& operands = session.arguments().operands;
    if (operands.size() != 2)
        return session.refuse(QStringLiteral("restore needs an image file and a drive (or its "
                                             "device): fragmentrove-cli restore FILE DRIVE"));
    QString error;
    const Medium medium = mediumArgument(operands[1], session.drives(), &error);
    if (!error.isEmpty())
        return session.refuse(error);
    JournalSlot slot(session.journalPath());
    return startImageToMedium(session, operands[0], medium, CopyJob(), false, slot);
}

int resumeMediumToImage(Session& session, CopyJob job, JournalSlot& slot) {
    const Medium medium = mediumOfCode(job.sourceName, session.drives());
    const QString image = job.destinationName;
    return startMediumToImage(session, medium, image, job, true, slot);
}

int resumeImageToMedium(Session& session, CopyJob job, JournalSlot& slot) {
    const Medium medium = mediumOfCode(job.destinationName, session.drives());
    const QString image = job.sourceName;
    return startImageToMedium(session, image, medium, job, true, slot);
}

} // namespace fr::cli
