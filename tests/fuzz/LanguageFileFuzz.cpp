#include "FuzzInput.h"
#include "core/LanguageTable.h"

using namespace fr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LanguageTable table;
    table.load(fuzz::fileWith(data, size));
    for (int index = -1; index <= LanguageTable::kSlots; ++index)
        table[index].size();
    return 0;
}
