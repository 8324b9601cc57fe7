#pragma once

namespace fr::PowerOff {

// Asks the login manager to power the computer off (falling back to systemctl); returns at
// once, whatever happens.
void request();

} // namespace fr::PowerOff
