#include "platform/socket.h"
#include "protocol/broadcast.h"
#include "protocol/crc16.h"
#include "protocol/log_capture.h"
#include "protocol/packet.h"

#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const uint8_t kStationIp[4] = {198, 51, 100, 10};
const uint8_t kLoopback[4] = {127, 0, 0, 1};
const uint8_t kUnitMac[6] = {0x00, 0x1b, 0x2c, 0xa1, 0xb2, 0xc3};
const char16_t kGroup[] = u"Lab Group";
constexpr uint8_t kFlags = 0x2D; // what the station sends: unit type, fixed key, AES

// A UDP socket on loopback standing in for the unit; it opens what it receives the way
// a unit would (a unit accepts packets addressed to its own type).
class UnitSide : public testing::Test {
  protected:
    void SetUp() override {
        int error = 0;
        socket_ = platform::OpenUdpSocket(&error);
        ASSERT_EQ(platform::Bind(socket_, platform::Endpoint{{127, 0, 0, 1}, 0}), 0);
        platform::Endpoint at{};
        ASSERT_EQ(platform::LocalEndpoint(socket_, &at), 0);
        port_ = at.port;
        ASSERT_EQ(platform::SetNonBlocking(socket_, true), 0);
    }

    std::vector<uint8_t> Receive(int timeoutMs = 2000) {
        std::vector<uint8_t> datagram(4096);
        if (platform::WaitReadable(socket_, timeoutMs) != platform::SocketWait::Ready) {
            return {};
        }
        size_t received = 0;
        if (platform::ReceiveFrom(socket_, datagram.data(), datagram.size(), &received, nullptr) !=
            0) {
            return {};
        }
        datagram.resize(received);
        return datagram;
    }

    // Re-addresses the packet to every type (as a unit's own check would pass it), then
    // opens it. Returns the plaintext payload, empty when refused.
    static std::vector<uint8_t> Open(std::vector<uint8_t> packet, const char16_t* name = kGroup,
                                     const uint8_t* mac = kUnitMac) {
        if (packet.size() < 16) {
            return {};
        }
        packet[2] = static_cast<uint8_t>((packet[2] & ~kTypeMask) | kTypeEvery);
        const size_t length = static_cast<size_t>((packet[14] << 8) | packet[15]);
        if (packet.size() < 16 + length) {
            return {};
        }
        const uint16_t crc = Crc16(packet.data() + 2, length + 14);
        packet[0] = static_cast<uint8_t>(crc & 0xFF);
        packet[1] = static_cast<uint8_t>(crc >> 8);
        uint16_t payloadLength = 0;
        const size_t offset =
            ParsePacket(packet.data(), packet.size(), mac, name, nullptr, &payloadLength);
        if (offset == 0) {
            return {};
        }
        return std::vector<uint8_t>(packet.begin() + static_cast<long>(offset),
                                    packet.begin() + static_cast<long>(offset + payloadLength));
    }

    platform::Socket socket_;
    uint16_t port_ = 0;
};

TEST_F(UnitSide, GroupAndNetInfoRequestsCarryTheMac) {
    struct Case {
        int (*send)(uint16_t, const uint8_t*, const uint8_t*, const uint8_t*, const char16_t*,
                    uint8_t);
        uint8_t subCommand;
        const char16_t* entryText;
    } cases[] = {
        {&SendBroadcastGetGroupInfo, 6, u"SendBroadcastGetGroupInfo()\n"},
        {&SendBroadcastGetNetInfo, 3, u"SendBroadcastGetNetInfo()\n"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        ASSERT_EQ(c.send(port_, kStationIp, kLoopback, kUnitMac, kGroup, kFlags), 0);
        const std::vector<uint8_t> datagram = Receive();
        // P = 8, one block: 16 + 6 + 16 bytes.
        ASSERT_EQ(datagram.size(), 38u);
        EXPECT_EQ(datagram[2], kFlags);
        EXPECT_EQ(datagram[3], 0x10);
        EXPECT_EQ(std::memcmp(datagram.data() + 4, kStationIp, 4), 0);
        const std::vector<uint8_t> payload = Open(datagram);
        const std::vector<uint8_t> expected = {1, c.subCommand, 0x00, 0x1b, 0x2c, 0xa1, 0xb2, 0xc3};
        EXPECT_EQ(payload, expected);
        const auto entries = log.Entries();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0].text, c.entryText);
        EXPECT_EQ(entries[0].level, kLogEntry);
        EXPECT_EQ(entries[1].text, u"broadcast is done.\n");
        EXPECT_EQ(entries[2].level, kLogTrace);
        EXPECT_EQ(entries[2].text,
                  c.subCommand == 6 ? u"broadcasted: scmd=0x6\n" : u"broadcasted: scmd=0x3\n");
    }
}

