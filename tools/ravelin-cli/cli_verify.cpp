#include "tools/ravelin-cli/cli_verify.h"

#include <cstddef>

namespace cli {
namespace {

bool Same(const VersionTriple& a, const VersionTriple& b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build;
}

template <size_t N> bool SameText(const char16_t (&a)[N], const char16_t (&b)[N]) {
    for (size_t i = 0; i < N; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
        if (a[i] == 0) {
            return true;
        }
    }
    return true;
}

} // namespace

bool UnitChanged(const DeviceEntry& before, const DeviceEntry* now) {
    if (!now) {
        return false;
    }
    const bool versions =
        Same(before.swVersion, now->swVersion) && Same(before.kernelVersion, now->kernelVersion) &&
        Same(before.filesysVersion, now->filesysVersion) &&
        Same(before.patchVersion, now->patchVersion) && before.bootloaderRev == now->bootloaderRev;
    // The package fields are known only when the new test reached the unit.
    const bool packageRead = now->status == kStatusTested;
    const bool package =
        !packageRead ||
        (Same(before.packKernelVersion, now->packKernelVersion) &&
         Same(before.packFilesysVersion, now->packFilesysVersion) &&
         Same(before.packPatchVersion, now->packPatchVersion) &&
         before.blPackRev == now->blPackRev && SameText(before.packFilename, now->packFilename) &&
         SameText(before.blPackFilename, now->blPackFilename));
    return !(versions && package);
}

} // namespace cli
