#pragma once

#include "core/CopyJob.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QtEndian>
#include <cstdint>

namespace fr::test {

// The position a running job's record in the program folder's maps folder holds; 0 while
// there is none.
inline std::uint32_t runningRecordPosition(const QString& programDir) {
    const QDir maps(programDir + QStringLiteral("/maps"));
    for (const QString& name : maps.entryList({QStringLiteral("*.job")}, QDir::Files)) {
        const QByteArray record = contentOf(maps.filePath(name));
        if (record.size() == CopyJob::kRecordBytes)
            return qFromLittleEndian<std::uint32_t>(record.constData() + 512);
    }
    return 0;
}

} // namespace fr::test
