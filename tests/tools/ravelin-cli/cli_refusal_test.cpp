// Bad flags and bad addresses are refused before anything is sent, with a message, the
// usage line and exit code 2; a station without an interface cannot run (exit code 3).
#include "tests/tools/ravelin-cli/cli_child.h"

#include <gtest/gtest.h>

namespace {

struct Refusal {
    std::vector<std::string> args;
    const char* message;
};

TEST(CliRefusal, BadFlagsAndAddressesAreRefusedWithTheUsageLine) {
    const std::string config = clitest::TempDirectory() + "/absent.cfg";
    const Refusal cases[] = {
        {{"--bogus"}, "ravelin-cli: unknown option '--bogus'"},
        {{"--range", "10.0.0.300"}, "ravelin-cli: bad address range '10.0.0.300'"},
        {{"--range", "10.0.0.1-10.0.1"}, "ravelin-cli: bad address range '10.0.0.1-10.0.1'"},
        {{"--range", "10.0.0.1-10.0.1.246"},
         "ravelin-cli: Search Parameter error: Search range is too large (501), narrow it down "
         "to 500 or less"},
        {{"--range", "10.0.0.9-10.0.0.8"},
         "ravelin-cli: End IP Address is less than the starting IP Address"},
        {{"--broadcast", "--station-mac", "02:00:00:00:01"},
         "ravelin-cli: bad MAC address for --station-mac"},
        {{"--broadcast", "--listen-port", "70000"}, "ravelin-cli: bad port for --listen-port"},
        {{"--broadcast", "--method", "ftp"}, "ravelin-cli: bad --method 'ftp'"},
        {{"--broadcast", "--option", "newer"}, "ravelin-cli: bad --option 'newer'"},
        {{"--broadcast", "--select", "02:52:56:00:00:zz"}, "ravelin-cli: bad --select"},
        {{"--broadcast", "--max-list", "501"}, "ravelin-cli: bad --max-list '501'"},
        {{"--broadcast", "--format", "xml"}, "ravelin-cli: bad --format 'xml'"},
        {{"--broadcast", "--wait"}, "ravelin-cli: --wait needs a value"},
        {{"--broadcast", "--broadcast"}, "ravelin-cli: --broadcast given twice"},
        {{"--broadcast", "--range", "10.0.0.1"}, "ravelin-cli: --broadcast and --range exclude"},
        {{"--broadcast", "--test"},
         "ravelin-cli: --test, --upgrade and --secondaries need --select"},
        {{"--test", "--select", "all"},
         "ravelin-cli: --test, --upgrade and --secondaries need a search"},
        {{"--broadcast", "--select", "all", "--test", "--verify"},
         "ravelin-cli: --verify needs --upgrade"},
        {{}, "ravelin-cli: nothing to do"},
        {{"--config", "settings.db", "--broadcast"}, "ravelin-cli: --config must name"},
    };
    for (const Refusal& c : cases) {
        std::vector<std::string> args = c.args;
        const clitest::CliRun run = clitest::RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
        EXPECT_EQ(run.LastErrLine().rfind("usage: ravelin-cli ", 0), 0u) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(CliRefusal, WithoutAStationInterfaceASearchCannotRun) {
    const std::string config = clitest::TempDirectory() + "/absent.cfg";
    const clitest::CliRun run = clitest::RunCli({"--config", config, "--broadcast"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("no usable station interface"), std::string::npos) << run.err;
}

TEST(CliRefusal, HelpListsTheExitCodes) {
    const clitest::CliRun run = clitest::RunCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Exit codes: 0"), std::string::npos);
}

} // namespace
