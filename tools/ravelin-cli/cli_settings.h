// The settings of one run: the program's configuration items as the settings database
// holds them, with the command line's overrides laid over them in memory. Nothing is
// ever saved.
#pragma once

#include "tools/ravelin-cli/cli_options.h"

#include <string>

struct ThreadContext;
struct PassSettings;

namespace cli {

// Points the settings store at `configPath` (a file ending in ".cfg"), or at Ravelin.cfg
// in `programDirectory`, then loads defaults and every item and applies the overrides.
// False with `error` set when the station's interface is not usable (no stored one and
// none given).
bool LoadRunSettings(const std::string& configPath, const std::u16string& programDirectory,
                     const SettingOverrides& overrides, std::string& error);

// Copies items 1 to 9 into the context as start-up does, with cipher mode 1, and the
// search mode: range (bit 0x1000) or broadcast.
void FillThreadContext(ThreadContext& context, bool rangeSearch);

// Method, option and package locations for the upgrade passes.
PassSettings CurrentPassSettings();

// The configured list size (maxlistsize).
int MaxListSize();

} // namespace cli