TEST_F(UnitSide, SetNetInfoSendsTheFortyByteBody) {
    LogCapture log;
    const NetworkSettings settings{2001,           2002,          0xA55A,        {10, 0, 0, 5},
                                   {255, 0, 0, 0}, {10, 0, 0, 1}, {10, 0, 0, 2}, {10, 0, 0, 3},
                                   {10, 0, 0, 4},  {10, 0, 0, 9}};
    ASSERT_EQ(
        SendBroadcastSetNetInfo(port_, kStationIp, kLoopback, kUnitMac, kGroup, kFlags, settings),
        0);
    const std::vector<uint8_t> payload = Open(Receive());
    const std::vector<uint8_t> expected = {
        1,    4,                                               // command, SetNetInfo
        0x00, 0x1b, 0x2c, 0xa1, 0xb2, 0xc3,                    // MAC
        0x07, 0xD1, 0x07, 0xD2, 0xA5, 0x5A,                    // ports, options
        10,   0,    0,    5,    255,  0,    0, 0, 10, 0, 0, 1, // unit, mask, gateway
        10,   0,    0,    2,    10,   0,    0, 3, 10, 0, 0, 4, // DNS 1-3
        10,   0,    0,    9};                                  // station
    EXPECT_EQ(payload, expected);
    EXPECT_TRUE(log.Contains(u"SendBroadcastSetNetInfo()\n", kLogEntry));
}

TEST_F(UnitSide, SetGroupInfoCopiesSixtyThreeBytesOfEachTextAndKeysWithTheGroup) {
    LogCapture log;
    char16_t deviceName[32];
    for (int i = 0; i < 32; ++i) {
        deviceName[i] = static_cast<char16_t>(0x4100 + 'a' + i); // high byte 0x41
    }
    const uint8_t flags = kTypeUnit | kKeyFromName | kCipherAes;
    ASSERT_EQ(SendBroadcastSetGroupInfo(port_, kStationIp, kLoopback, kUnitMac, kGroup, flags,
                                        deviceName, u"secret"),
              0);
    const std::vector<uint8_t> datagram = Receive();
    // P = 200: 13 blocks, L = 214.
    ASSERT_EQ(datagram.size(), 230u);
    EXPECT_TRUE(Open(datagram, u"Other Group").empty());
    const std::vector<uint8_t> payload = Open(datagram);
    ASSERT_EQ(payload.size(), 200u);
    EXPECT_EQ(payload[1], 5);
    const uint8_t* body = payload.data() + 2;
    EXPECT_EQ(std::memcmp(body, kUnitMac, 6), 0);
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(body[6 + 2 * i], 'a' + i);
        EXPECT_EQ(body[6 + 2 * i + 1], 0x41);
    }
    EXPECT_EQ(body[6 + 62], 'a' + 31); // low byte of the 32nd character
    EXPECT_EQ(body[6 + 63], 0);
    EXPECT_EQ(body[70], 'L');
    EXPECT_EQ(body[70 + 2 * 8], 'p');
    EXPECT_EQ(body[70 + 2 * 9], 0);
    EXPECT_EQ(body[134], 's');
    EXPECT_EQ(body[134 + 63], 0);
    // This sender writes no entry text of its own.
    EXPECT_EQ(log.Entries().size(), 2u);
}

