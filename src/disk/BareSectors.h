#pragma once

#include "core/RawDiskTypes.h"

#include <QString>

namespace fr {

// The layout of a block device or image file read as its bare sectors, as a drive without a
// mounted file system is laid out: one sector a cluster, every sector counted, nothing free.
// All zero when it cannot be opened or holds no medium.
TDriveInfo bareSectorsInfo(const QString& device);

} // namespace fr
