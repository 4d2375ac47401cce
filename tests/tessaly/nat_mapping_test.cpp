// TessalyOpen, TessalyAdd, TessalyExecute and TessalyClose on real links: each test runs in
// a network namespace of its own with two veth links ("Public LAN" and "Private LAN" by
// their aliases, which are the names netsh knows them by) and a fake netsh first on PATH.
#include "tessaly/tessaly_api.h"
#include "tests/support/net_namespace.h"
#include "tests/tessaly/fake_netsh.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using nattest::CrLfLines;
using nattest::FakeNetsh;
using nattest::Fixture;
using StringList = std::vector<std::string>;

constexpr char kLinks[] = R"sh(set -e
mkdir -p /run/netns && mount -t tmpfs tmpfs /run/netns
ip netns add far
ip link add pub type veth peer name pubpeer netns far
ip link add priv type veth peer name privpeer netns far
ip link set pub address 02:00:5e:20:00:01
ip link set priv address 02:00:5e:20:00:02
ip link set pub alias "Public LAN"
ip link set priv alias "Private LAN"
ip addr add 198.51.100.1/24 dev pub
ip addr add 192.0.2.1/24 dev priv
ip link set pub up
ip link set priv up
)sh";

constexpr uint8_t kPublicMac[6] = {0x02, 0x00, 0x5e, 0x20, 0x00, 0x01};
constexpr uint8_t kPrivateMac[6] = {0x02, 0x00, 0x5e, 0x20, 0x00, 0x02};

#define RUN_IN_OWN_NAMESPACE()                                                                     \
    if (!testns::InTestNamespace()) {                                                              \
        EXPECT_TRUE(testns::RerunInNewNamespace());                                                \
        return;                                                                                    \
    }

class NatMapping : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testns::InTestNamespace()) {
            return;
        }
        ASSERT_TRUE(testns::Shell(kLinks));
        ASSERT_EQ(TessalyInit(), TESSALY_OK);
        netsh = std::make_unique<FakeNetsh>();
    }
    void TearDown() override {
        for (TessalyHandle handle : opened) {
            TessalyClose(handle);
        }
        netsh.reset();
        TessalyQuit();
    }

    // Ranges 1000..1999 and 3000..3999.
    TessalyHandle OpenMapping(uint16_t usePublicAddress) {
        TessalyHandle handle =
            TessalyOpen(kPublicMac, kPrivateMac, usePublicAddress, 1000, 1999, 3000, 3999);
        if (handle) {
            opened.push_back(handle);
        }
        return handle;
    }

    std::unique_ptr<FakeNetsh> netsh;
    std::vector<TessalyHandle> opened;
};

TEST_F(NatMapping, OpenFindsBothAdaptersByMacAndChecksItsArguments) {
    RUN_IN_OWN_NAMESPACE();
    EXPECT_NE(OpenMapping(0), nullptr);
    // One adapter may be both sides.
    TessalyHandle same = TessalyOpen(kPublicMac, kPublicMac, 0, 1, 2, 3, 4);
    EXPECT_NE(same, nullptr);
    EXPECT_EQ(TessalyClose(same), TESSALY_OK);

    const uint8_t unknown[6] = {0x02, 0x00, 0x5e, 0x20, 0x00, 0x09};
    const uint8_t loopback[6] = {0, 0, 0, 0, 0, 0}; // lo is not a listed adapter
    EXPECT_EQ(TessalyOpen(unknown, kPrivateMac, 0, 1000, 1999, 3000, 3999), nullptr);
    EXPECT_EQ(TessalyOpen(kPublicMac, unknown, 0, 1000, 1999, 3000, 3999), nullptr);
    EXPECT_EQ(TessalyOpen(kPublicMac, loopback, 0, 1000, 1999, 3000, 3999), nullptr);
    EXPECT_EQ(TessalyOpen(nullptr, kPrivateMac, 0, 1000, 1999, 3000, 3999), nullptr);
    // Empty ranges: low not below high.
    EXPECT_EQ(TessalyOpen(kPublicMac, kPrivateMac, 0, 100, 100, 3000, 3999), nullptr);
    EXPECT_EQ(TessalyOpen(kPublicMac, kPrivateMac, 0, 1000, 1999, 4000, 3000), nullptr);

    TessalyQuit();
    EXPECT_EQ(TessalyOpen(kPublicMac, kPrivateMac, 0, 1000, 1999, 3000, 3999), nullptr);
}

