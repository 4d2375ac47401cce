// The library's process-wide state, shared by the interface list and the mapping exports.
// Only TessalyInit and TessalyQuit write it.
#pragma once

#include "tessaly/adapter_source.h"

#include <atomic>

namespace tessaly {

struct LibraryState {
    std::atomic<bool> initialised{false};
    PlatformQueries queries{};
};

LibraryState& TheLibraryState();

// The queries when the library is initialised and both were found; false otherwise.
bool InitialisedQueries(PlatformQueries& queries);

// Ethernet and IEEE 802.11 adapters are the ones the library lists and maps.
inline bool IsListed(const Adapter& adapter) {
    return adapter.ifType == kIfTypeEthernet || adapter.ifType == kIfTypeWireless;
}

} // namespace tessaly
