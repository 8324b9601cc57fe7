#include "core/NumberLines.h"

#include <QFile>

namespace fr::NumberLines {

QString read(const QString& path, int count, const std::function<QString(int)>& describe,
             std::vector<QByteArray>& lines) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path + QStringLiteral(": cannot be read: ") + file.errorString();
    lines.clear();
    for (int index = 0; index < count; ++index) {
        if (file.atEnd())
            return path + QStringLiteral(": ") + describe(index) + QStringLiteral(" is missing");
        QByteArray line = file.readLine();
        if (file.error() != QFileDevice::NoError)
            return path + QStringLiteral(": cannot be read: ") + file.errorString();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line);
    }
    return {};
}

std::optional<long long> leadingInteger(const QByteArray& line) {
    const QByteArray token = line.trimmed().split(' ').value(0).split('\t').value(0);
    bool ok = false;
    const long long value = token.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace fr::NumberLines
