// The library's exports: set-up, tear-down and the interface list (the mapping exports
// are in nat_exports.cpp).
#include "tessaly/tessaly_api.h"

#include "tessaly/adapter_source.h"
#include "tessaly/library_state.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

using tessaly::IsListed;

constexpr uint8_t kMaskWhenUnknown[4] = {255, 255, 255, 0};

void WriteRecord(const tessaly::Adapter& adapter, TessalyNic& record) {
    std::memcpy(record.adapterName, adapter.name, sizeof record.adapterName);
    record.adapterName[sizeof record.adapterName - 1] = '\0';
    std::memcpy(record.description, adapter.description, sizeof record.description);
    record.description[TESSALY_DESCRIPTION_UNITS - 1] = 0;
    std::memcpy(record.friendlyName, adapter.friendlyName, sizeof record.friendlyName);
    record.friendlyName[TESSALY_FRIENDLY_NAME_UNITS - 1] = 0;
    std::memcpy(record.friendlyNameAnsi, adapter.friendlyNameAnsi, sizeof record.friendlyNameAnsi);
    record.friendlyNameAnsi[sizeof record.friendlyNameAnsi - 1] = '\0';
    record.upFlag = adapter.up ? 1 : 0;
    std::memcpy(record.macAddress, adapter.mac, sizeof record.macAddress);
    std::memcpy(record.ipAddress, adapter.ipv4, sizeof record.ipAddress);
    std::memcpy(record.subnetMask, kMaskWhenUnknown, sizeof record.subnetMask);
}

// The mask of the first table row whose address is the record's address.
void FillMask(const std::vector<tessaly::AddressRow>& table, TessalyNic& record) {
    auto row = std::find_if(table.begin(), table.end(), [&](const tessaly::AddressRow& r) {
        return std::memcmp(r.address, record.ipAddress, 4) == 0;
    });
    if (row != table.end()) {
        std::memcpy(record.subnetMask, row->mask, sizeof record.subnetMask);
    }
}

int16_t ToResult(tessaly::QueryResult result) {
    return result == tessaly::QueryResult::OutOfMemory ? TESSALY_OUT_OF_MEMORY
                                                       : TESSALY_NOT_AVAILABLE;
}

int16_t GetNics(TessalyNic* records, uint16_t capacity) {
    tessaly::PlatformQueries queries{};
    if (!tessaly::InitialisedQueries(queries)) {
        return TESSALY_NOT_AVAILABLE;
    }
    std::vector<tessaly::Adapter> adapters;
    if (auto result = queries.adapters(adapters); result != tessaly::QueryResult::Ok) {
        return ToResult(result);
    }

    int count = 0;
    for (const tessaly::Adapter& adapter : adapters) {
        if (!IsListed(adapter)) {
            continue;
        }
        if (records && count < capacity) {
            WriteRecord(adapter, records[count]);
        }
        ++count;
    }

    if (records) {
        std::vector<tessaly::AddressRow> table;
        if (auto result = queries.addressTable(table); result != tessaly::QueryResult::Ok) {
            return ToResult(result);
        }
        const int written = std::min<int>(count, capacity);
        for (int i = 0; i < written; ++i) {
            FillMask(table, records[i]);
        }
    }
    return static_cast<int16_t>(std::min(count, 0x7FFF));
}

} // namespace

extern "C" {

int16_t TessalyQuit(void) {
    tessaly::LibraryState& state = tessaly::TheLibraryState();
    if (state.initialised.exchange(false, std::memory_order_acq_rel)) {
        tessaly::ClosePlatform();
    }
    state.queries = {};
    return TESSALY_OK;
}

int16_t TessalyInit(void) {
    TessalyQuit();
    tessaly::PlatformQueries queries{};
    if (!tessaly::OpenPlatform(queries)) {
        return TESSALY_NOT_AVAILABLE;
    }
    tessaly::LibraryState& state = tessaly::TheLibraryState();
    state.queries = queries;
    state.initialised.store(true, std::memory_order_release);
    return TESSALY_OK;
}

int16_t TessalyGetNICs(TessalyNic* records, uint16_t capacity) {
    // No C++ exception may leave the library.
    try {
        return GetNics(records, capacity);
    } catch (const std::bad_alloc&) {
        return TESSALY_OUT_OF_MEMORY;
    } catch (...) {
        return TESSALY_NOT_AVAILABLE;
    }
}

} // extern "C"
