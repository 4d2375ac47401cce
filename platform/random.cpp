#include "platform/random.h"

namespace platform {
namespace {

// The linear congruential step of the Windows run-time library, whose callers expect
// its 15-bit range.
thread_local uint32_t tState = 1;

} // namespace

void SeedRandom(uint32_t seed) {
    tState = seed;
}

int NextRandom() {
    tState = tState * 214013u + 2531011u;
    return static_cast<int>((tState >> 16) & 0x7FFFu);
}

} // namespace platform
