// The verdict and the list formats, without a network: the exit-code contract, CSV and
// JSON quoting of texts that come from units.
#include "tools/ravelin-cli/cli_output.h"
#include "tools/ravelin-cli/cli_summary.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using cli::JudgeRun;
using cli::RunGoal;
using cli::UnitOutcome;
using cli::Verification;

TEST(CliVerdict, ExitsZeroOnlyWhenEverySelectedUnitReachedTheState) {
    const RunGoal upgrade{true, true, false, false};
    const RunGoal verify{true, true, false, true};
    const RunGoal test{true, false, false, false};
    struct Case {
        RunGoal goal;
        std::vector<UnitOutcome> units;
        int exitCode;
        const char* line;
    } cases[] = {
        {upgrade, {{kStatusUpgraded}, {kStatusUpgraded}}, 0, "2 upgraded"},
        {upgrade,
         {{kStatusUpgraded}, {kStatusFailedUpgrade}, {kStatusFailedTest}},
         1,
         "1 upgraded, 1 failed upgrade, 1 failed test"},
        // A unit that stayed Tested was not upgraded: the run did not do what it asked.
        {upgrade, {{kStatusUpgraded}, {kStatusTested}}, 1, "1 upgraded, 1 tested"},
        {test, {{kStatusTested}, {kStatusPresent}}, 1, "1 tested, 1 without group information"},
        {verify,
         {{kStatusUpgraded, 0, Verification::Verified},
          {kStatusUpgraded, 0, Verification::NotVerified}},
         1,
         "2 upgraded (1 verified, 1 not verified)"},
        {test, {}, 1, "3 units found, no units selected"},
        {RunGoal{}, {}, 0, "3 units found"},
        {test, {{kStatusTested}, {kStatusInvalid}}, 1, "1 tested, 1 not found"},
        {RunGoal{true, false, true, false},
         {{kStatusTested, kSecondaryUpgraded}, {kStatusTested, kSecondaryFailed}},
         1,
         "2 tested, 1 with secondaries upgraded, 1 with secondaries failed"},
    };
    for (const Case& c : cases) {
        const cli::Verdict verdict = JudgeRun(c.goal, 3, c.units);
        EXPECT_EQ(verdict.exitCode, c.exitCode) << c.line;
        EXPECT_EQ(verdict.line, c.line);
    }
    EXPECT_EQ(JudgeRun(RunGoal{true, false, true, false}, 1, {{kStatusTested}}, "refused").line,
              "1 tested, secondaries upgrade refused");
}

TEST(CliOutput, UnitTextsAreQuotedInCsvAndEscapedInJson) {
    EXPECT_EQ(cli::CsvField("unit0001"), "unit0001");
    EXPECT_EQ(cli::CsvField("rack 4, row \"B\""), "\"rack 4, row \"\"B\"\"\"");
    EXPECT_EQ(cli::CsvField(" lead"), "\" lead\"");
    EXPECT_EQ(cli::JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");

    DeviceEntry entry{};
    entry.status = kStatusPresent;
    const std::u16string name = u"rack,1";
    name.copy(entry.deviceName, name.size());
    std::ostringstream csv;
    cli::PrintDeviceList(csv, cli::OutputFormat::Csv, {entry}, {{"Verification", {"Verified"}}});
    const std::string text = csv.str();
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "Status,MAC Address,Name,IP Address,SW Version,Kernel Version,Filesys Version,"
              "Patch Version,Bootloader Rev,HW Rev,Model,Group Name,Secondaries,Map,Pack Kern "
              "Vers,Pack Fsys Vers,Pack Patch Vers,Pack Filename,BLPack Rev,BLPack "
              "Filename,Verification");
    EXPECT_NE(text.find("Present,00:00:00:00:00:00,\"rack,1\",0.0.0.0,"), std::string::npos);
    EXPECT_NE(text.find(",Verified\n"), std::string::npos);

    std::ostringstream json;
    cli::PrintDeviceList(json, cli::OutputFormat::Json, {}, {});
    EXPECT_EQ(json.str(), "[]\n");
}

} // namespace
