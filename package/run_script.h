// Running a generated script hidden and waiting for it.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kScriptPollLimit = 1000;

enum RunScriptResult : int {
    kScriptEnded = 0,
    kScriptNotStarted = -1,
    // Still running after the poll limit: it was ended together with its children.
    kScriptTimedOut = -2,
    // The interpreter gave the script up at a line it could not parse.
    kScriptAbandoned = -3,
};

// Starts the script, then polls its end every `pollIntervalMs` for at most
// kScriptPollLimit intervals. The script's own exit code is not looked at: the scripts
// report through their error file.
int RunScriptHidden(const std::u16string& scriptPath, uint32_t pollIntervalMs);