TEST_F(UnitSide, DiscoveryQueryAndActionRequests) {
    LogCapture log;
    ASSERT_EQ(SendBroadcastToloQuery(port_, kStationIp, kLoopback, kUnitMac, kGroup, kFlags), 0);
    const std::vector<uint8_t> query = Receive();
    ASSERT_EQ(query.size(), 38u);
    EXPECT_EQ(query[19] & 0x0F, 2);
    EXPECT_EQ(Open(query), (std::vector<uint8_t>{1, 1}));
    EXPECT_TRUE(log.Contains(u"SendBroadcastToloQuery()\n", kLogEntry));

    // Action requests key a name selector with the empty name: eight zero bytes.
    const uint8_t body[3] = {7, 8, 9};
    ASSERT_EQ(SendTalkBroadcast(port_, kStationIp, kLoopback, kUnitMac,
                                kTypeUnit | kKeyFromName | kCipherAes, 0x42, body, 3),
              0);
    const std::vector<uint8_t> action = Receive();
    EXPECT_TRUE(Open(action, kGroup).empty());
    EXPECT_EQ(Open(action, u""), (std::vector<uint8_t>{1, 0x42, 7, 8, 9}));
    EXPECT_TRUE(log.Contains(u"broadcasted: scmd=0x42\n"));
}

TEST_F(UnitSide, PacketThatDoesNotFitIsRefusedAndNothingIsSent) {
    LogCapture log;
    const std::vector<uint8_t> body(300, 1);
    EXPECT_EQ(SendTalkBroadcast(port_, kStationIp, kLoopback, kUnitMac, kFlags, 9, body.data(),
                                body.size()),
              -1);
    EXPECT_TRUE(log.Contains(u"broadcast failed, illegal encrypted size.\n", kLogError));
    EXPECT_TRUE(Receive(100).empty());
    // The largest body that fits the 260 bytes: P = 240, 15 blocks, 262... one less.
    EXPECT_EQ(
        SendTalkBroadcast(port_, kStationIp, kLoopback, kUnitMac, kFlags, 9, body.data(), 222), 0);
    EXPECT_EQ(Receive().size(), 16u + 6u + 224u);
    EXPECT_EQ(
        SendTalkBroadcast(port_, kStationIp, kLoopback, kUnitMac, kFlags, 9, body.data(), 223), -1);
}

size_t OpenDescriptors() {
    size_t count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dir && readdir(dir)) {
        ++count;
    }
    if (dir) {
        closedir(dir);
    }
    return count;
}

TEST_F(UnitSide, FailedSendIsReportedAndNoSocketIsLeft) {
    const size_t before = OpenDescriptors();
    {
        LogCapture log;
        // Port 0 cannot be sent to.
        EXPECT_EQ(SendBroadcastToloQuery(0, kStationIp, kLoopback, kUnitMac, kGroup, kFlags), -1);
        ASSERT_EQ(log.Entries().size(), 2u);
        EXPECT_EQ(log.Entries()[1].level, kLogError);
        EXPECT_EQ(log.Entries()[1].text.rfind(u"Failed to broadcast data! errno = ", 0), 0u);
    }
    const std::vector<uint8_t> big(400);
    for (int i = 0; i < 20; ++i) {
        SendBroadcastToloQuery(port_, kStationIp, kLoopback, kUnitMac, kGroup, kFlags);
        SendTalkBroadcast(port_, kStationIp, kLoopback, kUnitMac, kFlags, 1, big.data(), 400);
        Receive(100);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(Broadcast, SocketThatCannotBeOpenedIsReported) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LogCapture log;
        // One message first, so the sanitizers' run-time checks of the sink call have
        // what they need before descriptors run out.
        LogMessage(kLogTrace, u"child\n");
        // Every descriptor from 3 on is out of reach, so the socket cannot be made.
        const rlimit limit{3, 3};
        setrlimit(RLIMIT_NOFILE, &limit);
        const int result =
            SendBroadcastToloQuery(2003, kStationIp, kLoopback, kUnitMac, kGroup, kFlags);
        const bool logged =
            log.Contains(u"Failed to open socket for broadcasting!, error 24\n", kLogError);
        _exit(result == -1 && logged ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
