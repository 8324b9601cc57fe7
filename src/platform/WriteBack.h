#pragma once

namespace fr {

// Has the disk start writing what was written to `fd` and is still only in memory, without
// waiting for it. Only a start: it says nothing of the data's fate and consumes no write error,
// so the next sync still reports any write the disk lost. The work of handing the data to the
// disk is done on the calling thread.
void startWriteBack(int fd);

} // namespace fr
