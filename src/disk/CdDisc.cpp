#include "disk/CdDisc.h"

#include "disk/LibcdioMessages.h"

#include <QFile>
#include <QFileInfo>
#include <cdio/cdio.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fr {

namespace {

bool isCueSheet(const QString& source) {
    return QFileInfo(source).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0;
}

bool isOpticalDrive(const QString& source) {
    struct stat info {};
    return ::stat(QFile::encodeName(source).constData(), &info) == 0 && S_ISBLK(info.st_mode) &&
           (major(info.st_rdev) == 11 ||
            QFileInfo(source).fileName().startsWith(QLatin1String("sr")));
}

} // namespace

bool CdDisc::isCdSource(const QString& source) {
    return isCueSheet(source) || isOpticalDrive(source);
}

QString CdDisc::dataTrackSource(const QString& source) {
    if (!isCueSheet(source))
        return source;
    const QFileInfo cue(source);
    return cue.path() + '/' + cue.completeBaseName() + QStringLiteral(".bin");
}

CdDisc::CdDisc(const QString& source) {
    routeLibcdioMessages();
    const QByteArray name = QFile::encodeName(source);
    if (isCueSheet(source))
        cdio_ = cdio_open(name.constData(), DRIVER_BINCUE);
    else if (isOpticalDrive(source))
        cdio_ = cdio_open(name.constData(), DRIVER_DEVICE);
}

CdDisc::~CdDisc() {
    if (cdio_)
        cdio_destroy(cdio_);
}

bool CdDisc::firstTrackIsAudio() const {
    if (!cdio_)
        return false;
    const track_t first = cdio_get_first_track_num(cdio_);
    return first != CDIO_INVALID_TRACK && cdio_get_track_format(cdio_, first) == TRACK_FORMAT_AUDIO;
}

std::vector<std::uint32_t> CdDisc::trackStartLbas() const {
    std::vector<std::uint32_t> starts;
    if (!cdio_)
        return starts;
    const track_t first = cdio_get_first_track_num(cdio_);
    const track_t count = cdio_get_num_tracks(cdio_);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        return starts;
    for (track_t track = first; track < first + count; ++track) {
        const lsn_t start = cdio_get_track_lsn(cdio_, track);
        if (start != CDIO_INVALID_LSN)
            starts.push_back(static_cast<std::uint32_t>(start));
    }
    return starts;
}

std::uint32_t CdDisc::leadOutLba() const {
    if (!cdio_)
        return 0;
    const lsn_t leadOut = cdio_get_track_lsn(cdio_, CDIO_CDROM_LEADOUT_TRACK);
    return leadOut == CDIO_INVALID_LSN ? 0 : static_cast<std::uint32_t>(leadOut);
}

} // namespace fr
