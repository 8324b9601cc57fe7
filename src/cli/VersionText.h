#pragma once

#include <QString>

namespace fr::cli {

// "fragmentrove-cli 3.1" and the versions of the libraries it runs with, as they report them
// at run time (a rescue that misbehaves is first asked which ones).
QString versionText();

} // namespace fr::cli
