#include "rescue/OutputTarget.h"

#include "core/RescueMap.h"
#include "platform/FileIdentity.h"
#include "platform/FileName.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

// The files of a program folder that the program reads and rewrites, which may also be reached
// by a hard link from anywhere, and the folders whose every file is the program's. Other
// folders a user keeps beside them (a mounted stick, scratch space) are the user's.
const char* const kProgramFiles[] = {"settings.ini", "databaza.fgv", "drives.fgv",
                                     "web.url",      "install.exe",  "mmanager.exe"};
const char* const kProgramFolders[] = {"lang", "help", "bits", "dosdevices"};

// A map lists areas as text; a file much larger than any map is something else and is not
// read whole to find that out.
constexpr qint64 kLargestMap = 64 * 1024 * 1024;

// Symbolic links on the way to the named file followed, however many there are; a link that
// names nothing gives the path it would create. Empty when the links go round in a circle.
QString followLinks(const QString& nativePath) {
    QString path = absoluteFileName(nativePath);
    for (int hops = 0; hops < 40; ++hops) {
        const QByteArray name = fileNameBytes(path);
        struct stat status {};
        if (::lstat(name.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        QByteArray target(static_cast<qsizetype>(PATH_MAX), '\0');
        const ssize_t length = ::readlink(name.constData(), target.data(), target.size());
        if (length < 0)
            return path;
        target.truncate(length);
        const QString linked = fileNameFromBytes(target);
        // A relative target is relative to the link's own folder.
        path = absoluteFileName(
            linked.startsWith('/') ? linked : path.left(path.lastIndexOf('/') + 1) + linked);
    }
    return {};
}

// The folder resolved through its links, joined to the name: the form in which a path that
// does not exist yet can be compared with a folder.

QString canonicalForm(const QString& path) {
    const QString absolute = absoluteFileName(path);
    const QString canonical = canonicalPath(absolute);
    if (!canonical.isEmpty())
        return canonical;
    const qsizetype slash = absolute.lastIndexOf('/');
    QString folder = canonicalPath(absolute.left(std::max<qsizetype>(slash, 1)));
    if (folder.isEmpty())
        folder = absolute.left(slash);
    return (folder.endsWith('/') ? folder : folder + '/') + absolute.mid(slash + 1);
}

} // namespace

bool isProgramFile(const QString& nativePath, const QString& programDir) {
    if (programDir.isEmpty() || nativePath.isEmpty())
        return false;
    QString folder = QFileInfo(programDir).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QFileInfo(programDir).absoluteFilePath());
    const QString path = canonicalForm(nativePath);
    for (const char* name : kProgramFolders) {
        const QString inside = folder + '/' + QLatin1String(name);
        if (path == inside || path.startsWith(inside + '/'))
            return true;
    }
    for (const char* name : kProgramFiles) {
        const QString own = folder + '/' + QLatin1String(name);
        if (path == own || sameFile(nativePath, own))
            return true;
    }
    return false;
}

OutputTarget checkOutputTarget(const QString& nativePath, const OutputRules& rules) {
    OutputTarget target;
    target.path = followLinks(nativePath);
    if (target.path.isEmpty()) {
        target.text = kTextOutputNotAFile;
        return target;
    }
    for (const QString& file : rules.jobFiles)
        if (sameFile(target.path, file)) {
            target.text = kTextOutputIsJobFile;
            return target;
        }
    if (isProgramFile(target.path, rules.programDir)) {
        target.text = kTextOutputIsProgramFile;
        return target;
    }
    switch (kindOf(target.path)) {
    case FileKind::Missing:
        target.verdict = OutputTarget::Verdict::Write;
        return target;
    case FileKind::Regular:
        break;
    default:
        target.text = kTextOutputNotAFile;
        return target;
    }
    if (rules.mapMayBeReplaced && fileSize(target.path) <= kLargestMap &&
        readMapFile(target.path).error.isEmpty()) {
        target.verdict = OutputTarget::Verdict::Write;
        return target;
    }
    target.verdict = OutputTarget::Verdict::Ask;
    target.text = rules.mapMayBeReplaced ? kTextReplaceNonMap : kTextReplaceExisting;
    return target;
}

} // namespace fr
