#include "FuzzInput.h"
#include "core/SettingsFile.h"

using namespace fr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = fuzz::fileWith(data, size);
    Settings settings;
    const Settings before = settings;
    if (!SettingsFile::read(path, settings).isEmpty()) {
        // A refused file leaves the settings as they were.
        fuzz::require(settings == before);
        return 0;
    }
    // Accepted settings are written back and read again unchanged.
    fuzz::require(SettingsFile::write(path, settings).isEmpty());
    Settings again;
    fuzz::require(SettingsFile::read(path, again).isEmpty() && again == settings);
    return 0;
}
