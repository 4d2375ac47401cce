// unit-sim as a network peer: discovery, group and network requests, sessions, upgrades,
// the command line. Every test uses its own ports and 127.x addresses.
#include "protocol/broadcast_bodies.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace simtest {
namespace {

constexpr uint32_t kStationIp = Ip(127, 0, 0, 1);

// Ports of one test: broadcast, station and session port in a block of its own.
struct Ports {
    uint16_t broadcast;
    uint16_t station;
    uint16_t session;
    explicit Ports(uint16_t base)
        : broadcast(base), station(static_cast<uint16_t>(base + 1)),
          session(static_cast<uint16_t>(base + 2)) {}
    std::vector<std::string> Args() const {
        return {"--broadcast-port",      std::to_string(broadcast), "--station-port",
                std::to_string(station), "--session-port",          std::to_string(session)};
    }
};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The MAC the simulator gives unit k with its default prefix.
std::array<uint8_t, 6> MacOf(uint32_t k) {
    uint32_t serial = k + 1;
    return {0x02,
            0x52,
            0x56,
            static_cast<uint8_t>(serial >> 16),
            static_cast<uint8_t>(serial >> 8),
            static_cast<uint8_t>(serial)};
}

Bytes MacBody(uint32_t k) {
    auto mac = MacOf(k);
    return Bytes(mac.begin(), mac.end());
}

class UnitSimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = TempDir();
        log_ = dir_ + "/sim.jsonl";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
    std::string log_;
};

TEST_F(UnitSimTest, FiveHundredUnitsAnswerARangeDiscovery) {
    Ports ports(24010);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "500", "--first-ip", "127.0.0.2"}, ports.Args())));
    Station station(kStationIp, ports.station);
    ASSERT_TRUE(station.Ok());
    // 127.0.0.2 to 127.0.1.245: 500 addresses, across the carry into the third octet.
    // Replies are read while the queries go out, as the station's listener does.
    std::vector<Reply> replies;
    for (uint32_t ip = Ip(127, 0, 0, 2); ip <= Ip(127, 0, 1, 245); ++ip) {
        ASSERT_TRUE(station.Discover(ip, ports.broadcast));
        while (auto r = station.Receive(0)) {
            replies.push_back(*r);
        }
    }
    for (const Reply& r : station.Collect(500 - replies.size(), 2000)) {
        replies.push_back(r);
    }
    ASSERT_EQ(replies.size(), 500u);
    std::set<uint32_t> sources;
    std::set<Bytes> macs;
    for (const Reply& r : replies) {
        ASSERT_TRUE(r.opened);
        EXPECT_EQ(r.flags, 0x1D);
        EXPECT_EQ(r.sourceType, 0x20);
        EXPECT_EQ(r.envelopeIp, r.fromIp);
        ASSERT_EQ(r.payload.size(), 166u);
        EXPECT_EQ(r.payload[0], 1);
        EXPECT_EQ(r.payload[1], 2);
        sources.insert(r.fromIp);
        macs.insert(Bytes(r.payload.begin() + 2, r.payload.begin() + 8));
        // Unit k sits at first-ip + k and has MAC prefix + (k + 1).
        uint32_t k = r.fromIp - Ip(127, 0, 0, 2);
        EXPECT_EQ(Bytes(r.payload.begin() + 2, r.payload.begin() + 8), MacBody(k));
    }
    EXPECT_EQ(sources.size(), 500u);
    EXPECT_EQ(macs.size(), 500u);
    EXPECT_EQ(*sources.begin(), Ip(127, 0, 0, 2));
    EXPECT_EQ(*sources.rbegin(), Ip(127, 0, 1, 245));
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(UnitSimTest, DiscoveryReplyCarriesEveryField) {
    Ports ports(24020);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        Join({"--units", "2", "--first-ip", "127.0.2.254", "--group", "Row 4", "--sw", "3.19.2",
              "--secondaries", "3", "--mac-prefix", "0A:1B:2C", "--name", "pdu"},
             ports.Args())));
    Station station(kStationIp, ports.station);
    ASSERT_TRUE(station.Discover(Ip(127, 0, 2, 255), ports.broadcast));
    auto r = station.Receive(2000);
    ASSERT_TRUE(r && r->opened);
    const Bytes& p = r->payload;
    ASSERT_EQ(p.size(), 166u);
    EXPECT_EQ(r->fromIp, Ip(127, 0, 2, 255));
    EXPECT_EQ(Bytes(p.begin() + 2, p.begin() + 8), (Bytes{0x0A, 0x1B, 0x2C, 0, 0, 2}));
    EXPECT_EQ(GetText(&p[8]), u"pdu0002");
    EXPECT_EQ(GetText(&p[72]), u"Row 4");
    EXPECT_EQ(Bytes(p.begin() + 136, p.begin() + 144),
              (Bytes{0x12, 'S', 'I', 'M', 'U', '0', '0', '1'}));
    EXPECT_EQ(Bytes(p.begin() + 144, p.begin() + 147), (Bytes{3, 19, 2}));
    EXPECT_EQ(p[148], 2);                                                    // hardware revision
    EXPECT_EQ(Bytes(p.begin() + 149, p.begin() + 152), (Bytes{4, 19, 5}));   // kernel
    EXPECT_EQ(Bytes(p.begin() + 153, p.begin() + 157), (Bytes{0, 1, 6, 2})); // filesystem
    EXPECT_EQ(Bytes(p.begin() + 157, p.begin() + 161), (Bytes{0, 0, 0, 3})); // patch
    EXPECT_EQ(p[161], 3);                                                    // secondaries
    EXPECT_EQ(Bytes(p.begin() + 162, p.begin() + 166), (Bytes{0, 1, 0, 2})); // bootloader
    // The station's decoder reads the same.
    DiscoveryReply d{};
    ASSERT_TRUE(DecodeDiscoveryReply(p.data(), p.size(), r->sourceType, d));
    EXPECT_EQ(std::u16string(d.deviceName), u"pdu0002");
    EXPECT_EQ(std::u16string(d.groupName), u"Row 4");
    EXPECT_EQ(Bytes(d.filesysVersion, d.filesysVersion + 3), (Bytes{1, 6, 2}));
    EXPECT_EQ(d.secondaryCount, 3);
    EXPECT_EQ(d.bootloaderRevision, 0x00010002u);
}

