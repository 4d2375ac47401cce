#include "package/package_flags.h"

std::atomic<bool> PackageIsV3{false};
