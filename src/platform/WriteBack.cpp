#include "platform/WriteBack.h"

#include <fcntl.h>

namespace fr {

void startWriteBack(int fd) {
    // A failure here (a file system without it, a pipe) only means the data waits for the sync.
    (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

} // namespace fr