TEST_F(NatMapping, AddTestsThePortAgainstBothRangesAndTheHandle) {
    RUN_IN_OWN_NAMESPACE();
    TessalyHandle handle = OpenMapping(0);
    ASSERT_NE(handle, nullptr);
    const uint8_t address[4] = {192, 0, 2, 50};
    struct Case {
        uint16_t port;
        int16_t result;
    };
    // Outside only when below both lows or above both highs.
    for (const Case& c :
         {Case{2500, TESSALY_OK}, Case{999, TESSALY_PORT_OUTSIDE}, Case{4000, TESSALY_PORT_OUTSIDE},
          Case{1000, TESSALY_OK}, Case{3999, TESSALY_OK}, Case{0, TESSALY_PORT_OUTSIDE},
          Case{65535, TESSALY_PORT_OUTSIDE}}) {
        EXPECT_EQ(TessalyAdd(handle, c.port, address, 80, TESSALY_PROTO_TCP), c.result) << c.port;
    }
    EXPECT_EQ(TessalyAdd(handle, 2500, nullptr, 80, TESSALY_PROTO_TCP), TESSALY_BAD_HANDLE);

    // Empty, foreign and closed handles are refused without being read.
    int notAnObject = 0x6563;
    EXPECT_EQ(TessalyAdd(nullptr, 2500, address, 80, 1), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyAdd(&notAnObject, 2500, address, 80, 1), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyExecute(&notAnObject), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyClose(&notAnObject), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyClose(nullptr), TESSALY_BAD_HANDLE);
    opened.clear();
    EXPECT_EQ(TessalyClose(handle), TESSALY_OK);
    EXPECT_EQ(TessalyClose(handle), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyAdd(handle, 2500, address, 80, 1), TESSALY_BAD_HANDLE);
    EXPECT_EQ(TessalyExecute(handle), TESSALY_BAD_HANDLE);
    EXPECT_EQ(netsh->Calls(), StringList{});
}

TEST_F(NatMapping, TheNewRuleListIsFullAfter65472Rules) {
    RUN_IN_OWN_NAMESPACE();
    TessalyHandle handle = OpenMapping(0);
    ASSERT_NE(handle, nullptr);
    const uint8_t address[4] = {192, 0, 2, 50};
    // Steps of 64 reach 65,472; one more step would pass 65,535.
    int added = 0;
    int16_t result = TESSALY_OK;
    while ((result = TessalyAdd(handle, 2500, address, 80, 1)) == TESSALY_OK && added < 70000) {
        ++added;
    }
    EXPECT_EQ(result, TESSALY_LIST_FULL);
    EXPECT_EQ(added, 65472);
}

TEST_F(NatMapping, ExecuteRebuildsTheConfigurationKeepingWhatItDoesNotReplace) {
    RUN_IN_OWN_NAMESPACE();
    TessalyHandle handle = OpenMapping(1);
    ASSERT_NE(handle, nullptr);
    const uint8_t mail[4] = {192, 0, 2, 50};
    const uint8_t dns[4] = {192, 0, 2, 51};
    ASSERT_EQ(TessalyAdd(handle, 2500, mail, 25, TESSALY_PROTO_TCP | TESSALY_PROTO_UDP),
              TESSALY_OK);
    ASSERT_EQ(TessalyAdd(handle, 1000, mail, 26, 0), TESSALY_OK);
    ASSERT_EQ(TessalyAdd(handle, 3000, dns, 3001, TESSALY_PROTO_UDP), TESSALY_OK);
    netsh->SetListing(Fixture("listing_mixed.txt"));

    ASSERT_EQ(TessalyExecute(handle), TESSALY_OK);

    const StringList calls = netsh->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "routing ip nat show interface");
    ASSERT_EQ(calls[1].rfind("-f ", 0), 0u);
    const std::string base = calls[1].substr(3);
    // Public LAN: TCP 1500 and UDP 3999 lie inside the ranges and are replaced, TCP 80 is
    // kept; Branch is another interface, so its TCP 1500 stays, and its "GRE" mapping
    // counts as TCP. The mapping with a broken address ends Branch's block; the blocks
    // after it are still read. Lab's unknown mode is Private.
    const StringList expected = {
        "pushd routing ip nat",
        "uninstall",
        "install",
        "set global tcptimeoutmins=1440 udptimeoutmins=1 loglevel=ERROR",
        "# interface(s)",
        "add interface name=\"Public LAN\" mode=Full",
        "add interface name=\"Private LAN\" mode=Private",
        "add interface name=\"Branch\" mode=FullFirewall",
        "add interface name=\"Guard\" mode=FirewallOnly",
        "add interface name=\"Lab\" mode=Private",
        "# saved rule(s)",
        "add portmapping name=\"Public LAN\" proto=TCP publicip=0.0.0.0 publicport=80 "
        "privateip=192.0.2.11 privateport=8080",
        "add portmapping name=\"Branch\" proto=TCP publicip=0.0.0.0 publicport=1500 "
        "privateip=192.0.2.20 privateport=1500",
        "add portmapping name=\"Branch\" proto=TCP publicip=203.0.113.9 publicport=4000 "
        "privateip=192.0.2.21 privateport=4000",
        "# zan's rule(s)",
        "add portmapping name=\"Public LAN\" proto=TCP publicip=198.51.100.1 publicport=2500 "
        "privateip=192.0.2.50 privateport=25",
        "add portmapping name=\"Public LAN\" proto=UDP publicip=198.51.100.1 publicport=2500 "
        "privateip=192.0.2.50 privateport=25",
        "add portmapping name=\"Public LAN\" proto=UDP publicip=198.51.100.1 publicport=3000 "
        "privateip=192.0.2.51 privateport=3001",
        "popd",
    };
    EXPECT_EQ(CrLfLines(netsh->ScriptOfCall(2)), expected);

    // The listing goes to the base's ".sav", netsh's output to its ".out".
    const StringList batches = netsh->BatchPaths();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(CrLfLines(netsh->BatchText(0)),
              StringList{"@netsh routing ip nat show interface > \"" + base + ".sav\""});
    EXPECT_EQ(batches[1], base + ".bat");
    EXPECT_EQ(CrLfLines(netsh->BatchText(1)),
              StringList{"@netsh -f \"" + base + "\" > \"" + base + ".out\""});
    EXPECT_EQ(netsh->TempEntries(), StringList{});

    // A second run reads the configuration anew instead of adding to what it kept.
    ASSERT_EQ(TessalyExecute(handle), TESSALY_OK);
    EXPECT_EQ(CrLfLines(netsh->ScriptOfCall(4)), expected);
    EXPECT_EQ(netsh->TempEntries(), StringList{});
}

