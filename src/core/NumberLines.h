#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace fr {

// The program's small text files of one number a line: settings.ini and the skins' colours.
namespace NumberLines {

// Reads the first count lines (CR LF or LF ends, taken off). A missing or unreadable file,
// or a missing line, gives the reason naming the file and describe(index) of the line.
QString read(const QString& path, int count, const std::function<QString(int)>& describe,
             std::vector<QByteArray>& lines);

// The number a line starts with: blanks skipped, then an optional sign and digits up to the
// next blank; what follows is ignored, as these files have always been read.
std::optional<long long> leadingInteger(const QByteArray& line);

} // namespace NumberLines

} // namespace fr
