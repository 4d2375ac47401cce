#include "tessaly/nat_mapping.h"

#include <cstdlib>
#include <cstring>

namespace tessaly {

template <typename T> int16_t Append(GrowingList<T>& list, const T& item, uint16_t step) {
    if (list.count == list.capacity) {
        const uint32_t grown = uint32_t{list.capacity} + step;
        if (grown > kMostListItems) {
            return TESSALY_LIST_FULL;
        }
        void* items = std::realloc(static_cast<void*>(list.items), grown * sizeof(T));
        if (!items) {
            return TESSALY_OUT_OF_MEMORY;
        }
        list.items = static_cast<T*>(items);
        list.capacity = static_cast<uint16_t>(grown);
    }
    std::memcpy(&list.items[list.count], &item, sizeof(T));
    ++list.count;
    return TESSALY_OK;
}

template <typename T> void Release(GrowingList<T>& list) {
    std::free(static_cast<void*>(list.items));
    list = GrowingList<T>{};
}

template int16_t Append(GrowingList<InterfaceItem>&, const InterfaceItem&, uint16_t);
template int16_t Append(GrowingList<RuleItem>&, const RuleItem&, uint16_t);
template void Release(GrowingList<InterfaceItem>&);
template void Release(GrowingList<RuleItem>&);

void CopyText(char* field, size_t size, const char* text) {
    const size_t length = strnlen(text, size - 1);
    std::memcpy(field, text, length);
    field[length] = '\0';
}

int16_t RecordInterface(MappingObject& object, const char* name, uint8_t mode) {
    GrowingList<InterfaceItem>& list = object.interfaces;
    for (uint16_t i = 0; i < list.count; ++i) {
        if (std::strcmp(list.items[i].name, name) == 0) {
            list.items[i].mode = mode;
            return TESSALY_OK;
        }
    }
    InterfaceItem item{};
    CopyText(item.name, sizeof item.name, name);
    item.mode = mode;
    return Append(list, item, kInterfaceListStep);
}

} // namespace tessaly
