// TessalyStatus and TessalyRefresh against a fake netsh: the batch files and scripts as
// written, NAT installation on demand, the results of every failure, and a temporary
// directory left empty after each call.
#include "tessaly/tessaly_api.h"
#include "tests/tessaly/fake_netsh.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using nattest::CrLfLines;
using nattest::FakeNetsh;
using nattest::Fixture;
using StringList = std::vector<std::string>;

std::u16string Utf16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

int16_t Status(const std::string& listingPath, int16_t install) {
    const std::u16string path = Utf16(listingPath);
    return TessalyStatus(reinterpret_cast<const uint16_t*>(path.c_str()), install);
}

// The path between the first pair of double quotes of a line.
std::string QuotedPath(const std::string& line) {
    const size_t open = line.find('"');
    const size_t close = line.find('"', open + 1);
    return open == std::string::npos || close == std::string::npos
               ? std::string()
               : line.substr(open + 1, close - open - 1);
}

class NatStatus : public ::testing::Test {
  protected:
    std::string ListingPath() const { return netsh.Root() + "/listing.txt"; }
    FakeNetsh netsh;
};

TEST_F(NatStatus, InstalledNatLeavesTheListingForTheCaller) {
    netsh.SetListing(Fixture("listing_mixed.txt"));
    ASSERT_EQ(Status(ListingPath(), 0), TESSALY_OK);

    EXPECT_EQ(netsh.Calls(), StringList{"routing ip nat show interface"});
    ASSERT_EQ(netsh.BatchPaths().size(), 1u);
    EXPECT_EQ(CrLfLines(netsh.BatchText(0)),
              StringList{"@netsh routing ip nat show interface > \"" + ListingPath() + "\""});
    EXPECT_EQ(nattest::ReadFile(ListingPath()).substr(0, 32),
              "\r\nNAT Public LAN Configuration\r\n");
    EXPECT_EQ(netsh.TempEntries(), StringList{});
}

TEST_F(NatStatus, MissingNatIsInstalledOnlyWhenAskedAndOnlyOnce) {
    // Without the install flag: -19 after one listing.
    netsh.SetListing(Fixture("listing_missing.txt"));
    EXPECT_EQ(Status(ListingPath(), 0), TESSALY_NAT_MISSING);
    EXPECT_EQ(netsh.Calls(), StringList{"routing ip nat show interface"});
    EXPECT_EQ(netsh.TempEntries(), StringList{});

    // With it: install script, then the listing again, which now shows NAT.
    netsh.SetListingAfterInstall(Fixture("listing_empty.txt"));
    ASSERT_EQ(Status(ListingPath(), 1), TESSALY_OK);
    const StringList calls = netsh.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1], "routing ip nat show interface");
    ASSERT_EQ(calls[2].rfind("-f ", 0), 0u) << calls[2];
    EXPECT_EQ(calls[3], "routing ip nat show interface");
    EXPECT_EQ(
        CrLfLines(netsh.ScriptOfCall(3)),
        (StringList{"pushd routing ip nat", "install",
                    "set global tcptimeoutmins=1440 udptimeoutmins=1 loglevel=ERROR", "popd"}));

    // The batch files: the listing batch, run twice, and the install batch of a second,
    // different base name, which names the install script.
    const StringList batches = netsh.BatchPaths();
    ASSERT_EQ(batches.size(), 4u);
    const std::string installScript = calls[2].substr(3);
    EXPECT_EQ(batches[1], batches[3]);
    EXPECT_EQ(batches[2], installScript + ".bat");
    EXPECT_NE(batches[1], installScript + ".bat");
    EXPECT_NE(batches[1].substr(0, batches[1].size() - 4), installScript);
    EXPECT_EQ(CrLfLines(netsh.BatchText(2)), StringList{"@netsh -f \"" + installScript + "\""});
    EXPECT_EQ(netsh.TempEntries(), StringList{});

    // NAT still missing after the install: -19, and no second install.
    netsh.SetListingAfterInstall(Fixture("listing_missing.txt"));
    netsh.SetListing(Fixture("listing_missing.txt"));
    EXPECT_EQ(Status(ListingPath(), 1), TESSALY_NAT_MISSING);
    EXPECT_EQ(netsh.Calls().size(), 4u + 3u);
    EXPECT_EQ(netsh.TempEntries(), StringList{});
}

