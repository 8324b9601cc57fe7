#pragma once

#include "core/AreaList.h"
#include "support/FaultyMedium.h"

#include <QByteArray>
#include <QList>
#include <cstdint>
#include <vector>

namespace fr::test {

// The step-by-step rescue, as plainly as it can be written: read up to 4 bytes at position;
// a read touching a bad range fails and puts one fill block in its place. The rescue copy must
// give exactly this result, only faster.
struct ReferenceResult {
    QByteArray destination;
    quint32 position = 0;
    bool readFailed = false;
    int failedReads = 0;
    AreaList filled; // where the fill blocks went
};

ReferenceResult referenceCopy(const QByteArray& source, const QList<ByteRange>& bad,
                              QByteArray destination, quint32 position, quint32 total,
                              const std::vector<std::uint8_t>& fill);

} // namespace fr::test
