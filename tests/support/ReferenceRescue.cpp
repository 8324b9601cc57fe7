#include "support/ReferenceRescue.h"

#include <algorithm>

namespace fr::test {

ReferenceResult referenceCopy(const QByteArray& source, const QList<ByteRange>& bad,
                              QByteArray destination, quint32 position, quint32 total,
                              const std::vector<std::uint8_t>& fill) {
    ReferenceResult result;
    auto put = [&](const char* data, qint64 length) {
        if (destination.size() < position + length)
            destination.resize(position + length, '\0');
        std::copy(data, data + length, destination.begin() + position);
        position += static_cast<quint32>(length);
    };
    while (position < total) {
        const qint64 n = std::min<qint64>(4, source.size() - position);
        const bool failed = std::any_of(bad.begin(), bad.end(), [&](const ByteRange& range) {
            return position < range.end && range.start < position + n;
        });
        if (failed) {
            result.readFailed = true;
            ++result.failedReads;
            result.filled.add({position, position + static_cast<qint64>(fill.size())});
            put(reinterpret_cast<const char*>(fill.data()), static_cast<qint64>(fill.size()));
        } else {
            put(source.constData() + position, n);
        }
    }
    result.destination = destination;
    result.position = position;
    return result;
}

} // namespace fr::test
