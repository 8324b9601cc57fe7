#include "platform/PowerOff.h"

namespace fr::PowerOff {

void request() {}

} // namespace fr::PowerOff
