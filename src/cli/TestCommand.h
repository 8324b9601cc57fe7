#pragma once

namespace fr::cli {

class Session;

// test DRIVE|DEVICE: reads every cluster-sized group of the medium and lists the areas that
// cannot be read.
int testCommand(Session& session);

} // namespace fr::cli
