#pragma once

#include <QString>

namespace fr::XdgAutostart {

// The user's autostart folder: $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
QString folder();

// Writes or removes "<name>.desktop" in the folder: a desktop entry that starts the program
// with the session. Removing a missing entry is no error. Returns the reason of a failure.
QString set(const QString& folder, const QString& name, const QString& program, bool enabled);

} // namespace fr::XdgAutostart
