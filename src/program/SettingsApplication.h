#pragma once

#include <QString>

namespace fr {

struct ProgramContext;

// Applying settings.ini to the running program. Each returns the reason of a failure
// (naming the file), empty on success.
namespace SettingsApplication {

// At start-up, when the main window is set up: reads all eleven settings again, sizes the
// fill buffers from the block size, then the steps of reapply(). The skin, the window's own
// controls and the MP3 encoder are the window's part.
QString applyAtStartup(ProgramContext& context);

// After the settings are saved (and as the tail of applyAtStartup): loads the language
// table of the chosen language and names the help file. Buffers, encoder and skin are not
// touched: a new block size or skin takes effect at the next start.
QString reapply(ProgramContext& context);

} // namespace SettingsApplication

} // namespace fr
