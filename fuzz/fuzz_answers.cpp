// Units' answers to the passes' queries, decoded as the passes do: package attributes,
// the secondaries list with every id it holds, a secondary's versions, model and name.
// The input is the answer itself (at most the 2,048 bytes a query gives room for).
#include "upgrade/answers.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kAnswerRoom) {
        return 0;
    }
    // An exact-size copy, so reading one byte past the answer is caught.
    std::unique_ptr<uint8_t[]> answer(new uint8_t[size == 0 ? 1 : size]);
    if (size > 0) {
        std::memcpy(answer.get(), data, size);
    }
    auto record = std::make_unique<DeviceEntry>();
    DecodePackageAttributes(answer.get(), size, *record);
    const int count = SecondaryCount(size);
    if (count > kMaxSecondaries) {
        __builtin_trap();
    }
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += SecondaryId(answer.get(), i);
    }
    SecondaryEntry& secondary = record->secondaries[sum % kMaxSecondaries];
    DecodeSecondaryVersions(answer.get(), size, secondary);
    DecodeSecondaryModel(answer.get(), size, secondary);
    DecodeSecondaryName(answer.get(), size, secondary);
    if (record->packFilename[kPackNameUnits - 1] != 0 || secondary.model[kModelUnits - 1] != 0 ||
        secondary.name[kEntryNameUnits - 1] != 0) {
        __builtin_trap();
    }
    return 0;
}
