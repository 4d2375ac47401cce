// The interface list, read from real links: each test runs in a network namespace of its
// own with three veth links (their peers in a second namespace), a tun link and loopback.
#include "tessaly/tessaly_api.h"
#include "tests/support/net_namespace.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// nic0: up, two addresses (the first is reported), alias "Office LAN".
// nic1: administratively down, one address with a /25 mask, a non-ASCII alias.
// nic2: up, no IPv4 address.
// tun0: an up tunnel with an address; never listed.
constexpr char kLinks[] = R"sh(set -e
mkdir -p /run/netns && mount -t tmpfs tmpfs /run/netns
ip netns add far
for i in 0 1 2; do ip link add nic$i type veth peer name peer$i netns far; done
ip link set nic0 address 02:00:5e:10:00:01
ip link set nic1 address 02:00:5e:10:00:02
ip link set nic2 address 02:00:5e:10:00:03
ip addr add 198.51.100.1/23 dev nic0
ip addr add 198.51.100.7/24 dev nic0
ip link set nic0 alias "Office LAN"
ip addr add 198.51.100.130/25 dev nic1
ip link set nic1 alias "Büro-Netz"
for i in 0 1 2; do ip -n far link set peer$i up; done
ip link set nic0 up
ip link set nic2 up
ip tuntap add mode tun name tun0
ip addr add 198.51.100.200/32 dev tun0
ip link set tun0 up
# The operational state follows the carrier a moment later.
for n in $(seq 100); do
  [ "$(cat /sys/class/net/nic0/operstate)" = up ] && [ "$(cat /sys/class/net/nic2/operstate)" = up ] && exit 0
  sleep 0.05
done
exit 1
)sh";

std::u16string Utf16(const uint16_t* units) {
    std::u16string text;
    while (*units) {
        text += static_cast<char16_t>(*units++);
    }
    return text;
}

std::array<uint8_t, 4> Bytes4(const uint8_t* p) {
    return {p[0], p[1], p[2], p[3]};
}

class NicList : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testns::InTestNamespace()) {
            return;
        }
        ASSERT_TRUE(testns::Shell(kLinks));
        ASSERT_EQ(TessalyInit(), TESSALY_OK);
    }
    void TearDown() override { TessalyQuit(); }
};

#define RUN_IN_OWN_NAMESPACE()                                                                     \
    if (!testns::InTestNamespace()) {                                                              \
        EXPECT_TRUE(testns::RerunInNewNamespace());                                                \
        return;                                                                                    \
    }

TEST_F(NicList, ListsEthernetLinksWithStateAddressesAndMasks) {
    RUN_IN_OWN_NAMESPACE();
    ASSERT_EQ(TessalyGetNICs(nullptr, 0), 3);

    std::vector<TessalyNic> records(3 + 16);
    ASSERT_EQ(TessalyGetNICs(records.data(), static_cast<uint16_t>(records.size())), 3);

    struct Expected {
        const char* name;
        uint8_t up;
        std::array<uint8_t, 6> mac;
        std::array<uint8_t, 4> ip;
        std::array<uint8_t, 4> mask;
        std::u16string friendlyName;
        std::string friendlyNameAnsi;
    };
    const Expected expected[] = {
        {"nic0",
         1,
         {2, 0, 0x5e, 0x10, 0, 1},
         {198, 51, 100, 1},
         {255, 255, 254, 0},
         u"Office LAN",
         "Office LAN"},
        {"nic1",
         0,
         {2, 0, 0x5e, 0x10, 0, 2},
         {198, 51, 100, 130},
         {255, 255, 255, 128},
         u"B\u00fcro-Netz",
         "B\xc3\xbcro-Netz"},
        {"nic2", 1, {2, 0, 0x5e, 0x10, 0, 3}, {0, 0, 0, 0}, {255, 255, 255, 0}, u"nic2", "nic2"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TessalyNic& nic = records[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(nic.adapterName, want.name);
        EXPECT_EQ(nic.upFlag, want.up);
        EXPECT_EQ(0, std::memcmp(nic.macAddress, want.mac.data(), 6));
        EXPECT_EQ(Bytes4(nic.ipAddress), want.ip);
        EXPECT_EQ(Bytes4(nic.subnetMask), want.mask);
        EXPECT_EQ(Utf16(nic.friendlyName), want.friendlyName);
        EXPECT_STREQ(nic.friendlyNameAnsi, want.friendlyNameAnsi.c_str());
        EXPECT_EQ(Utf16(nic.description), u"veth"); // the driver's name
    }
}

TEST_F(NicList, WritesOnlyTheRecordsThatFitAndStillCountsAll) {
    RUN_IN_OWN_NAMESPACE();
    std::vector<TessalyNic> records(3);
    std::memset(records.data(), 0xCD, records.size() * sizeof(TessalyNic));

    ASSERT_EQ(TessalyGetNICs(records.data(), 2), 3);
    EXPECT_STREQ(records[0].adapterName, "nic0");
    EXPECT_STREQ(records[1].adapterName, "nic1");
    EXPECT_EQ(Bytes4(records[1].subnetMask), (std::array<uint8_t, 4>{255, 255, 255, 128}));
    const std::vector<uint8_t> untouched(sizeof(TessalyNic), 0xCD);
    EXPECT_EQ(0, std::memcmp(&records[2], untouched.data(), untouched.size()));
}

TEST_F(NicList, LoopbackAndTunnelsAreNeverListed) {
    RUN_IN_OWN_NAMESPACE();
    // Loopback is up here, tun0 is up with an address: neither is listed.
    ASSERT_TRUE(testns::Shell("ip link set nic1 up && ip link set nic0 down"));
    std::vector<TessalyNic> records(19);
    const int count = TessalyGetNICs(records.data(), 19);
    ASSERT_EQ(count, 3);
    for (int i = 0; i < count; ++i) {
        EXPECT_STRNE(records[i].adapterName, "lo");
        EXPECT_STRNE(records[i].adapterName, "tun0");
    }
    EXPECT_EQ(records[0].upFlag, 0); // nic0 was just taken down
}

TEST(NicListState, RefusesEveryCallWithoutInit) {
    TessalyQuit();
    TessalyNic record{};
    EXPECT_EQ(TessalyGetNICs(nullptr, 0), TESSALY_NOT_AVAILABLE);
    EXPECT_EQ(TessalyGetNICs(&record, 1), TESSALY_NOT_AVAILABLE);

    ASSERT_EQ(TessalyInit(), TESSALY_OK);
    EXPECT_GE(TessalyGetNICs(nullptr, 0), 0);
    ASSERT_EQ(TessalyInit(), TESSALY_OK); // a second set-up replaces the first
    EXPECT_GE(TessalyGetNICs(nullptr, 0), 0);
    TessalyQuit();
    EXPECT_EQ(TessalyGetNICs(nullptr, 0), TESSALY_NOT_AVAILABLE);
}

} // namespace
