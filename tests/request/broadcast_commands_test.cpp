// The broadcast commands, end to end: a request goes through the dispatcher, the
// datagrams go out on real sockets and a receiving socket on loopback (or, for the
// limited broadcast, inside a namespace of the test's own) opens them again.
#include "protocol/crc16.h"
#include "protocol/log.h"
#include "protocol/log_capture.h"
#include "protocol/packet.h"
#include "request/discover_client.h"
#include "request/param_list.h"
#include "request/proc_api.h"
#include "request/thread_context.h"
#include "tests/request/udp_receiver.h"
#include "tests/support/net_namespace.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Address = std::array<uint8_t, 4>;

constexpr uint8_t kDeviceType = 0x2C;
constexpr uint8_t kFlags = 0x2D; // the device type with the context's cipher mode 1
constexpr Address kStation = {198, 51, 100, 10};

// One request exchange, freed at the end.
class Request {
  public:
    Request() : exchange_(ProcExchangeCreate()) {}
    ~Request() { ProcExchangeFree(exchange_); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    Request& Route(uint32_t route) { return Add(kValueUint32, kTagRoute, 4, &route); }
    Request& DeviceType(uint8_t type = kDeviceType) { return Add(kValueByte, 1, 1, &type); }
    Request& Text(uint16_t tag, const std::u16string& text) {
        std::vector<uint8_t> bytes;
        for (char16_t unit : text) {
            bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<uint8_t>(unit >> 8));
        }
        bytes.insert(bytes.end(), {0, 0});
        return Bytes(tag, bytes);
    }
    Request& Bytes(uint16_t tag, const std::vector<uint8_t>& bytes) {
        return Add(kValueBytes, tag, static_cast<uint16_t>(bytes.size()), bytes.data());
    }
    Request& Number16(uint16_t tag, uint16_t value) { return Add(kValueUint16, tag, 2, &value); }
    // The common prefix: route to this station, device type, MAC text.
    Request& Prefix(const std::u16string& mac = u"00:1a:2b:3c:4d:5e") {
        return Route(kRouteThisStation).DeviceType().Text(2, mac);
    }

    // Runs `command`; returns the status byte of the reply, or -1 without one.
    int Call(uint16_t command) {
        if (ProcExchangeCall(exchange_, command, &replyCode) < 0) {
            return -1;
        }
        uint8_t type = 0, status = 0;
        uint16_t tag = 0;
        int length = 1;
        if (ProcExchangeGet(exchange_, &type, &tag, &length, nullptr, &status) < 0 ||
            type != kValueByte || tag != kTagStatus) {
            return -1;
        }
        return status;
    }

    uint16_t replyCode = 0xBEEF;

  private:
    Request& Add(uint8_t type, uint16_t tag, uint16_t length, const void* value) {
        EXPECT_GT(ProcExchangeAdd(exchange_, type, tag, length, 0, value), 0);
        return *this;
    }
    ProcExchange* exchange_;
};

// A received request datagram, opened.
struct Message {
    Address destination;
    Address source;
    uint8_t flags;
    uint8_t command;
    uint8_t subCommand;
    std::vector<uint8_t> body;
};

std::optional<Message> Receive(UdpReceiver& receiver) {
    std::optional<Datagram> datagram = receiver.Next();
    if (!datagram) {
        return std::nullopt;
    }
    Message message{};
    message.destination = datagram->destination;
    message.flags = datagram->bytes.size() > 2 ? datagram->bytes[2] : 0;
    // The opener takes only packets addressed to the station: readdress this one to the
    // station type and seal it again, as a unit opening it would see it.
    std::vector<uint8_t>& packet = datagram->bytes;
    if (packet.size() >= kPacketHeaderSize) {
        packet[2] = static_cast<uint8_t>((packet[2] & ~kTypeMask) | kTypeStation);
        const uint16_t crc = Crc16(packet.data() + 2, packet.size() - 2);
        packet[0] = static_cast<uint8_t>(crc & 0xFF);
        packet[1] = static_cast<uint8_t>(crc >> 8);
    }
    uint16_t length = 0;
    const size_t offset = ParsePacket(datagram->bytes.data(), datagram->bytes.size(), nullptr,
                                      nullptr, message.source.data(), &length);
    if (offset == 0 || length < 2) {
        ADD_FAILURE() << "a datagram that does not open";
        return std::nullopt;
    }
    message.command = datagram->bytes[offset];
    message.subCommand = datagram->bytes[offset + 1];
    message.body.assign(datagram->bytes.begin() + static_cast<long>(offset) + 2,
                        datagram->bytes.begin() + static_cast<long>(offset) + length);
    return message;
}

