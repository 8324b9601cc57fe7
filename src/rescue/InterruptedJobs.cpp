#include "rescue/InterruptedJobs.h"

#include "core/LiveJob.h"
#include "rescue/RecordFile.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace fr {

namespace {

// Reads the record of a job nobody runs any more; false when another program holds it (the job
// runs) or it cannot be read whole.
bool takeRecord(const QString& path, QByteArray* record, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        // Journalled and removed by its own job meanwhile.
        if (errno != ENOENT)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    bool taken = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        record->resize(CopyJob::kRecordBytes);
        const ssize_t got = ::pread(fd, record->data(), CopyJob::kRecordBytes, 0);
        taken = got == CopyJob::kRecordBytes;
        if (!taken)
            *error = path + QStringLiteral(": not a whole job record; it is kept as it is");
    }
    ::close(fd);
    return taken;
}

// Puts `job` into the journal: over an entry of the same job that got less far (a stop that
// was journalled before the end came), or appended; `appended` says which.
QString journal(RecordFile& file, const CopyJob& job, bool* appended) {
    *appended = false;
    const RecordFile::Contents contents = file.readAll();
    if (!contents.error.isEmpty())
        return contents.error;
    const QString id = LiveJob::idOf(job);
    for (std::size_t i = 0; i < contents.records.size(); ++i) {
        CopyJob entry;
        if (!entry.fromRecord(contents.records[i]) || LiveJob::idOf(entry) != id)
            continue;
        if (entry.position.load() >= job.position.load())
            return {};
        return file.rewrite(static_cast<int>(i), job.toRecord());
    }
    *appended = true;
    return file.append(job.toRecord());
}

} // namespace

InterruptedJobs journalInterruptedJobs(const QString& programDir, const QString& journalPath) {
    InterruptedJobs result;
    const QDir folder(LiveJob::folderOf(programDir));
    const QStringList records = folder.entryList({QStringLiteral("*.job")}, QDir::Files);
    if (records.isEmpty())
        return result;
    RecordFile file(journalPath, CopyJob::kRecordBytes);
    for (const QString& name : records) {
        const QString path = folder.filePath(name);
        QByteArray record;
        QString error;
        if (!takeRecord(path, &record, &error)) {
            if (!error.isEmpty())
                result.errors << error;
            continue;
        }
        CopyJob job;
        job.fromRecord(record);
        bool appended = false;
        if (error = journal(file, job, &appended); !error.isEmpty()) {
            result.errors << error;
            continue;
        }
        // Only once the journal holds it: a crash in between journals it again, as the same
        // entry.
        QFile::remove(path);
        if (appended)
            result.journalled.push_back(job);
    }
    return result;
}

} // namespace fr
