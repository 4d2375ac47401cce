// --check-package: the configuration dialog's Test Packages without a dialog. The
// package library fetches and checks the configured package; the findings and the
// fields' texts are printed instead of shown.
#pragma once

#include <ostream>
#include <string>

namespace cli {

// Tests the firmware package and, with `bootloader`, the bootloader package too (the
// bootloader only when the firmware passed, as the dialog does). Prints what the
// dialog's fields would show, or the test's error. True when every test passed.
bool CheckPackages(bool bootloader, const std::u16string& programDirectory,
                   const std::u16string& usbRoot, std::ostream& out);

} // namespace cli
