#include "tools/ravelin-cli/cli_summary.h"

#include <array>

namespace cli {
namespace {

std::string Count(int n, const char* what) {
    return std::to_string(n) + " " + what;
}

void Append(std::string& line, const std::string& part) {
    line += line.empty() ? part : ", " + part;
}

} // namespace

Verdict JudgeRun(const RunGoal& goal, int found, const std::vector<UnitOutcome>& selected,
                 const std::string& refusal) {
    Verdict verdict;
    const bool passes = goal.test || goal.upgrade || goal.secondaries;
    if (!passes) {
        verdict.line = Count(found, found == 1 ? "unit found" : "units found");
        if (!selected.empty()) {
            Append(verdict.line, Count(static_cast<int>(selected.size()), "selected"));
        }
        return verdict;
    }
    if (selected.empty()) {
        verdict.exitCode = kExitUnitsFailed;
        verdict.line =
            Count(found, found == 1 ? "unit found" : "units found") + ", no units selected";
        return verdict;
    }
    const uint8_t wanted = goal.upgrade ? kStatusUpgraded : kStatusTested;
    std::array<int, kDeviceStatusCount> byStatus{};
    int verified = 0, notVerified = 0, secondariesUpgraded = 0, secondariesFailed = 0;
    bool allReached = true;
    for (const UnitOutcome& unit : selected) {
        ++byStatus[unit.status < kDeviceStatusCount ? unit.status : 0];
        if (unit.status != wanted) {
            allReached = false;
        }
        if (unit.verification == Verification::Verified) {
            ++verified;
        } else if (unit.verification == Verification::NotVerified) {
            ++notVerified;
            allReached = false;
        }
        if (unit.secondaryState == kSecondaryUpgraded) {
            ++secondariesUpgraded;
        } else if (unit.secondaryState == kSecondaryFailed) {
            ++secondariesFailed;
            allReached = false;
        }
    }
    // Results first, then the units that never got as far.
    const std::pair<uint8_t, const char*> order[] = {
        {kStatusUpgraded, "upgraded"}, {kStatusFailedUpgrade, "failed upgrade"},
        {kStatusTested, "tested"},     {kStatusFailedTest, "failed test"},
        {kStatusUntested, "untested"}, {kStatusPresent, "without group information"},
        {kStatusInvalid, "not found"},
    };
    for (const auto& [status, text] : order) {
        if (byStatus[status] == 0) {
            continue;
        }
        std::string part = Count(byStatus[status], text);
        if (status == kStatusUpgraded && goal.verify) {
            part += " (" + Count(verified, "verified") + ", " + Count(notVerified, "not verified") +
                    ")";
        }
        Append(verdict.line, part);
    }
    if (goal.secondaries) {
        if (!refusal.empty()) {
            Append(verdict.line, "secondaries upgrade refused");
            allReached = false;
        }
        if (secondariesUpgraded) {
            Append(verdict.line, Count(secondariesUpgraded, "with secondaries upgraded"));
        }
        if (secondariesFailed) {
            Append(verdict.line, Count(secondariesFailed, "with secondaries failed"));
        }
    }
    verdict.exitCode = allReached ? kExitDone : kExitUnitsFailed;
    return verdict;
}

} // namespace cli
