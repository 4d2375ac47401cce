// Program-wide flag: set when the last firmware package whose note was checked was of
// format V3. The device table reads it when it merges a pass result.
#pragma once

#include <atomic>

extern std::atomic<bool> PackageIsV3;