TEST_F(UnitSimTest, GroupAndNetInfoReachOnlyTheUnitWithThatMac) {
    Ports ports(24030);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "6", "--first-ip", "127.0.3.10", "--group", "G",
                                "--password", "secret", "--log", log_},
                               ports.Args())));
    Station station(kStationIp, ports.station);
    // Sent to the subnet broadcast, so that every unit sees the request.
    ASSERT_TRUE(station.GetGroupInfo(Ip(127, 0, 3, 255), ports.broadcast, MacBody(3)));
    std::vector<Reply> replies = station.Collect(6, 700);
    ASSERT_EQ(replies.size(), 1u);
    const Reply& g = replies[0];
    EXPECT_EQ(g.fromIp, Ip(127, 0, 3, 13));
    ASSERT_TRUE(g.opened);
    GroupInfoReply decoded{};
    ASSERT_TRUE(DecodeGroupInfoReply(g.payload.data(), g.payload.size(), decoded));
    EXPECT_EQ(std::u16string(decoded.groupPassword), u"secret");
    ASSERT_EQ(g.payload.size(), 208u);
    EXPECT_EQ(g.payload[1], 6);
    EXPECT_EQ(Bytes(g.payload.begin() + 2, g.payload.begin() + 8), MacBody(3));
    EXPECT_EQ(GetText(&g.payload[8]), u"unit0004");
    EXPECT_EQ(GetText(&g.payload[72]), u"G");
    EXPECT_EQ(GetText(&g.payload[136]), u"secret");
    EXPECT_EQ(g.payload[200], 0x12);
    // Every unit saw it; one took it.
    EXPECT_EQ(LinesWith(log_, {"\"request\":\"group-info\""}).size(), 6u);
    EXPECT_EQ(LinesWith(log_, {"\"request\":\"group-info\"", "\"forThisUnit\":true"}).size(), 1u);

    ASSERT_TRUE(station.GetNetInfo(Ip(127, 0, 3, 255), ports.broadcast, MacBody(5)));
    replies = station.Collect(6, 700);
    ASSERT_EQ(replies.size(), 1u);
    const Bytes& n = replies[0].payload;
    ASSERT_EQ(n.size(), 42u);
    EXPECT_EQ(n[1], 3);
    EXPECT_EQ(Bytes(n.begin() + 2, n.begin() + 8), MacBody(5));
    EXPECT_EQ(Bytes(n.begin() + 8, n.begin() + 10), (Bytes{24030 >> 8, 24030 & 0xFF}));
    EXPECT_EQ(Bytes(n.begin() + 14, n.begin() + 18), (Bytes{127, 0, 3, 15}));
    EXPECT_EQ(Bytes(n.begin() + 18, n.begin() + 22), (Bytes{255, 255, 255, 0}));
}

