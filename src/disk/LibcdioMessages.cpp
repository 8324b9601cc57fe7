#include "disk/LibcdioMessages.h"

#include <QtGlobal>
#include <cdio/cdio.h>
#include <cdio/logging.h>

namespace fr {

namespace {

void libcdioMessage(cdio_log_level_t level, const char* message) {
    if (level >= CDIO_LOG_WARN)
        qWarning("libcdio: %s", message);
}

} // namespace

void routeLibcdioMessages() {
    cdio_log_set_handler(libcdioMessage);
}

} // namespace fr