TEST_F(NatMapping, AnEmptyConfigurationGetsBothInterfacesAndTheWildcardAddress) {
    RUN_IN_OWN_NAMESPACE();
    TessalyHandle handle = OpenMapping(0);
    ASSERT_NE(handle, nullptr);
    const uint8_t web[4] = {192, 0, 2, 80};
    ASSERT_EQ(TessalyAdd(handle, 1080, web, 80, TESSALY_PROTO_TCP), TESSALY_OK);
    netsh->SetListing(Fixture("listing_empty.txt"));

    ASSERT_EQ(TessalyExecute(handle), TESSALY_OK);
    EXPECT_EQ(CrLfLines(netsh->ScriptOfCall(2)),
              (StringList{"pushd routing ip nat", "uninstall", "install",
                          "set global tcptimeoutmins=1440 udptimeoutmins=1 loglevel=ERROR",
                          "# interface(s)", "add interface name=\"Public LAN\" mode=Full",
                          "add interface name=\"Private LAN\" mode=Private", "# saved rule(s)",
                          "# zan's rule(s)",
                          "add portmapping name=\"Public LAN\" proto=TCP publicip=0.0.0.0 "
                          "publicport=1080 privateip=192.0.2.80 privateport=80",
                          "popd"}));
    EXPECT_EQ(netsh->TempEntries(), StringList{});
}

TEST_F(NatMapping, ExecuteFailuresWriteNoScriptAndLeaveNoFiles) {
    RUN_IN_OWN_NAMESPACE();
    TessalyHandle handle = OpenMapping(0);
    ASSERT_NE(handle, nullptr);

    // NAT missing: -19 after the listing alone; the ".sav" listing is deleted too.
    netsh->SetListing(Fixture("listing_missing.txt"));
    EXPECT_EQ(TessalyExecute(handle), TESSALY_NAT_MISSING);
    EXPECT_EQ(netsh->Calls(), StringList{"routing ip nat show interface"});
    EXPECT_EQ(netsh->BatchPaths().size(), 1u);
    EXPECT_EQ(netsh->TempEntries(), StringList{});

    // No interpreter.
    netsh->SetListing(Fixture("listing_empty.txt"));
    setenv("TESSALY_COMMAND_INTERPRETER", (netsh->Root() + "/bin/missing").c_str(), 1);
    EXPECT_EQ(TessalyExecute(handle), TESSALY_START_FAILED);
    EXPECT_EQ(netsh->TempEntries(), StringList{});

    // No temporary directory.
    setenv("TESSALY_COMMAND_INTERPRETER", (netsh->Root() + "/bin/interpreter").c_str(), 1);
    setenv("TEMP", (netsh->Root() + "/gone").c_str(), 1);
    EXPECT_EQ(TessalyExecute(handle), TESSALY_NO_FILE);
    EXPECT_EQ(netsh->Calls().size(), 1u);
}

} // namespace