std::vector<uint8_t> Utf16Field(const std::u16string& text) {
    std::vector<uint8_t> field(64, 0);
    for (size_t i = 0; i < text.size() && i < 31; ++i) {
        field[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return field;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

class BroadcastCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        ThreadContext& context = TheThreadContext();
        ResetThreadContext(context);
        context.broadcastPort = receiver_.port();
        context.unitSessionPort = 2001;
        context.managerPort = 2002;
        context.cipherMode = 1;
        std::memcpy(context.stationIp, kStation.data(), 4);
        std::memcpy(context.groupName, u"Lab", sizeof u"Lab");
        std::memcpy(context.groupKey, u"secret", sizeof u"secret");
    }
    void TearDown() override { ResetThreadContext(TheThreadContext()); }

    // One discovery query to `address`, sent after whatever a test sent before: the next
    // datagram received must be this one, so nothing else came in between.
    void ExpectNextIsMarker(const std::u16string& address, const Address& expected) {
        Request marker;
        marker.Prefix().Text(3, address);
        ASSERT_EQ(marker.Call(1), kStatusSuccess);
        const std::optional<Message> next = Receive(receiver_);
        ASSERT_TRUE(next);
        EXPECT_EQ(next->destination, expected) << "something was sent before the marker";
    }

    UdpReceiver receiver_;
};

#define RUN_IN_OWN_NAMESPACE()                                                                     \
    if (!testns::InTestNamespace()) {                                                              \
        EXPECT_TRUE(testns::RerunInNewNamespace());                                                \
        return;                                                                                    \
    }

TEST_F(BroadcastCommands, RangeDiscoveryQueriesEachAddressInAscendingOrder) {
    LogCapture log;
    Request request;
    request.Prefix(u"0:0:0:0:0:0").Text(3, u"127.0.0.254").Text(3, u"127.0.1.1");
    ASSERT_EQ(request.Call(1), kStatusSuccess);
    EXPECT_EQ(request.replyCode, 1);

    for (const Address& expected : {Address{127, 0, 0, 254}, Address{127, 0, 0, 255},
                                    Address{127, 0, 1, 0}, Address{127, 0, 1, 1}}) {
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, expected);
        EXPECT_EQ(message->source, kStation);
        EXPECT_EQ(message->flags, kFlags);
        EXPECT_EQ(message->command, 1);
        EXPECT_EQ(message->subCommand, 1);
        EXPECT_TRUE(message->body.empty());
    }
    ExpectNextIsMarker(u"127.0.0.3", {127, 0, 0, 3});

    const std::string digits = std::to_string(receiver_.port());
    const std::u16string port = u"port=" + std::u16string(digits.begin(), digits.end());
    EXPECT_TRUE(log.Contains(u"case_QryDiscover: SendBroadcastToloQuery, " + port +
                                 u", devtype=0x2d, toloname=Lab, toloIP=198.51.100.10\n",
                             kLogParams));
    EXPECT_TRUE(log.Contains(u"case_QryDiscover: SendBroadcastToloQuery, sIP=127.0.0.254, "
                             u"eIP=127.0.1.1, macaddr=00:00:00:00:00:00\n",
                             kLogParams));
}

