#include "manager/MediaWatch.h"

#include "core/LanguageTable.h"
#include "core/Settings.h"
#include "core/SettingsFile.h"
#include "disk/MediaIdentity.h"
#include "platform/DesktopNotifications.h"
#include "rescue/RegisterRecord.h"

#include <cstdio>
#include <mutex>

namespace fr {

namespace {

void report(const QString& error) {
    std::fprintf(stderr, "mmanager: %s\n", qUtf8Printable(error));
}

} // namespace

MediaWatch::MediaWatch(QString programDir, QDBusConnection bus, QObject* parent)
    : QObject(parent), programDir_(std::move(programDir)), bus_(std::move(bus)) {}

void MediaWatch::mediumChanged(const QString& device) {
    const TMediaIdentifier medium = MediaIdentity::identify(device);
    // A drive that was emptied, or a device without a volume (a whole disk with partitions,
    // a detached loop device): whatever comes next there is news.
    if (medium.SerialNumber == 0) {
        serials_.remove(device);
        return;
    }
    if (serials_.value(device) == medium.SerialNumber)
        return;
    serials_.insert(device, medium.SerialNumber);

    // The register is read afresh: the main window may have added to it a moment ago.
    std::mutex lock; // this program is the register's only reader here
    const RegisterFile::Contents contents =
        RegisterFile(programDir_ + QStringLiteral("/drives.fgv"), lock).readAll();
    if (!contents.error.isEmpty())
        report(contents.error);
    const QString serial = RegisterRecord::serialTextOf(medium.SerialNumber);
    for (const RegisterRecord& record : contents.records) {
        if (record.serialText == serial) {
            warn(device, medium.VolumeLabel.isEmpty() ? record.volumeLabel : medium.VolumeLabel,
                 record.note);
            return;
        }
    }
}

void MediaWatch::removed(const QString& device) {
    serials_.remove(device);
}

void MediaWatch::warn(const QString& device, const QString& label, const QString& note) {
    // In the language the user chose last; without it the texts are empty, and the volume
    // and the note still say what matters.
    Settings settings;
    LanguageTable language;
    QString error = SettingsFile::read(programDir_ + QStringLiteral("/settings.ini"), settings);
    if (error.isEmpty())
        error = language.load(programDir_ + '/' + LanguageTable::fileName(settings.language));
    if (!error.isEmpty())
        report(error);
    const QString volume = (label.isEmpty() ? device : label + QStringLiteral(" (") + device + ')');
    QString body = volume;
    if (!note.isEmpty())
        body += '\n' + note;
    body += '\n' + language[165]; // the medium is in the register of damaged media
    error = DesktopNotifications::show(bus_, QStringLiteral("Fragmentrove"),
                                       language[8] /* damaged media */, body);
    if (!error.isEmpty())
        report(error);
}

} // namespace fr
