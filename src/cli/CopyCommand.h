#pragma once

namespace fr::cli {

class Session;

// copy SRC DST: the rescue copy of one file, after the window's checks.
int copyCommand(Session& session);

} // namespace fr::cli
