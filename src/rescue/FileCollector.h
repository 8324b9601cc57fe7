#pragma once

#include <QString>
#include <QStringList>

namespace fr {

// The files of a drive that a whole-medium copy takes, in the order it copies them.
struct CollectedFiles {
    // Full paths in drive form ("E:\docs\Letter.txt"), names in their own letter case, depth
    // first: a folder's matching files in the order the system lists them, then each of its
    // folders to its end before the next. A file whose path holds a backslash in a name,
    // which drive form would read as a separator, is listed by its native path instead.
    QStringList files;
    // Folders that could not be listed whole, each as its path (drive form) and the system's
    // reason ("E:\old\: Input/output error"): on a damaged medium a folder can fail to read
    // like a file, and what it holds is then missing from the list.
    QStringList unreadableFolders;
};

// Gathers the files under `folder` (drive form, such as "E:\") whose name matches `mask`,
// read from `nativeFolder`, the same folder on this system. The mask follows the old file
// search: "*" and "?" wildcards, case-insensitive, "*.*" for every name; several masks may be
// given separated by ";". Hidden files are taken; hidden folders are not entered. Only
// regular files count: a device, pipe or socket on the medium is not a file to rescue. Folders
// reached through a symbolic link are not entered, so a link cannot lead the walk round in a
// circle or off the medium, and neither are volumes mounted inside it: they are drives of
// their own.
CollectedFiles collectFiles(const QString& folder, const QString& nativeFolder,
                            const QString& mask);

} // namespace fr
