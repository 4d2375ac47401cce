#include "platform/windows_version.h"

namespace platform {
namespace {
// Set by tests before the code under test runs; read on the user-interface thread.
std::optional<WindowsVersion> gOverride;
} // namespace

WindowsVersion CurrentWindowsVersion() {
    return gOverride.value_or(WindowsVersion{kPlatformNt, 10, 0});
}

void SetWindowsVersionOverride(std::optional<WindowsVersion> version) {
    gOverride = version;
}

} // namespace platform
