// The selection and the marks the passes read: every listed unit is shown (mark 1), the
// selected ones are marked 2, as the main window's MarkSelections leaves them.
#pragma once

#include "app/device_table.h"
#include "tools/ravelin-cli/cli_options.h"

#include <string>
#include <vector>

namespace cli {

// Marks the table for `options`' selection; returns the selected slots. `missing`
// receives the asked-for MAC addresses that are not in the table.
std::vector<int> MarkSelection(DeviceTable& table, const CliOptions& options,
                               std::vector<std::string>* missing);

// The secondaries window's opening: qualifying entries become listed primaries
// (secondary state 1), the others 0. Returns the listed slots.
std::vector<int> ListPrimaries(DeviceTable& table);

// The secondaries Upgrade: every primary whose secondaries were read (state 2) is
// queued (state 3), after the window's package check. Returns the refusal message of the
// first primary without a valid package for the mode (nothing is queued then).
std::string QueueSecondaries(DeviceTable& table, bool bootloader);

} // namespace cli
