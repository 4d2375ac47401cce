// The run-time library's pseudo-random generator, kept per thread: values 0..32767, and
// seeding one thread's generator leaves every other thread's sequence alone.
#pragma once

#include <cstdint>

namespace platform {

// Seeds the calling thread's generator. A thread that never seeds starts as if seeded
// with 1.
void SeedRandom(uint32_t seed);

// Next value of the calling thread's sequence, 0..32767.
int NextRandom();

} // namespace platform
