#pragma once

#include <QChar>
#include <QString>
#include <utility>
#include <vector>

namespace fr {

// Every drive of the program folder's drive map with its volume label, in letter order, as
// the drive lists show them.
std::vector<std::pair<QChar, QString>> drivesWithLabels(const QString& programDir);

} // namespace fr
