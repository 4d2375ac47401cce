// The version of Windows the program believes it runs on. The platform here reports a
// current one; tests can pretend otherwise.
#pragma once

#include <optional>

namespace platform {

struct WindowsVersion {
    int platformId; // 2: the NT family
    int major;
    int minor;
};

inline constexpr int kPlatformNt = 2;

WindowsVersion CurrentWindowsVersion();
void SetWindowsVersionOverride(std::optional<WindowsVersion> version);

} // namespace platform