TEST_F(UnitSimTest, SetNetworkIsReportedByNetInfo) {
    Ports ports(24040);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "2", "--first-ip", "127.0.4.1"}, ports.Args())));
    Station station(kStationIp, ports.station);
    NetworkSettings settings{
        2003,          2002,           0x0105,         {10, 1, 2, 3}, {255, 255, 0, 0},
        {10, 1, 0, 1}, {10, 1, 0, 53}, {10, 1, 0, 54}, {0, 0, 0, 0},  {10, 1, 0, 9}};
    ASSERT_TRUE(station.SetNetInfo(Ip(127, 0, 4, 2), ports.broadcast, MacBody(1), settings));
    EXPECT_FALSE(station.Receive(300)); // no answer to a set-network request
    ASSERT_TRUE(station.GetNetInfo(Ip(127, 0, 4, 2), ports.broadcast, MacBody(1)));
    auto r = station.Receive(2000);
    ASSERT_TRUE(r && r->opened);
    uint8_t body[kNetworkBodySize];
    EncodeNetworkBody(MacBody(1).data(), settings, body);
    EXPECT_EQ(Bytes(r->payload.begin() + 2, r->payload.end()), Bytes(body, body + sizeof body));
    NetInfoReply decoded{};
    ASSERT_TRUE(DecodeNetInfoReply(r->payload.data(), r->payload.size(), decoded));
    EXPECT_EQ(decoded.settings.options, 0x0105);
    EXPECT_EQ(Bytes(decoded.settings.stationIp, decoded.settings.stationIp + 4),
              (Bytes{10, 1, 0, 9}));
}

TEST_F(UnitSimTest, SetGroupChangesTheGroupAndThePasswordOfLogin) {
    Ports ports(24050);
    SimProcess sim;
    ASSERT_TRUE(
        sim.Start(Join({"--units", "3", "--first-ip", "127.0.5.1", "--log", log_}, ports.Args())));
    Station station(kStationIp, ports.station);
    auto mac = MacOf(1);
    // To everybody, as a test pass without the range bit does; only unit 1 takes it.
    ASSERT_TRUE(station.SetGroupInfo(Ip(127, 0, 5, 255), ports.broadcast, MacBody(1), u"Floor2",
                                     u"Rack 7 left", u"n3w-pass"));
    EXPECT_FALSE(station.Receive(300));

    for (uint32_t k : {0u, 1u}) {
        ASSERT_TRUE(station.Discover(Ip(127, 0, 5, 1) + k, ports.broadcast));
        auto r = station.Receive(2000);
        ASSERT_TRUE(r && r->opened);
        DiscoveryReply d{};
        ASSERT_TRUE(DecodeDiscoveryReply(r->payload.data(), r->payload.size(), r->sourceType, d));
        EXPECT_EQ(std::u16string(d.groupName), k == 1 ? u"Floor2" : u"");
        EXPECT_EQ(std::u16string(d.deviceName), k == 1 ? u"Rack 7 left" : u"unit0001");
    }
    ASSERT_TRUE(station.GetGroupInfo(Ip(127, 0, 5, 2), ports.broadcast, MacBody(1)));
    auto g = station.Receive(2000);
    ASSERT_TRUE(g && g->opened);
    GroupInfoReply group{};
    ASSERT_TRUE(DecodeGroupInfoReply(g->payload.data(), g->payload.size(), group));
    EXPECT_EQ(std::u16string(group.groupName), u"Floor2");
    EXPECT_EQ(std::u16string(group.groupPassword), u"n3w-pass");

    for (auto [password, status] :
         {std::pair{u"", 0xAA}, std::pair{u"n3w-pass", 0x55}, std::pair{u"n3w-pas", 0xAA}}) {
        SessionClient session(kStationIp, mac.data());
        ASSERT_TRUE(session.Connect(Ip(127, 0, 5, 2), ports.session));
        auto login = session.GreetAndLogin(password);
        ASSERT_TRUE(login);
        EXPECT_EQ(*login, (Bytes{4, 0, static_cast<uint8_t>(status)}));
    }
    EXPECT_EQ(LinesWith(log_, {"\"request\":\"set-group\"", "\"forThisUnit\":true",
                               "\"group\":\"Floor2\"", "\"password\":\"n3w-pass\""})
                  .size(),
              1u);
}

