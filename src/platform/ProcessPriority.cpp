#include "platform/ProcessPriority.h"

namespace fr::ProcessPriority {

bool setIdle(bool) { return false; }

} // namespace fr::ProcessPriority
