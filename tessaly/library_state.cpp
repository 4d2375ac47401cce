#include "tessaly/library_state.h"

namespace tessaly {

LibraryState& TheLibraryState() {
    static LibraryState state;
    return state;
}

bool InitialisedQueries(PlatformQueries& queries) {
    LibraryState& state = TheLibraryState();
    if (!state.initialised.load(std::memory_order_acquire)) {
        return false;
    }
    queries = state.queries;
    return queries.adapters && queries.addressTable;
}

} // namespace tessaly
