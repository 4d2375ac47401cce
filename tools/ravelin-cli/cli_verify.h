// Verification: after the units have had time to install, what each upgraded unit
// reports now (a new search, and its installed package read again by a test pass) is
// compared with what it reported before the upgrade.
#pragma once

#include "app/device_table.h"

namespace cli {

// Whether the unit now runs something else than before: any of its versions, its
// bootloader revision, or its installed firmware or bootloader package differs. `now`
// is null when the unit did not answer the new search.
bool UnitChanged(const DeviceEntry& before, const DeviceEntry* now);

} // namespace cli
