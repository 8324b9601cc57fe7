#include "program/ProgramFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fr {

namespace {

// What the user makes and keeps: shipped only to start a folder with, never replaced.
const QStringList kUserFiles{QStringLiteral("settings.ini"), QStringLiteral("databaza.fgv"),
                             QStringLiteral("drives.fgv")};
// The program's own sub-folders; the files at the top of the folder are its own as well.
const QStringList kProgramFolders{QStringLiteral("bits"), QStringLiteral("help"),
                                  QStringLiteral("lang")};
const QString kManagerName = QStringLiteral("mmanager.exe");

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// `from` copied to `to` through a file beside it, with `from`'s time and permissions, so that
// `to` is either the old file or the whole new one, even to a program that is running it.
QString placeCopy(const QString& from, const QString& to) {
    const QString beside = to + QStringLiteral(".new");
    QFile::remove(beside);
    QFile source(from);
    if (!source.copy(beside))
        return QStringLiteral("%1: cannot be copied to %2: %3")
            .arg(from, beside, source.errorString());
    QFile copy(beside);
    const QDateTime modified = QFileInfo(from).lastModified();
    if (!copy.open(QIODevice::ReadWrite) ||
        !copy.setFileTime(modified, QFileDevice::FileModificationTime)) {
        const QString reason = copy.errorString();
        QFile::remove(beside);
        return QStringLiteral("%1: its time cannot be set: %2").arg(beside, reason);
    }
    copy.close();
    if (std::rename(QFile::encodeName(beside).constData(), QFile::encodeName(to).constData()) !=
        0) {
        const QString reason = systemReason();
        QFile::remove(beside);
        return QStringLiteral("%1: cannot be renamed to %2: %3").arg(beside, to, reason);
    }
    return {};
}

bool isNewer(const QFileInfo& shipped, const QFileInfo& placed) {
    return !placed.exists() || shipped.lastModified() > placed.lastModified();
}

// The shipped files of the folder's layout, relative to it.
QStringList layoutFiles(const QDir& shipped) {
    const QDir::Filters files = QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot;
    QStringList names = shipped.entryList(files, QDir::Name);
    for (const QString& folder : kProgramFolders)
        for (const QString& name : QDir(shipped.filePath(folder)).entryList(files, QDir::Name))
            names << folder + '/' + name;
    return names;
}

// Whether the folder holds something that is no part of a program folder: then it is some
// other folder, named by mistake. Drive links and job maps made ahead of the first start are
// a program folder's own, as are the shipped names.
bool holdsForeignFiles(const QString& folder, const QString& shipped) {
    QStringList own{QStringLiteral("dosdevices"), QStringLiteral("maps"), kManagerName};
    if (!shipped.isEmpty())
        own << QDir(shipped).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QStringList held = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                    QDir::NoDotAndDotDot);
    for (const QString& name : held)
        if (!own.contains(name))
            return true;
    return false;
}

} // namespace

ProgramInstallation ProgramInstallation::of(const QString& applicationDir) {
    const QDir here(applicationDir);
    ProgramInstallation installation;
    installation.lookedIn =
        QDir::cleanPath(here.filePath(QStringLiteral(FRAGMENTROVE_SHIPPED_FROM_PROGRAM)));
    if (QFileInfo(installation.lookedIn).isDir())
        installation.shippedFolder = installation.lookedIn;
    // Installed in a folder of its own; in a build folder beside the programs.
    for (const QString& manager :
         {here.filePath(QStringLiteral(FRAGMENTROVE_HELPERS_FROM_PROGRAM "/mmanager")),
          here.filePath(QStringLiteral("mmanager"))}) {
        if (QFileInfo(manager).isExecutable()) {
            installation.mediaManager = QDir::cleanPath(manager);
            break;
        }
    }
    return installation;
}

ProgramInstallation ProgramInstallation::ofThisProgram() {
    return of(QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).path());
}

QString userProgramFolder() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/fragmentrove");
}

QString layOutProgramFolder(const QString& shipped, const QString& target,
                            const QString& mediaManager) {
    const QDir from(shipped);
    const QDir to(target);
    if (!QDir().mkpath(target))
        return QStringLiteral("%1: the folder cannot be made").arg(target);
    for (const QString& name : layoutFiles(from)) {
        const QFileInfo shippedFile(from.filePath(name));
        const QFileInfo placed(to.filePath(name));
        const bool wanted =
            kUserFiles.contains(name) ? !placed.exists() : isNewer(shippedFile, placed);
        if (!wanted)
            continue;
        if (!QDir().mkpath(placed.path()))
            return QStringLiteral("%1: the folder cannot be made").arg(placed.path());
        if (QString error = placeCopy(shippedFile.filePath(), placed.filePath()); !error.isEmpty())
            return error;
    }
    if (!mediaManager.isEmpty()) {
        const QFileInfo placed(to.filePath(kManagerName));
        if (isNewer(QFileInfo(mediaManager), placed))
            return placeCopy(mediaManager, placed.filePath());
    }
    return {};
}

ProgramFolderPreparation prepareProgramFolder(const QString& folder,
                                              const ProgramInstallation& installation,
                                              bool withManager) {
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return {QStringLiteral("%1: not a folder").arg(folder), {}};
    const bool programFolder = QFileInfo(QDir(folder).filePath(kUserFiles.front())).exists();
    if (programFolder) {
        if (installation.shippedFolder.isEmpty())
            return {};
        // A manager the user removed stays removed; one in place follows a newer build.
        const bool managerPlaced = QFileInfo(QDir(folder).filePath(kManagerName)).exists();
        const QString error = layOutProgramFolder(
            installation.shippedFolder, folder,
            withManager && managerPlaced ? installation.mediaManager : QString());
        return {{},
                error.isEmpty() ? QString()
                                : QStringLiteral("the program folder was not brought up to "
                                                 "date with the installed files: ") +
                                      error};
    }
    if (info.exists() && holdsForeignFiles(folder, installation.shippedFolder))
        return {QStringLiteral("%1: not a program folder: it holds no settings.ini but other "
                               "files, so nothing was laid out in it; name a program folder, or "
                               "a new or empty one to have it laid out")
                    .arg(folder),
                {}};
    if (installation.shippedFolder.isEmpty())
        return {QStringLiteral("%1: no program folder, and the program's installed files, which "
                               "would lay one out, are not in %2")
                    .arg(folder, installation.lookedIn),
                {}};
    return {layOutProgramFolder(installation.shippedFolder, folder,
                                withManager ? installation.mediaManager : QString()),
            {}};
}

} // namespace fr
