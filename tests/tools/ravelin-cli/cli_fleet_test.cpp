// ravelin-cli end to end against unit-sim on loopback. Every test has its own addresses
// (127.40.<slot>.x) and ports, so CTest runs them side by side.
#include "app/device_list.h"
#include "config/config_items.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"
#include "tests/tools/ravelin-cli/cli_child.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using clitest::CliRun;

struct Fleet {
    simtest::SimProcess sim;
    std::string config;
    ~Fleet() {
        if (!config.empty()) {
            std::system(("rm -rf " + config.substr(0, config.rfind('/'))).c_str());
        }
    }
    bool Start(int slot, int units, const std::vector<std::string>& extra) {
        config = clitest::TempDirectory() + "/absent.cfg"; // no database: the defaults
        std::vector<std::string> args = {
            "--units",          std::to_string(units),
            "--first-ip",       clitest::FirstIp(slot),
            "--broadcast-port", std::to_string(clitest::BroadcastPort(slot)),
            "--station-port",   std::to_string(clitest::ListenPort(slot)),
            "--session-port",   std::to_string(clitest::SessionPort(slot)),
            "--station-mac",    "02:00:00:00:00:01"};
        args.insert(args.end(), extra.begin(), extra.end());
        return sim.Start(args);
    }
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Mac(int k) {
    char text[24];
    std::snprintf(text, sizeof text, "02:52:56:%02X:%02X:%02X", (k + 1) >> 16 & 0xFF,
                  (k + 1) >> 8 & 0xFF, (k + 1) & 0xFF);
    return text;
}

TEST(CliFleet, ARangeSearchOfFiftyUnitsListsThemInCsvWithTheMainListsTexts) {
    constexpr int kSlot = 1, kUnits = 50;
    Fleet fleet;
    ASSERT_TRUE(fleet.Start(kSlot, kUnits, {"--sw", "3.17.227"}));
    const CliRun run = clitest::RunCli(
        Join(clitest::StationArgs(kSlot, fleet.config),
             {"--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1),
              "--max-list", "500", "--wait", "10", "--format", "csv"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), "50 units found");
    const std::vector<std::string> lines = clitest::Lines(run.out);
    ASSERT_EQ(lines.size(), 1u + kUnits) << run.out;
    const std::vector<std::string> header = clitest::CsvCells(lines[0]);
    ASSERT_EQ(header.size(), static_cast<size_t>(kDeviceListColumns));
    for (int c = 0; c < kDeviceListColumns; ++c) {
        const std::u16string h = kDeviceListColumnTable[c].header;
        EXPECT_EQ(header[c], std::string(h.begin(), h.end()));
    }
    std::vector<bool> seen(kUnits, false);
    for (int row = 1; row <= kUnits; ++row) {
        const std::vector<std::string> cells = clitest::CsvCells(lines[row]);
        ASSERT_EQ(cells.size(), static_cast<size_t>(kDeviceListColumns)) << lines[row];
        // The unit behind the row, by its address.
        int k = -1;
        for (int i = 0; i < kUnits; ++i) {
            if (cells[3] == clitest::UnitIp(kSlot, i)) {
                k = i;
            }
        }
        ASSERT_GE(k, 0) << lines[row];
        EXPECT_FALSE(seen[k]);
        seen[k] = true;
        char name[16];
        std::snprintf(name, sizeof name, "unit%04d", k + 1);
        EXPECT_EQ(cells[0], "Present");
        EXPECT_EQ(cells[1], Mac(k));
        EXPECT_EQ(cells[2], name);
        EXPECT_EQ(cells[4], "3.17.227");
        EXPECT_EQ(cells[11], ""); // no group yet
        EXPECT_EQ(cells[13], "0");
        EXPECT_EQ(cells[14], "0.0.0");
    }
}

// The whole road: test, upgrade and verification, with one unit that refuses the login
// and one that never installs what it accepted.
TEST(CliFleet, TestUpgradeVerifyMarksGoodUnitsVerifiedAndFaultyOnesWithTheirFailure) {
    constexpr int kSlot = 2, kUnits = 6;
    Fleet fleet;
    // Unit 2 refuses the login; unit 4 runs old software, so it takes the command
    // without an option word, and still installs.
    ASSERT_TRUE(
        fleet.Start(kSlot, kUnits, {"--install-after", "300", "--fault", "login-refused:2"}));
    const CliRun run = clitest::RunCli(
        Join(clitest::StationArgs(kSlot, fleet.config),
             {"--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1),
              "--wait", "10", "--select", "all", "--test", "--upgrade", "--verify",
              "--verify-after", "1", "--method", "url", "--url",
              "http://127.0.0.1/tevpack-3.19.0.bin", "--option", "force", "--format", "csv"}));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.LastErrLine(), "5 upgraded (5 verified, 0 not verified), 1 failed test");
    const std::vector<std::string> lines = clitest::Lines(run.out);
    ASSERT_EQ(lines.size(), 1u + kUnits) << run.out;
    EXPECT_EQ(clitest::CsvCells(lines[0]).back(), "Verification");
    for (int row = 1; row <= kUnits; ++row) {
        const std::vector<std::string> cells = clitest::CsvCells(lines[row]);
        ASSERT_EQ(cells.size(), static_cast<size_t>(kDeviceListColumns) + 1);
        if (cells[3] == clitest::UnitIp(kSlot, 2)) {
            EXPECT_EQ(cells[0], "Failed Test");
            EXPECT_EQ(cells.back(), "");
        } else {
            EXPECT_EQ(cells[0], "Upgraded") << lines[row];
            EXPECT_EQ(cells.back(), "Verified") << lines[row];
            EXPECT_EQ(cells[4], "3.19.0") << lines[row]; // what the unit runs now
            EXPECT_EQ(cells[17], "tevpack-3.19.0.bin") << lines[row];
        }
    }
}

// Units that take the upgrade but never install it are upgraded and Not Verified: the
// run does not report success.
TEST(CliFleet, AnUpgradeThatIsNeverInstalledIsNotVerified) {
    constexpr int kSlot = 3, kUnits = 2;
    Fleet fleet;
    ASSERT_TRUE(fleet.Start(kSlot, kUnits, {})); // accepted upgrades are never installed
    const CliRun run = clitest::RunCli(
        Join(clitest::StationArgs(kSlot, fleet.config),
             {"--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1),
              "--wait", "10", "--select", Mac(1), "--upgrade", "--verify", "--verify-after", "0.5",
              "--method", "usb", "--format", "json"}));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.LastErrLine(), "1 upgraded (0 verified, 1 not verified)");
    EXPECT_NE(run.out.find("\"Verification\": \"Not Verified\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"Status\": \"Present\""), std::string::npos) << run.out;
}