TEST_F(NatStatus, PathsAreQuotedForTheBatchLine) {
    // A percent sign reaches netsh's redirection unchanged; a double quote cannot be
    // written into the batch line at all.
    const std::string percentPath = netsh.Root() + "/50%TEMP%.txt";
    netsh.SetListing(Fixture("listing_empty.txt"));
    ASSERT_EQ(Status(percentPath, 0), TESSALY_OK);
    EXPECT_EQ(nattest::ReadFile(percentPath), "\r\n");
    EXPECT_EQ(QuotedPath(CrLfLines(netsh.BatchText(0))[0]), netsh.Root() + "/50%%TEMP%%.txt");

    EXPECT_EQ(Status(netsh.Root() + "/a\"b.txt", 0), TESSALY_NO_FILE);
    EXPECT_EQ(TessalyStatus(nullptr, 0), TESSALY_NO_FILE);
    const char16_t lone[] = {u'/', 0xD800, u'x', 0};
    EXPECT_EQ(TessalyStatus(reinterpret_cast<const uint16_t*>(lone), 0), TESSALY_NO_FILE);
    EXPECT_EQ(netsh.Calls().size(), 1u);
    EXPECT_EQ(netsh.TempEntries(), StringList{});
}

TEST_F(NatStatus, RefreshDumpsTheConfigurationAndRunsItAsAScript) {
    // The real interpreter, found next to the test program.
    unsetenv("TESSALY_COMMAND_INTERPRETER");
    netsh.SetDump(Fixture("dump.txt"));
    ASSERT_EQ(TessalyRefresh(), TESSALY_OK);

    const StringList calls = netsh.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "routing ip nat dump");
    ASSERT_EQ(calls[1].rfind("-f ", 0), 0u);
    const std::string base = calls[1].substr(3);
    EXPECT_EQ(base.rfind(netsh.TempDir() + "/pm", 0), 0u) << base;
    EXPECT_EQ(base.size(), netsh.TempDir().size() + 9);
    // What netsh dumped is what it was given to run.
    EXPECT_EQ(CrLfLines(netsh.ScriptOfCall(2)), nattest::Lines(Fixture("dump.txt")));
    EXPECT_EQ(netsh.TempEntries(), StringList{});
}

TEST_F(NatStatus, RefreshBatchNamesTheBaseTwice) {
    netsh.SetDump(Fixture("dump.txt"));
    ASSERT_EQ(TessalyRefresh(), TESSALY_OK);
    const std::string base = netsh.Calls().at(1).substr(3);
    ASSERT_EQ(netsh.BatchPaths(), StringList{base + ".bat"});
    EXPECT_EQ(CrLfLines(netsh.BatchText(0)),
              (StringList{"@netsh routing ip nat dump > \"" + base + "\"",
                          "@netsh -f \"" + base + "\""}));
}

TEST_F(NatStatus, FailuresReportTheirCodesAndLeaveNoFiles) {
    netsh.SetListing(Fixture("listing_empty.txt"));

    // The listing cannot be written where the caller asked.
    EXPECT_EQ(Status(netsh.Root() + "/no/such/folder/listing.txt", 0), TESSALY_NO_FILE);
    EXPECT_EQ(netsh.TempEntries(), StringList{});

    // No interpreter to start.
    setenv("TESSALY_COMMAND_INTERPRETER", (netsh.Root() + "/bin/missing").c_str(), 1);
    EXPECT_EQ(Status(ListingPath(), 1), TESSALY_START_FAILED);
    EXPECT_EQ(TessalyRefresh(), TESSALY_START_FAILED);
    EXPECT_EQ(netsh.TempEntries(), StringList{});

    // No temporary directory to make names in.
    unsetenv("TESSALY_COMMAND_INTERPRETER");
    setenv("TEMP", (netsh.Root() + "/gone").c_str(), 1);
    EXPECT_EQ(Status(ListingPath(), 0), TESSALY_NO_FILE);
    EXPECT_EQ(TessalyRefresh(), TESSALY_NO_FILE);
    EXPECT_EQ(netsh.Calls(), StringList{});
}

} // namespace
