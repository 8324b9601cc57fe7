#include "FuzzInput.h"
#include "core/RescueMap.h"

using namespace fr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MapFileContents contents = parseMapFile(fuzz::bytesOf(data, size));
    if (!contents.error.isEmpty())
        return 0;
    // A map that was accepted describes the source within its size, and reads back the same
    // once written out: what a later pass resumes from is what the file said.
    const RescueMap& map = contents.map;
    fuzz::require(map.size >= 0);
    for (const AreaList* areas : {&map.unreadable, &map.untried})
        for (const ByteRange& area : *areas)
            fuzz::require(area.start >= 0 && area.end <= map.size);
    const MapFileContents again = parseMapFile(mapFileText(map, {}));
    fuzz::require(again.error.isEmpty() && again.map == map);
    return 0;
}
