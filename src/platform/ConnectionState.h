#pragma once

namespace fr::ConnectionState {

// Whether this machine has a way to the internet. The desktop's network service decides where
// it is running; otherwise an interface that is up, is not the loopback and has an address
// counts. A machine without one makes no request at all.
bool online();

} // namespace fr::ConnectionState
