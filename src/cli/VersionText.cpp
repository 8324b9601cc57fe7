#include "cli/VersionText.h"

#include <QtGlobal>
#include <blkid.h>
#include <cdio/paranoia/paranoia.h>
#include <cdio/version.h>
#include <lame/lame.h>

namespace fr::cli {

QString versionText() {
    const char* blkidVersion = nullptr;
    blkid_get_library_version(&blkidVersion, nullptr);
    return QStringLiteral("fragmentrove-cli %1 (Fragmentrove)\n"
                          "Qt %2, libcdio %3, %4, LAME %5, libblkid %6\n")
        .arg(QStringLiteral(FRAGMENTROVE_VERSION), QString::fromLatin1(qVersion()),
             QString::fromLatin1(cdio_version_string), QString::fromLatin1(cdio_paranoia_version()),
             QString::fromLatin1(get_lame_version()),
             QString::fromLatin1(blkidVersion ? blkidVersion : "unknown"));
}

} // namespace fr::cli
