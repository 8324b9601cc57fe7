#pragma once

namespace fr {

// libcdio's own message handler ends the whole program on an error-level message, and a read
// error of a disc or disc image is one. Every user of libcdio routes its messages here first:
// a failed read is reported by the job that met it, and the program goes on.
void routeLibcdioMessages();

} // namespace fr
