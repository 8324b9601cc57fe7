#include "rescue/FileCollector.h"

#include "platform/DriveMap.h"
#include "platform/FileName.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace fr {

namespace {

// One entry of a folder, as far as the walk cares.
struct Entry {
    QString name;
    bool file = false;   // a regular file, or a link to one on the medium
    bool folder = false; // a real folder on the medium, not a link to one
};

// The folder's entries in the order the system lists them; the errno when the folder could
// not be opened or its listing broke off, 0 when it was listed whole.
// Folders on another device are skipped: another volume mounted inside this one is a drive of
// its own (and C: holds the system's /proc and /sys), not part of the medium.
int listFolder(const QString& nativeFolder, dev_t medium, std::vector<Entry>& entries) {
    if (nativeFolder.isEmpty())
        return ENOENT; // a drive without a mounted file system
    const QByteArray path = fileNameBytes(nativeFolder);
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    DIR* directory = ::opendir(path.constData());
    if (!directory)
        return errno;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(directory);
        if (!item) {
            error = errno;
            break;
        }
        const QByteArray name(item->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray full = prefix + name;
        struct stat status {};
        if (::lstat(full.constData(), &status) != 0)
            continue; // gone since it was listed
        Entry entry{fileNameFromBytes(name)};
        if (S_ISDIR(status.st_mode)) {
            entry.folder = status.st_dev == medium;
        } else if (S_ISREG(status.st_mode)) {
            entry.file = true;
        } else if (S_ISLNK(status.st_mode)) {
            struct stat target {};
            entry.file = ::stat(full.constData(), &target) == 0 && S_ISREG(target.st_mode) &&
                         target.st_dev == medium;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(directory);
    return error;
}

bool matchesAny(const QString& name, const QStringList& masks) {
    for (const QString& mask : masks)
        if (matchesMask(name, mask))
            return true;
    return false;
}

// `folder` is empty below a name that drive form cannot hold: everything there is listed by
// its native path.
void collect(const QString& folder, const QString& nativeFolder, dev_t medium,
             const QStringList& masks, CollectedFiles& into) {
    const QString prefix = folder.isEmpty() || folder.endsWith('\\') ? folder : folder + '\\';
    const QString nativePrefix = nativeFolder.endsWith('/') ? nativeFolder : nativeFolder + '/';
    // A backslash in a name is a character here; in drive form it would be a separator.
    const auto pathOf = [&](const QString& name) {
        return prefix.isEmpty() || name.contains('\\') ? QString() : prefix + name;
    };
    std::vector<Entry> entries;
    if (const int error = listFolder(nativeFolder, medium, entries))
        into.unreadableFolders.append(
            (prefix.isEmpty() ? nativePrefix : prefix) + QStringLiteral(": ") +
            QString::fromStdString(std::generic_category().message(error)));
    for (const Entry& entry : entries)
        if (entry.file && matchesAny(entry.name, masks)) {
            const QString path = pathOf(entry.name);
            into.files.append(path.isEmpty() ? nativePrefix + entry.name : path);
        }
    for (const Entry& entry : entries)
        if (entry.folder && !isHiddenName(entry.name))
            collect(pathOf(entry.name), nativePrefix + entry.name, medium, masks, into);
}

} // namespace

CollectedFiles collectFiles(const QString& folder, const QString& nativeFolder,
                            const QString& mask) {
    QStringList masks;
    for (const QString& part : mask.split(';'))
        if (!part.trimmed().isEmpty())
            masks.append(part.trimmed());
    CollectedFiles collected;
    struct stat root {};
    const dev_t medium =
        ::stat(fileNameBytes(nativeFolder).constData(), &root) == 0 ? root.st_dev : 0;
    collect(folder, nativeFolder, medium, masks, collected);
    return collected;
}

} // namespace fr
