#pragma once

#include <QString>

namespace fr::cli {

// The help of the program (an empty command) or of one command.
QString helpText(const QString& command);

} // namespace fr::cli
