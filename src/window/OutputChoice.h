#pragma once

#include "rescue/OutputTarget.h"

#include <QString>

namespace fr {

struct ProgramContext;

// A file the user chose in a save dialog to receive output (a map, a saved sector), checked
// before a byte is written: a refusal is said with the file in drive form, and an existing file
// that may be replaced only after a question is asked about. The file to write (a link followed
// to what it names), or empty when nothing may or should be written.
QString chooseOutputFile(const ProgramContext& context, const QString& chosenPath,
                         const OutputRules& rules);

} // namespace fr
