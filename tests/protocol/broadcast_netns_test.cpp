// Real broadcasts between two network namespaces that the test makes itself, joined by a
// veth pair on 198.51.100.0/24; nothing reaches any other network.
#include "platform/socket.h"
#include "protocol/broadcast.h"
#include "protocol/log_capture.h"
#include "protocol/packet.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const uint8_t kStationIp[4] = {198, 51, 100, 1};
const uint8_t kUnitIp[4] = {198, 51, 100, 2};
const uint8_t kSubnetBroadcast[4] = {198, 51, 100, 255};
const uint8_t kLimitedBroadcast[4] = {255, 255, 255, 255};
const uint8_t kUnitMac[6] = {0x02, 0, 0, 0, 0, 2};
constexpr uint16_t kPort = 2003;

bool Shell(const std::string& command) {
    return std::system((command + " 2>&1").c_str()) == 0;
}

class TwoNamespaces : public testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0 || !Shell("ip -V >/dev/null")) {
            GTEST_SKIP() << "needs root and iproute2 to make network namespaces";
        }
        const std::string id = std::to_string(getpid());
        station_ = "ravelin-st-" + id;
        unit_ = "ravelin-un-" + id;
        made_ = Shell("ip netns add " + station_) && Shell("ip netns add " + unit_);
        ASSERT_TRUE(made_);
        ASSERT_TRUE(
            Shell("ip link add va netns " + station_ + " type veth peer name vb netns " + unit_));
        ASSERT_TRUE(Shell("ip -n " + station_ + " addr add 198.51.100.1/24 dev va"));
        ASSERT_TRUE(Shell("ip -n " + unit_ + " addr add 198.51.100.2/24 dev vb"));
        ASSERT_TRUE(Shell("ip -n " + station_ + " link set va up"));
        ASSERT_TRUE(Shell("ip -n " + unit_ + " link set vb up"));
        // The limited broadcast leaves by the default route.
        ASSERT_TRUE(Shell("ip -n " + station_ + " route add default dev va"));
    }

    void TearDown() override {
        if (made_) {
            Shell("ip netns del " + station_);
            Shell("ip netns del " + unit_);
        }
    }

    // Moves the calling thread into the named namespace (sockets it opens live there).
    static bool Enter(const std::string& name) {
        const int fd = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool entered = setns(fd, CLONE_NEWNET) == 0;
        close(fd);
        return entered;
    }

    std::string station_;
    std::string unit_;
    bool made_ = false;
};

struct Received {
    std::vector<uint8_t> bytes;
    platform::Endpoint from;
};

TEST_F(TwoNamespaces, BroadcastsReachTheUnitAndOnlyTheLimitedOneAsksPermission) {
    std::promise<bool> ready;
    std::future<bool> isReady = ready.get_future();
    std::vector<Received> received;
    std::thread unit([&] {
        if (!Enter(unit_)) {
            ready.set_value(false);
            return;
        }
        int error = 0;
        platform::Socket socket = platform::OpenUdpSocket(&error);
        const bool bound = platform::Bind(socket, platform::Endpoint{{0, 0, 0, 0}, kPort}) == 0 &&
                           platform::SetNonBlocking(socket, true) == 0;
        ready.set_value(bound);
        while (bound && received.size() < 3 &&
               platform::WaitReadable(socket, 3000) == platform::SocketWait::Ready) {
            Received r{std::vector<uint8_t>(2048), {}};
            size_t length = 0;
            if (platform::ReceiveFrom(socket, r.bytes.data(), r.bytes.size(), &length, &r.from) ==
                0) {
                r.bytes.resize(length);
                received.push_back(r);
            }
        }
    });
    ASSERT_TRUE(isReady.get());

    std::vector<int> results;
    int withoutPermission = 0;
    LogCapture log;
    std::thread station([&] {
        if (!Enter(station_)) {
            return;
        }
        // As on Windows, the limited broadcast is refused without the permission...
        int error = 0;
        platform::Socket bare = platform::OpenUdpSocket(&error);
        size_t sent = 0;
        withoutPermission =
            platform::SendTo(bare, "x", 1, platform::Endpoint{{255, 255, 255, 255}, kPort}, &sent);
        // ...so SendBroadcast asks for it there, and the other two go out without it.
        results.push_back(
            SendBroadcastToloQuery(kPort, kStationIp, kLimitedBroadcast, kUnitMac, u"", 0x2D));
        results.push_back(
            SendBroadcastToloQuery(kPort, kStationIp, kSubnetBroadcast, kUnitMac, u"", 0x2D));
        results.push_back(
            SendBroadcastGetGroupInfo(kPort, kStationIp, kUnitIp, kUnitMac, u"", 0x2D));
    });
    station.join();
    unit.join();

    EXPECT_EQ(withoutPermission, EACCES);
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(log.Count(u"broadcast is done.\n"), 3u);
    ASSERT_EQ(received.size(), 3u);
    for (const Received& r : received) {
        EXPECT_EQ(std::memcmp(r.from.ip, kStationIp, 4), 0);
        ASSERT_EQ(r.bytes.size(), 38u);
        EXPECT_EQ(r.bytes[2], 0x2D);
        EXPECT_EQ(std::memcmp(r.bytes.data() + 4, kStationIp, 4), 0);
    }
}

} // namespace
