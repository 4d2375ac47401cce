// The run sequence of ravelin-cli: settings, search, wait, selection, test, upgrade,
// secondaries, verification, the device list and the verdict.
#pragma once

#include <string>
#include <vector>

namespace cli {

// Runs the command line (without the program name); returns the exit code.
int RunCli(const std::vector<std::string>& arguments);

} // namespace cli
