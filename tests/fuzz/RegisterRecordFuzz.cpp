#include "FuzzInput.h"
#include "rescue/RegisterRecord.h"

#include <mutex>

using namespace fr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::mutex lock;
    const RegisterFile register_(fuzz::fileWith(data, size), lock);
    const RegisterFile::Contents contents = register_.readAll();
    fuzz::require(contents.records.size() == size / RegisterRecord::kSize);
    for (const RegisterRecord& record : contents.records) {
        record.listLine();
        fuzz::require(RegisterRecord::fromBytes(record.toBytes()).toBytes() == record.toBytes());
    }
    register_.isRegistered(0);
    return 0;
}
