#pragma once

#include <QString>

namespace fr {

// Makes the window's two faces available: Arial resolves to its metric twin, Liberation
// Sans, through the system's font configuration; Tahoma comes from Wine's fonts, which lie
// outside that configuration and are loaded here. Returns what could not be loaded, empty
// when both faces are there.
QString loadProgramFonts();

} // namespace fr
