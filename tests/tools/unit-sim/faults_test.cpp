// Every fault kind of unit-sim, each on unit 1 of three: unit 1 misbehaves as the kind
// says while unit 0 answers normally.
#include "protocol/broadcast_bodies.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace simtest {
namespace {

constexpr uint32_t kStationIp = Ip(127, 0, 0, 1);

struct Fleet {
    uint32_t firstIp;
    uint16_t broadcastPort;
    uint16_t stationPort;
    uint16_t sessionPort;
    uint32_t IpOf(uint32_t k) const { return firstIp + k; }
};

Bytes MacOf(uint32_t k) {
    return {0x02, 0x52, 0x56, 0, 0, static_cast<uint8_t>(k + 1)};
}

std::optional<Reply> Discover(Station& station, const Fleet& f, uint32_t k, int timeoutMs = 1500) {
    if (!station.Discover(f.IpOf(k), f.broadcastPort)) {
        return std::nullopt;
    }
    return station.Receive(timeoutMs);
}

// Connects to unit k and returns the session with its greeting read (when one came).
std::unique_ptr<SessionClient> Connect(const Fleet& f, uint32_t k) {
    Bytes mac = MacOf(k);
    auto session = std::make_unique<SessionClient>(kStationIp, mac.data());
    EXPECT_TRUE(session->Connect(f.IpOf(k), f.sessionPort));
    return session;
}

struct FaultCase {
    const char* name;
    std::string fault;
    // Checks unit `k`; `faulty` says whether it carries the fault.
    std::function<void(Station&, const Fleet&, uint32_t k, bool faulty)> check;
};

void SilentCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k, faulty ? 500 : 1500);
    EXPECT_EQ(r.has_value(), !faulty);
    // Silent also for requests naming it, and for the subnet broadcast.
    ASSERT_TRUE(s.GetGroupInfo(f.IpOf(k) | 0xFF, f.broadcastPort, MacOf(k)));
    EXPECT_EQ(s.Receive(faulty ? 500 : 1500).has_value(), !faulty);
}

void NoGreetingCheck(Station&, const Fleet& f, uint32_t k, bool faulty) {
    auto session = Connect(f, k);
    auto greeting = session->ReadFrame(faulty ? 700 : 2000);
    EXPECT_EQ(greeting.has_value(), !faulty);
    EXPECT_FALSE(session->Closed()); // the connection stays open, it just says nothing
}

void BadGreetingCheck(Station&, const Fleet& f, uint32_t k, bool faulty) {
    auto session = Connect(f, k);
    auto greeting = session->ReadFrame(2000);
    ASSERT_TRUE(greeting);
    auto payload = session->Open(*greeting);
    ASSERT_TRUE(payload && !payload->empty());
    EXPECT_EQ((*payload)[0] == 2, !faulty);
}

void LoginRefusedCheck(Station&, const Fleet& f, uint32_t k, bool faulty) {
    auto session = Connect(f, k);
    auto login = session->GreetAndLogin(u"pw");
    ASSERT_TRUE(login);
    EXPECT_EQ(*login, (Bytes{4, 0, static_cast<uint8_t>(faulty ? 0xAA : 0x55)}));
}

void DelayCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    // 600 ms late: nothing within 300 ms, then the reply.
    ASSERT_TRUE(s.Discover(f.IpOf(k), f.broadcastPort));
    EXPECT_EQ(s.Receive(300).has_value(), !faulty);
    if (faulty) {
        auto late = s.Receive(2000);
        ASSERT_TRUE(late && late->opened);
        auto session = Connect(f, k);
        ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
        ASSERT_TRUE(session->SendFrame(8, 12, Be32(0)));
        EXPECT_FALSE(session->ReadFrame(300));
        EXPECT_TRUE(session->ReadFrame(2000));
    }
}

void BadCrcCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rawSize, 16u + 6u + 16u * 11u);
    EXPECT_EQ(r->opened, !faulty);
    auto session = Connect(f, k);
    ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    ASSERT_TRUE(session->SendFrame(8, 14, Be32(0)));
    auto frame = session->ReadFrame(2000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(session->Open(*frame).has_value(), !faulty);
}

void WrongSubCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k);
    ASSERT_TRUE(r && r->opened);
    EXPECT_EQ(r->payload[1] == 2, !faulty);
    auto session = Connect(f, k);
    ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    auto answer = session->Exchange(8, 14, Be32(0));
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 8);
    EXPECT_EQ((*answer)[1] == 14, !faulty);
}

void OversizeCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->rawSize > 2048, faulty);
    auto session = Connect(f, k);
    ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    ASSERT_TRUE(session->SendFrame(8, 12, Be32(0)));
    auto frame = session->ReadFrame(2000);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size() > 2048, faulty);
}

void CloseAfterLoginCheck(Station&, const Fleet& f, uint32_t k, bool faulty) {
    auto session = Connect(f, k);
    ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    ASSERT_TRUE(session->SendFrame(8, 12, Be32(0)) || faulty);
    EXPECT_EQ(session->ReadFrame(1000).has_value(), !faulty);
    EXPECT_EQ(session->Closed(), faulty);
}

void ShortDiscoveryCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k);
    ASSERT_TRUE(r && r->opened);
    EXPECT_EQ(r->payload.size(), faulty ? 100u : 166u);
    // The station reads the MAC and device name and fills the rest.
    DiscoveryReply d{};
    ASSERT_TRUE(DecodeDiscoveryReply(r->payload.data(), r->payload.size(), r->sourceType, d));
    EXPECT_EQ(Bytes(d.mac, d.mac + 6), MacOf(k));
    EXPECT_EQ(std::u16string(d.deviceName), k == 0 ? u"unit0001" : u"unit0002");
    EXPECT_EQ(d.groupName[0], faulty ? kMissingGroupName : 0);
    EXPECT_EQ(d.swVersion[0], faulty ? 0 : 3);
    // The group-info reply is whole either way.
    ASSERT_TRUE(s.GetGroupInfo(f.IpOf(k), f.broadcastPort, MacOf(k)));
    auto g = s.Receive(1500);
    ASSERT_TRUE(g && g->opened);
    EXPECT_EQ(g->payload.size(), 208u);
}

void OldSoftwareCheck(Station& s, const Fleet& f, uint32_t k, bool faulty) {
    auto r = Discover(s, f, k);
    ASSERT_TRUE(r && r->opened);
    EXPECT_EQ(Bytes(r->payload.begin() + 144, r->payload.begin() + 147),
              faulty ? (Bytes{2, 17, 226}) : (Bytes{3, 18, 4}));
    auto session = Connect(f, k);
    ASSERT_EQ(session->GreetAndLogin(u"pw"), (Bytes{4, 0, 0x55}));
    auto package = session->Exchange(8, 14, Be32(0));
    ASSERT_TRUE(package);
    EXPECT_EQ(package->size() == 3, faulty); // the one-byte refusal
}

class FaultKinds : public ::testing::TestWithParam<int> {};

const std::vector<FaultCase>& Cases() {
    static const std::vector<FaultCase> cases{
        {"Silent", "silent:1", SilentCheck},
        {"NoGreeting", "no-greeting:1", NoGreetingCheck},
        {"BadGreeting", "bad-greeting:1", BadGreetingCheck},
        {"LoginRefused", "login-refused:1", LoginRefusedCheck},
        {"Delay", "delay=600:1", DelayCheck},
        {"BadCrc", "bad-crc:1", BadCrcCheck},
        {"WrongSub", "wrong-sub:1", WrongSubCheck},
        {"Oversize", "oversize:1", OversizeCheck},
        {"CloseAfterLogin", "close-after-login:1", CloseAfterLoginCheck},
        {"ShortDiscovery", "short-discovery=100:1", ShortDiscoveryCheck},
        {"OldSoftware", "old-sw:127.0.30.2", OldSoftwareCheck},
    };
    return cases;
}

TEST_P(FaultKinds, HitsOnlyTheNamedUnit) {
    const FaultCase& c = Cases()[static_cast<size_t>(GetParam())];
    auto slot = static_cast<uint16_t>(GetParam());
    Fleet f{Ip(127, 0, 30, 1) + 0x100u * slot, static_cast<uint16_t>(24200 + 3 * slot),
            static_cast<uint16_t>(24201 + 3 * slot), static_cast<uint16_t>(24202 + 3 * slot)};
    SimProcess sim;
    ASSERT_TRUE(sim.Start(
        {"--units", "3", "--first-ip", IpText(f.firstIp), "--password", "pw", "--broadcast-port",
         std::to_string(f.broadcastPort), "--station-port", std::to_string(f.stationPort),
         "--session-port", std::to_string(f.sessionPort), "--fault",
         // Address selections name the fleet's own second unit.
         c.fault.find("127.0.30.2") != std::string::npos ? "old-sw:" + IpText(f.firstIp + 1)
                                                         : c.fault}));
    Station station(kStationIp, f.stationPort);
    ASSERT_TRUE(station.Ok());
    for (uint32_t k : {0u, 1u}) {
        SCOPED_TRACE(k == 1 ? "faulty unit" : "sound unit");
        c.check(station, f, k, k == 1);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, FaultKinds,
                         ::testing::Range(0, static_cast<int>(Cases().size())),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return std::string(Cases()[static_cast<size_t>(param.param)].name);
                         });

TEST(FaultSelection, AFractionHitsThatShareOfTheFleetSpreadEvenly) {
    uint16_t base = 24260;
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--units", "10", "--first-ip", "127.0.50.1", "--broadcast-port",
                           std::to_string(base), "--station-port", std::to_string(base + 1),
                           "--session-port", std::to_string(base + 2), "--fault", "silent:30%",
                           "--fault", "old-sw:0,8-9"}));
    Station station(kStationIp, static_cast<uint16_t>(base + 1));
    for (uint32_t k = 0; k < 10; ++k) {
        ASSERT_TRUE(station.Discover(Ip(127, 0, 50, 1) + k, base));
    }
    std::vector<Reply> replies = station.Collect(10, 700);
    std::vector<uint32_t> answered;
    int old = 0;
    for (const Reply& r : replies) {
        answered.push_back(r.fromIp - Ip(127, 0, 50, 1));
        old += r.payload[145] == 17 && r.payload[146] == 226;
    }
    std::sort(answered.begin(), answered.end());
    // 30% of ten: units 3, 6 and 9 keep quiet.
    EXPECT_EQ(answered, (std::vector<uint32_t>{0, 1, 2, 4, 5, 7, 8}));
    EXPECT_EQ(old, 2); // units 0 and 8 (9 is silent)
}

} // namespace
} // namespace simtest
