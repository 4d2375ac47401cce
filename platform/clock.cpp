#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace platform {
namespace {

uint32_t SystemSeconds() {
    return static_cast<uint32_t>(std::time(nullptr));
}

std::atomic<TimeSource> gSource{&SystemSeconds};

} // namespace

uint32_t CurrentTimeSeconds() {
    return gSource.load(std::memory_order_acquire)();
}

TimeSource SetTimeSource(TimeSource source) {
    return gSource.exchange(source ? source : &SystemSeconds, std::memory_order_acq_rel);
}

} // namespace platform
