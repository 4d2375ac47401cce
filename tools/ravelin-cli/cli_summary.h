// The run's verdict: which state each selected unit was to reach, how many did, the
// one-line summary and the exit code.
#pragma once

#include "app/device_table.h"

#include <string>
#include <vector>

namespace cli {

enum ExitCode : int {
    kExitDone = 0,        // every selected unit reached the state asked for
    kExitUnitsFailed = 1, // some did not (or none was selected, or the package failed)
    kExitUsage = 2,       // the command line was refused
    kExitStation = 3,     // the station could not run
};

struct RunGoal {
    bool test = false;
    bool upgrade = false;
    bool secondaries = false;
    bool verify = false;
};

enum class Verification { NotAsked, Verified, NotVerified };

// One selected unit at the end of the run.
struct UnitOutcome {
    uint8_t status = kStatusInvalid;
    uint8_t secondaryState = kSecondaryInvalid; // kSecondaryInvalid: not a listed primary
    Verification verification = Verification::NotAsked;
};

struct Verdict {
    int exitCode = kExitDone;
    std::string line;
};

// `found` is the number of units in the list; `refusal` a secondaries upgrade that was
// refused as a whole (empty when none).
Verdict JudgeRun(const RunGoal& goal, int found, const std::vector<UnitOutcome>& selected,
                 const std::string& refusal = {});

} // namespace cli