TEST_F(UnitSimTest, SessionAnswersStateConfigurationAndCommands) {
    Ports ports(24060);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "1", "--first-ip", "127.0.6.1", "--password", "pw",
                                "--secondaries", "2", "--log", log_},
                               ports.Args())));
    auto mac = MacOf(0);
    SessionClient session(kStationIp, mac.data());
    ASSERT_TRUE(session.Connect(Ip(127, 0, 6, 1), ports.session));
    ASSERT_EQ(session.GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));

    // Package attributes: map, kernel, file system, patch, file name, bootloader.
    auto package = session.Exchange(8, 14, Be32(0));
    ASSERT_TRUE(package);
    const Bytes& a = *package;
    ASSERT_GE(a.size(), 2u + 13u);
    EXPECT_EQ(a[0], 8);
    EXPECT_EQ(a[1], 14);
    Bytes answer(a.begin() + 2, a.end());
    std::string file = "tevpack-3.18.4.bin";
    ASSERT_EQ(answer.size(),
              13 + file.size() + 1 + 4 + std::string("tevblpack-1.2.bin").size() + 1);
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(Bytes(answer.begin() + 2, answer.begin() + 5), (Bytes{4, 19, 5}));
    EXPECT_EQ(Bytes(answer.begin() + 6, answer.begin() + 9), (Bytes{1, 6, 2}));
    EXPECT_EQ(Bytes(answer.begin() + 10, answer.begin() + 13), (Bytes{0, 0, 3}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&answer[13])), file);
    size_t l = file.size();
    EXPECT_EQ(Bytes(answer.begin() + static_cast<long>(l + 14),
                    answer.begin() + static_cast<long>(l + 18)),
              (Bytes{0, 1, 0, 2}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&answer[l + 18])), "tevblpack-1.2.bin");

    // Secondaries: the id list, then versions, model and name of each.
    auto list = session.Exchange(8, 12, Be32(0));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u + 12u);
    uint32_t id = static_cast<uint32_t>((*list)[10]) << 24 | (*list)[11] << 16 | (*list)[12] << 8 |
                  (*list)[13];
    auto versions = session.Exchange(8, 6, Be32(id));
    ASSERT_TRUE(versions);
    ASSERT_EQ(versions->size(), 2u + 20u);
    EXPECT_EQ(Bytes(versions->begin() + 2, versions->begin() + 5), (Bytes{3, 18, 4}));
    EXPECT_EQ(Bytes(versions->begin() + 18, versions->end()), (Bytes{0, 1, 0, 2}));
    auto model = session.Exchange(8, 9, Be32(id));
    ASSERT_TRUE(model);
    EXPECT_GE(model->size(), 2u + 11u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(model->data() + 2)), "P1-2SIMU-0S1");
    auto name = session.Exchange(10, 17, Be32(id));
    ASSERT_TRUE(name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name->data() + 2)), "unit0001-s2");
    // An id the unit does not have, and a request it does not know, are refused.
    EXPECT_EQ(session.Exchange(8, 6, Be32(12345)), (Bytes{8, 6, 0xAA}));
    EXPECT_EQ(session.Exchange(9, 33, {1, 2}), (Bytes{9, 33, 0xAA}));

    Bytes data{0, 0, 0, 0, 0x95, 0x13, 0x24, 0x08, 2, 1};
    EXPECT_EQ(session.Exchange(0x21, 16, data), (Bytes{0x21, 16, 0x55}));
    EXPECT_EQ(session.Exchange(0x21, 16, {0, 0, 0, 0, 1, 2, 3, 4, 5}), (Bytes{0x21, 16, 0xAA}));

    EXPECT_EQ(session.Exchange(3, 0, {}), (Bytes{3, 0, 0x55}));
    EXPECT_FALSE(session.ReadFrame(500));
    EXPECT_TRUE(session.Closed());
    EXPECT_EQ(LinesWith(log_, {"\"dir\":\"request\"", "\"command\":8", "\"tag\":6"}).size(), 2u);
}