TEST_F(BroadcastCommands, DiscoveriesThatQueryOnlyTheStartAddress) {
    struct Case {
        const char* what;
        std::vector<std::u16string> addresses;
        bool extraItem;
    };
    const Case cases[] = {
        {"end below start", {u"127.0.0.9", u"127.0.0.3"}, false},
        {"one address", {u"127.0.0.9"}, false},
        {"six items", {u"127.0.0.9", u"127.0.0.12"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Request request;
        request.Prefix();
        for (const std::u16string& address : c.addresses) {
            request.Text(3, address);
        }
        if (c.extraItem) {
            request.Number16(6, 1);
        }
        ASSERT_EQ(request.Call(1), kStatusSuccess);
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, (Address{127, 0, 0, 9}));
        ExpectNextIsMarker(u"127.0.0.4", {127, 0, 0, 4});
    }
}

TEST_F(BroadcastCommands, RequestsThatFailSendNothing) {
    struct Case {
        const char* what;
        uint16_t command;
        void (*build)(Request&);
    };
    const Case cases[] = {
        {"discovery routed elsewhere", 1,
         [](Request& r) { r.Route(1).DeviceType().Text(2, u"0:0:0:0:0:0").Text(3, u"127.0.0.5"); }},
        {"discovery without device type", 1,
         [](Request& r) { r.Route(kRouteThisStation).Text(3, u"127.0.0.5"); }},
        {"group info without MAC", 2,
         [](Request& r) { r.Route(kRouteThisStation).DeviceType().Text(3, u"127.0.0.5"); }},
        {"group info routed elsewhere", 2,
         [](Request& r) { r.Route(7).DeviceType().Text(2, u"0:0:0:0:0:0").Text(3, u"127.0.0.5"); }},
        {"net info routed elsewhere", 4,
         [](Request& r) { r.Route(0).DeviceType().Text(2, u"0:0:0:0:0:0").Text(3, u"127.0.0.5"); }},
        {"set group info without device name", 3,
         [](Request& r) { r.Prefix().Text(3, u"127.0.0.5"); }},
        {"set net info with twelve items", 5,
         [](Request& r) {
             r.Prefix()
                 .Number16(5, 0)
                 .Text(3, u"10.0.0.2")
                 .Text(7, u"255.0.0.0")
                 .Text(8, u"")
                 .Text(9, u"")
                 .Text(9, u"")
                 .Text(9, u"")
                 .Text(3, u"")
                 .Number16(6, 0);
         }},
        {"actions without the action", 36, [](Request& r) { r.Prefix().Text(3, u"127.0.0.5"); }},
        {"actions routed elsewhere", 36,
         [](Request& r) {
             r.Route(1)
                 .DeviceType()
                 .Text(2, u"0:0:0:0:0:0")
                 .Text(3, u"127.0.0.5")
                 .Bytes(0x107, {1});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Request request;
        c.build(request);
        EXPECT_EQ(request.Call(c.command), kStatusFailure);
        EXPECT_EQ(request.replyCode, c.command);
        ExpectNextIsMarker(u"127.0.0.6", {127, 0, 0, 6});
    }
}

TEST_F(BroadcastCommands, GroupAndNetInfoRequestsCarryTheMac) {
    for (auto [command, subCommand] : {std::pair{2, 6}, std::pair{4, 3}}) {
        SCOPED_TRACE(command);
        Request request;
        request.Prefix(u"00-1A-2b-3C-4d-5E").Text(3, u"127.0.0.7");
        ASSERT_EQ(request.Call(static_cast<uint16_t>(command)), kStatusSuccess);
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, (Address{127, 0, 0, 7}));
        EXPECT_EQ(message->subCommand, subCommand);
        EXPECT_EQ(message->body, (std::vector<uint8_t>{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    }
}

TEST_F(BroadcastCommands, SetGroupInfoSendsTheNameWithTheStationsGroup) {
    Request request;
    request.Prefix().Text(10, u"Rack 7").Bytes(12, {}).Text(3, u"127.0.0.8");
    ASSERT_EQ(request.Call(3), kStatusSuccess);
    std::optional<Message> message = Receive(receiver_);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->destination, (Address{127, 0, 0, 8}));
    EXPECT_EQ(message->subCommand, 5);
    std::vector<uint8_t> body = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    Append(body, Utf16Field(u"Rack 7"));
    Append(body, Utf16Field(u"Lab"));
    Append(body, Utf16Field(u"secret"));
    EXPECT_EQ(message->body, body);

    // A non-empty group-settings item: group name and password go out empty.
    Request settings;
    settings.Prefix().Text(10, u"Rack 7").Bytes(12, {1, 2}).Text(3, u"127.0.0.8");
    ASSERT_EQ(settings.Call(3), kStatusSuccess);
    message = Receive(receiver_);
    ASSERT_TRUE(message);
    std::vector<uint8_t> emptied = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    Append(emptied, Utf16Field(u"Rack 7"));
    Append(emptied, std::vector<uint8_t>(128, 0));
    EXPECT_EQ(message->body, emptied);
}

std::vector<uint8_t> NetBody(uint16_t unitPort, uint16_t stationPort, const Address& station) {
    std::vector<uint8_t> body = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    Append(body, {static_cast<uint8_t>(unitPort >> 8), static_cast<uint8_t>(unitPort & 0xFF),
                  static_cast<uint8_t>(stationPort >> 8), static_cast<uint8_t>(stationPort & 0xFF),
                  0x12, 0x34});
    Append(body, {10, 0, 0, 2, 255, 255, 0, 0, 10, 0, 0, 1, 9, 9, 9, 1, 9, 9, 9, 2, 9, 9, 9, 3});
    Append(body, {station.begin(), station.end()});
    return body;
}

TEST_F(BroadcastCommands, SetNetInfoFillsTheDefaultsFromTheContext) {
    struct Case {
        std::u16string stationText;
        uint16_t unitPort, stationPort;
        std::vector<uint8_t> body;
    };
    const Case cases[] = {
        {u"", 0, 0, NetBody(2001, 2002, kStation)},
        {u"192.0.2.44", 5000, 6000, NetBody(5000, 6000, {192, 0, 2, 44})},
    };
    for (const Case& c : cases) {
        Request request;
        request.Prefix()
            .Number16(5, 0x1234)
            .Text(3, u"10.0.0.2")
            .Text(7, u"255.255.0.0")
            .Text(8, u"10.0.0.1")
            .Text(9, u"9.9.9.1")
            .Text(9, u"9.9.9.2")
            .Text(9, u"9.9.9.3")
            .Text(3, c.stationText)
            .Number16(6, c.unitPort)
            .Number16(6, c.stationPort)
            .Text(3, u"127.0.0.9");
        ASSERT_EQ(request.Call(5), kStatusSuccess);
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, (Address{127, 0, 0, 9}));
        EXPECT_EQ(message->subCommand, 4);
        EXPECT_EQ(message->body, c.body);
    }
}

TEST_F(BroadcastCommands, SendActionsUsesTheItemsTagAsSubCommand) {
    // Enciphered (flags 0x2D), 222 body bytes are the most one 260-byte packet holds.
    for (size_t size : {size_t{3}, size_t{222}}) {
        std::vector<uint8_t> action(size);
        for (size_t i = 0; i < size; ++i) {
            action[i] = static_cast<uint8_t>(i * 7);
        }
        Request request;
        request.Prefix().Text(3, u"127.0.0.10").Bytes(0x0107, action);
        ASSERT_EQ(request.Call(36), kStatusSuccess);
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, (Address{127, 0, 0, 10}));
        EXPECT_EQ(message->subCommand, 7);
        EXPECT_EQ(message->body, action);
    }
}

TEST_F(BroadcastCommands, SendActionsRefusesABodyThatDoesNotFitOnePacket) {
    for (size_t size : {size_t{223}, size_t{1500}}) {
        SCOPED_TRACE(size);
        LogCapture log;
        Request request;
        request.Prefix().Text(3, u"127.0.0.10").Bytes(0x0107, std::vector<uint8_t>(size, 0x5A));
        EXPECT_EQ(request.Call(36), kStatusFailure);
        // Refused before any sending routine ran.
        EXPECT_TRUE(log.Entries().empty());
        ExpectNextIsMarker(u"127.0.0.11", {127, 0, 0, 11});
    }
}

TEST_F(BroadcastCommands, BroadcastQryDiscoverReportsTheSend) {
    EXPECT_TRUE(BroadcastQryDiscover(kDeviceType, u"127.0.0.20", u"127.0.0.21"));
    for (uint8_t last : {20, 21}) {
        const std::optional<Message> message = Receive(receiver_);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->destination, (Address{127, 0, 0, last}));
        EXPECT_EQ(message->flags, kFlags);
    }
    EXPECT_TRUE(BroadcastQryDiscover(kDeviceType, u"127.0.0.22", nullptr));
    ExpectNextIsMarker(u"127.0.0.23", {127, 0, 0, 22}); // the single start address first
}

TEST_F(BroadcastCommands, BroadcastQryDiscoverIsFalseWhenTheSendFails) {
    RUN_IN_OWN_NAMESPACE();
    // Only loopback and no route here: every other address is unreachable.
    LogCapture log;
    EXPECT_FALSE(BroadcastQryDiscover(kDeviceType, u"198.51.100.7", u"198.51.100.9"));
    // The range stops at its first failed address.
    EXPECT_EQ(log.Count(u"SendBroadcastToloQuery()\n"), 1u);
    EXPECT_TRUE(log.Contains(u"case_QryDiscover: Failed SendBroadcastToloQuery\n", kLogError));
}

TEST_F(BroadcastCommands, DiscoveryWithoutAddressesBroadcastsToEveryAddress) {
    RUN_IN_OWN_NAMESPACE();
    ASSERT_TRUE(testns::Shell("set -e\n"
                              "mkdir -p /run/netns && mount -t tmpfs tmpfs /run/netns\n"
                              "ip netns add far\n"
                              "ip link add nic0 type veth peer name peer0 netns far\n"
                              "ip addr add 198.51.100.1/24 dev nic0\n"
                              "ip -n far link set peer0 up\n"
                              "ip link set nic0 up\n"
                              "ip route add default dev nic0\n"));
    Request request;
    request.Prefix();
    ASSERT_EQ(request.Call(1), kStatusSuccess);
    // The sender's own copy of the limited broadcast comes back to local sockets.
    const std::optional<Message> message = Receive(receiver_);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->destination, (Address{255, 255, 255, 255}));
    EXPECT_EQ(message->subCommand, 1);
}

} // namespace