TEST(CliFleet, ATestPassOverGoodUnitsExitsZero) {
    constexpr int kSlot = 4, kUnits = 3;
    Fleet fleet;
    // Units already in the station's group, which the command line gives for this run.
    ASSERT_TRUE(fleet.Start(kSlot, kUnits, {"--group", "Lab", "--password", "labpw"}));
    const CliRun run = clitest::RunCli(Join(
        clitest::StationArgs(kSlot, fleet.config),
        {"--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1), "--wait",
         "10", "--select", "present", "--test", "--group", "Lab", "--password", "labpw"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), "3 tested");
    // The table: a header and one aligned row per unit, each Tested in group Lab.
    const std::vector<std::string> lines = clitest::Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0].rfind("Status", 0), 0u);
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("Tested ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" Lab "), std::string::npos) << lines[i];
    }
}

TEST(CliFleet, AMacAddressThatDidNotAnswerCountsAsNotFound) {
    constexpr int kSlot = 5;
    Fleet fleet;
    ASSERT_TRUE(fleet.Start(kSlot, 1, {"--fault", "silent:0"}));
    const CliRun run = clitest::RunCli(
        Join(clitest::StationArgs(kSlot, fleet.config),
             {"--range", clitest::FirstIp(kSlot), "--wait", "0.5", "--select", Mac(0), "--test"}));
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find(Mac(0) + " did not answer the search"), std::string::npos) << run.err;
    EXPECT_EQ(run.LastErrLine(), "1 not found");
}

