#pragma once

#include "core/RawDiskTypes.h"

#include <QString>
#include <cstdint>

namespace fr {

// What the system's version queries report, before any naming. The first query gives the
// platform, the numbers and the service-pack text; the extended one, made only on the NT
// family, adds the product type and the suite mask and may fail on its own.
struct VersionReport {
    bool querySucceeded = true;   // false: the version query itself failed
    std::uint32_t platformId = 2; // 0 Win32s, 1 the 9x family, 2 NT, anything else unknown
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t buildNumber = 0; // on the 9x family the high half repeats major and minor
    QString servicePack;           // the service-pack text as reported (may be empty)
    bool extendedQuerySucceeded = false;
    std::uint8_t productType = 0; // 1 workstation, 2 domain controller, 3 server
    std::uint16_t suiteMask = 0;
};

// Names the running system from its version report. The result is assigned to `version`
// only once it is complete: when the version query itself failed, `version` is left as it
// was and the function returns false.
bool GetWinVersion(const VersionReport& report, TWinVersion& version);

// The family of the platform: "Win32S", "9x" or "NT". Any other platform id leaves
// `family` as it was.
void GetPlatformFamily(std::uint32_t platformId, QString& family);

} // namespace fr