TEST_F(UnitSimTest, RequestsBeforeLoginAreRefused) {
    Ports ports(24070);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "1", "--first-ip", "127.0.7.1"}, ports.Args())));
    auto mac = MacOf(0);
    SessionClient session(kStationIp, mac.data());
    ASSERT_TRUE(session.Connect(Ip(127, 0, 7, 1), ports.session));
    ASSERT_TRUE(session.ReadFrame(2000));
    EXPECT_EQ(session.Exchange(0x21, 13, {0, 0, 0, 0, 'u', 's', 'b', 0}), (Bytes{0x21, 13, 0xAA}));
    // A login body of the wrong length is refused even with the right (empty) password.
    EXPECT_EQ(session.Exchange(4, 0, Bytes(70, 0)), (Bytes{4, 0, 0xAA}));
    EXPECT_EQ(session.Exchange(4, 0, Bytes(73, 0)), (Bytes{4, 0, 0x55}));
}

TEST_F(UnitSimTest, UpgradeIsLoggedWithItsTextAndInstalledLater) {
    Ports ports(24080);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(Join({"--units", "2", "--first-ip", "127.0.8.1", "--group", "G",
                                "--password", "pw", "--install-after", "300", "--log", log_},
                               ports.Args())));
    auto mac = MacOf(1);
    const std::string text = "force url http://198.51.100.9/fw/tevpack-3.19.7.bin";
    {
        SessionClient session(kStationIp, mac.data());
        ASSERT_TRUE(session.Connect(Ip(127, 0, 8, 2), ports.session));
        ASSERT_EQ(session.GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
        Bytes body{0, 0, 0, 0};
        body.insert(body.end(), text.begin(), text.end());
        body.push_back(0);
        EXPECT_EQ(session.Exchange(0x21, 13, body), (Bytes{0x21, 13, 0x55}));
        // Not a command a unit knows: refused.
        EXPECT_EQ(session.Exchange(0x21, 13, {0, 0, 0, 0, 'f', 't', 'p', 0}),
                  (Bytes{0x21, 13, 0xAA}));
    }
    auto upgrades = LinesWith(log_, {"\"upgrade\":\"" + text + "\"", "\"method\":\"url\"",
                                     "\"option\":\"force\"", "\"unit\":1"});
    EXPECT_EQ(upgrades.size(), 1u);

    Station station(kStationIp, ports.station);
    ASSERT_TRUE(station.Discover(Ip(127, 0, 8, 2), ports.broadcast));
    auto before = station.Receive(2000);
    ASSERT_TRUE(before && before->opened);
    EXPECT_EQ(Bytes(before->payload.begin() + 144, before->payload.begin() + 147),
              (Bytes{3, 18, 4}));

    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    for (uint32_t k : {0u, 1u}) {
        ASSERT_TRUE(station.Discover(Ip(127, 0, 8, 1) + k, ports.broadcast));
        auto after = station.Receive(2000);
        ASSERT_TRUE(after && after->opened);
        const Bytes& p = after->payload;
        EXPECT_EQ(Bytes(p.begin() + 144, p.begin() + 147),
                  k == 1 ? (Bytes{3, 19, 7}) : (Bytes{3, 18, 4}));
        EXPECT_EQ(Bytes(p.begin() + 149, p.begin() + 152),
                  k == 1 ? (Bytes{4, 19, 6}) : (Bytes{4, 19, 5}));
    }
    SessionClient session(kStationIp, mac.data());
    ASSERT_TRUE(session.Connect(Ip(127, 0, 8, 2), ports.session));
    ASSERT_EQ(session.GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    auto package = session.Exchange(8, 14, Be32(0));
    ASSERT_TRUE(package);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(package->data() + 2 + 13)),
              "tevpack-3.19.7.bin");
}

TEST_F(UnitSimTest, TestOnlyUpgradeIsAcceptedButNotInstalled) {
    Ports ports(24090);
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        Join({"--units", "1", "--first-ip", "127.0.9.1", "--install-after", "0", "--log", log_},
             ports.Args())));
    auto mac = MacOf(0);
    SessionClient session(kStationIp, mac.data());
    ASSERT_TRUE(session.Connect(Ip(127, 0, 9, 1), ports.session));
    ASSERT_EQ(session.GreetAndLogin(u""), (Bytes{4, 0, 0x55}));
    std::string text = " testonly tftp 127.0.0.1 tevpack-9.9.9.bin";
    Bytes body{0, 0, 0, 0};
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
    EXPECT_EQ(session.Exchange(0x21, 13, body), (Bytes{0x21, 13, 0x55}));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(LinesWith(log_, {"\"upgrade\":\"" + text + "\"", "\"testOnly\":true"}).size(), 1u);
    EXPECT_TRUE(LinesWith(log_, {"\"event\":\"installed\""}).empty());
}