TEST(CliFleet, SecondariesAreReadAndUpgradedBehindTestedPrimaries) {
    constexpr int kSlot = 6, kUnits = 2;
    Fleet fleet;
    ASSERT_TRUE(fleet.Start(kSlot, kUnits, {"--secondaries", "2"}));
    const CliRun run = clitest::RunCli(
        Join(clitest::StationArgs(kSlot, fleet.config),
             {"--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1),
              "--wait", "10", "--select", "all", "--secondaries", "--format", "csv"}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), "2 tested, 2 with secondaries upgraded");
    const std::vector<std::string> lines = clitest::Lines(run.out);
    ASSERT_EQ(lines.size(), 1u + kUnits) << run.out;
    EXPECT_EQ(clitest::CsvCells(lines[0]).back(), "Secondary Status");
    for (int row = 1; row <= kUnits; ++row) {
        const std::vector<std::string> cells = clitest::CsvCells(lines[row]);
        EXPECT_EQ(cells[0], "Tested");
        EXPECT_EQ(cells[12], "2"); // secondaries behind the primary
        EXPECT_EQ(cells.back(), "Upgraded");
    }
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The station's interface, ports and list size come from the settings database; a flag
// overrides one for the run, and the database is left exactly as it was.
TEST(CliFleet, SettingsComeFromTheDatabaseAndAreNeverSaved) {
    constexpr int kSlot = 7, kUnits = 3;
    Fleet fleet;
    ASSERT_TRUE(fleet.Start(kSlot, kUnits, {}));
    const std::string dir = clitest::TempDirectory();
    platform::SetProgramFileOverride(platform::Utf8ToUtf16(dir + "/Ravelin"));
    SetConfigDefaults();
    ConfigValues& c = TheConfig();
    const uint8_t ip[4] = {127, 0, 0, 1}, mask[4] = {255, 0, 0, 0};
    const uint8_t mac[6] = {2, 0, 0, 0, 0, 1};
    std::copy(ip, ip + 4, c.mgripaddr);
    std::copy(mask, mask + 4, c.mgrsubnetmask);
    std::copy(mac, mac + 6, c.mgrmacaddr);
    c.devsconnlport = static_cast<uint16_t>(clitest::BroadcastPort(kSlot));
    c.mgrconnlport = 9; // overridden below: nothing would answer there
    c.maxlistsize = 2;  // the list takes only two of the three units
    for (ConfigKind kind : {kCfgMgrIpAddr, kCfgMgrSubnetMask, kCfgMgrMacAddr, kCfgDevsConnLPort,
                            kCfgMgrConnLPort, kCfgMaxListSize}) {
        ASSERT_NE(SaveConfigItem(kind), 0) << kind;
    }
    platform::SetProgramFileOverride(std::nullopt);
    const std::string database = dir + "/Ravelin.cfg";
    const std::string before = FileBytes(database);
    ASSERT_FALSE(before.empty());

    const CliRun run = clitest::RunCli(
        {"--config", database, "--listen-port", std::to_string(clitest::ListenPort(kSlot)),
         "--range", clitest::FirstIp(kSlot) + "-" + clitest::UnitIp(kSlot, kUnits - 1), "--wait",
         "3", "--format", "json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.LastErrLine(), "2 units found");
    EXPECT_EQ(FileBytes(database), before);
    std::system(("rm -rf " + dir).c_str());
}

} // namespace
