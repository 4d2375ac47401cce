// Wall-clock time in whole seconds, with a replaceable source so tests can hold the
// clock still or step it.
#pragma once

#include <cstdint>

namespace platform {

using TimeSource = uint32_t (*)();

// Seconds since 1970-01-01 UTC, from the installed source (the system clock unless a
// test replaced it).
uint32_t CurrentTimeSeconds();

// Replaces the source process-wide; null puts the system clock back. Returns the
// source that was installed.
TimeSource SetTimeSource(TimeSource source);

} // namespace platform