TEST_F(UnitSimTest, ReplyFlagsSelectTheKeyTheStationOpensWith) {
    const uint8_t stationMac[6] = {0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
    struct Case {
        const char* flags;
        uint8_t expected;
    };
    uint16_t base = 24100;
    for (Case c : {Case{"0x1D", 0x1D}, Case{"0x11", 0x11}, Case{"0x15", 0x15}, Case{"0x19", 0x19},
                   Case{"0x7D", 0x7D}, Case{"0x1C", 0x1C}}) {
        SCOPED_TRACE(c.flags);
        Ports ports(base);
        base = static_cast<uint16_t>(base + 3);
        SimProcess sim;
        ASSERT_TRUE(sim.Start(Join({"--units", "1", "--first-ip", "127.0.10.1", "--group", "Row 9",
                                    "--reply-flags", c.flags, "--station-mac", "00:1B:2C:3D:4E:5F"},
                                   ports.Args())));
        Station station(kStationIp, ports.station);
        ASSERT_TRUE(station.Discover(Ip(127, 0, 10, 1), ports.broadcast));
        auto r = station.Receive(2000, stationMac, u"Row 9");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->flags, c.expected);
        ASSERT_TRUE(r->opened);
        EXPECT_EQ(r->payload.size(), 166u);
        // The wrong key material does not open it (plain replies need none).
        ASSERT_TRUE(station.Discover(Ip(127, 0, 10, 1), ports.broadcast));
        const uint8_t otherMac[6] = {1, 2, 3, 4, 5, 6};
        auto wrong = station.Receive(2000, otherMac, u"Row 8");
        ASSERT_TRUE(wrong);
        bool keyed = (c.expected & 0x0C) == 0x00 || (c.expected & 0x0C) == 0x04;
        EXPECT_EQ(wrong->opened, !keyed || (c.expected & 0x03) == 0);
    }
}

TEST_F(UnitSimTest, CommandLineHelpAndErrors) {
    std::string out;
    EXPECT_EQ(RunSim({"--help"}, &out), 0);
    for (const char* option : {"--units", "--first-ip", "--mac-prefix", "--broadcast-port",
                               "--station-port", "--session-port", "--group", "--password", "--sw",
                               "--secondaries", "--install-after", "--fault", "--log"}) {
        EXPECT_NE(out.find(option), std::string::npos) << option;
    }
    for (std::vector<std::string> bad :
         {std::vector<std::string>{"--units", "0"},
          {"--first-ip", "127.0.0"},
          {"--sw", "1.2"},
          {"--fault", "sleepy"},
          {"--fault", "silent:5-2"},
          {"--mac-prefix", "02:52"},
          {"--units"},
          {"--units", "3", "--first-ip", "255.255.255.254"},
          {"--reply-flags", "0x1E"},
          {"--group", "a group name that is far too long for units"}}) {
        EXPECT_EQ(RunSim(bad, &out), 2) << bad[0];
    }
}

TEST_F(UnitSimTest, EndsCleanlyOnInterruptAndTermination) {
    for (int signal : {2, 15}) {
        Ports ports(static_cast<uint16_t>(24130 + signal));
        SimProcess sim;
        ASSERT_TRUE(sim.Start(Join({"--units", "20", "--first-ip", "127.0.11.1"}, ports.Args())));
        auto mac = MacOf(0);
        SessionClient open(kStationIp, mac.data()); // a session still open at the end
        ASSERT_TRUE(open.Connect(Ip(127, 0, 11, 1), ports.session));
        EXPECT_EQ(sim.Stop(signal), 0);
    }
}

TEST_F(UnitSimTest, AnAddressTakenElsewhereFailsTheStart) {
    Ports ports(24150);
    SimProcess first;
    ASSERT_TRUE(first.Start(Join({"--units", "2", "--first-ip", "127.0.12.1"}, ports.Args())));
    std::string out;
    EXPECT_EQ(RunSim(Join({"--units", "2", "--first-ip", "127.0.12.2"}, ports.Args()), &out), 1);
    EXPECT_EQ(out.find("ready"), std::string::npos);
}

} // namespace
} // namespace simtest
