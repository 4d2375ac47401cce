// Device session commands and their client operations, run through the dispatcher
// against a scripted unit (exact bytes) and the unit simulator on loopback.
#include "protocol/comptalk_fast.h"
#include "protocol/log_capture.h"
#include "request/device_client.h"
#include "request/param_list.h"
#include "request/proc_api.h"
#include "request/thread_context.h"
#include "tests/support/scripted_unit.h"
#include "tests/tools/unit-sim/sim_peer.h"

#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

using testunit::Bytes;
using testunit::Connection;
using testunit::Frame;
using testunit::ScriptedUnit;

constexpr uint8_t kUnitType = 0x2C;
constexpr char16_t kUnitMacText[] = u"02:52:56:00:00:01";
constexpr char16_t kUnitAddress[] = u"127.0.0.1";

struct Item {
    uint8_t type;
    uint16_t tag;
    uint16_t index;
    Bytes value;
};

struct Reply {
    int result = -1;
    uint16_t code = 0xFFFF;
    std::vector<Item> items;
    std::optional<uint8_t> Status() const {
        if (items.size() == 1 && items[0].tag == kTagStatus && items[0].value.size() == 1) {
            return items[0].value[0];
        }
        return std::nullopt;
    }
};

Bytes Text(const std::u16string& text) {
    Bytes bytes = testunit::Utf16Le(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

// A request with the common prefix (route, device type, MAC text, address text).
class Request {
  public:
    explicit Request(uint8_t deviceType = kUnitType, std::u16string address = kUnitAddress,
                     uint32_t route = kRouteThisStation) {
        exchange_ = ProcExchangeCreate();
        ProcExchangeAdd(exchange_, kValueUint32, kTagRoute, 4, 0, &route);
        ProcExchangeAdd(exchange_, kValueByte, 1, 1, 0, &deviceType);
        Add(2, Text(kUnitMacText));
        Add(3, Text(address));
    }
    ~Request() { ProcExchangeFree(exchange_); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    Request& Add(uint16_t tag, const Bytes& value, uint16_t index = 0) {
        EXPECT_GE(ProcExchangeAdd(exchange_, kValueBytes, tag, static_cast<uint16_t>(value.size()),
                                  index, value.data()),
                  0);
        return *this;
    }
    Reply Call(uint16_t command) {
        Reply reply;
        reply.result = ProcExchangeCall(exchange_, command, &reply.code);
        for (;;) {
            Item item{};
            uint8_t value[4096];
            int length = sizeof value;
            if (ProcExchangeGet(exchange_, &item.type, &item.tag, &length, &item.index, value) <
                0) {
                break;
            }
            item.value.assign(value, value + length);
            reply.items.push_back(item);
        }
        return reply;
    }

  private:
    ProcExchange* exchange_;
};

class DeviceCommands : public ::testing::Test {
  protected:
    void SetUp() override { Station(0); }
    void TearDown() override { ResetThreadContext(TheThreadContext()); }

    static void Station(uint16_t port, const std::u16string& key = u"secret") {
        ThreadContext& context = TheThreadContext();
        ResetThreadContext(context);
        std::memset(context.groupName, 0, sizeof context.groupName);
        std::memset(context.groupKey, 0, sizeof context.groupKey);
        std::memcpy(context.groupName, u"group", 10);
        std::memcpy(context.groupKey, key.data(), key.size() * 2);
        context.unitSessionPort = port;
        context.cipherMode = 0; // plain frames, so the scripted unit reads them directly
        const uint8_t ip[4] = {127, 0, 0, 1};
        const uint8_t mac[6] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};
        std::memcpy(context.stationIp, ip, 4);
        std::memcpy(context.stationMac, mac, 6);
    }
};

// Makes a scripted unit answering every request with `answer`, and points the station's
// session port at it.
struct AnsweringUnit {
    ScriptedUnit unit;
    explicit AnsweringUnit(Bytes answer)
        : unit([this, answer](Connection& c) {
              auto login = c.GreetAndLogin();
              if (!login) {
                  return;
              }
              unit.Record(*login);
              auto request = c.ReadFrame();
              if (!request) {
                  return;
              }
              unit.Record(*request);
              c.SendPacket(request->command, request->sub, answer);
              if (c.ReadFrame()) {
                  c.SendPacket(3, 0, {0x55});
              }
          }) {
        TheThreadContext().unitSessionPort = unit.Port();
    }
    // The request frame the unit received (after the login).
    std::optional<Frame> Request() {
        auto frames = unit.Recorded();
        if (frames.size() < 2) {
            return std::nullopt;
        }
        return frames[1];
    }
};

TEST_F(DeviceCommands, QryConfigAnswersWithOneItemOfTheWorkItemsTagAndIndex) {
    const Bytes answer = {'n', 'a', 'm', 'e', '-', '1'};
    AnsweringUnit unit(answer);
    Request request;
    request.Add(17, {0, 0, 0, 7}, 2);
    const Reply reply = request.Call(9);
    EXPECT_EQ(reply.code, 9);
    ASSERT_EQ(reply.items.size(), 1u);
    EXPECT_EQ(reply.items[0].type, kValueBytes);
    EXPECT_EQ(reply.items[0].tag, 17);
    EXPECT_EQ(reply.items[0].index, 2);
    EXPECT_EQ(reply.items[0].value, answer);
    auto frame = unit.Request();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->command, 10);
    EXPECT_EQ(frame->sub, 17);
    EXPECT_EQ(frame->body, (Bytes{0, 0, 0, 7}));
}

TEST_F(DeviceCommands, ProcQryConfigCopiesOnlyIntoEnoughRoom) {
    const Bytes answer = {1, 2, 3, 4, 5, 6};
    for (int room : {6, 5}) {
        AnsweringUnit unit(answer);
        uint8_t destination[8] = {};
        int length = room;
        const bool ok =
            ProcQryConfig(kUnitType, kUnitMacText, kUnitAddress, 3, &length, destination);
        EXPECT_EQ(ok, room >= 6);
        if (ok) {
            EXPECT_EQ(length, 6);
            EXPECT_EQ(Bytes(destination, destination + 6), answer);
        } else {
            EXPECT_EQ(destination[0], 0);
        }
        auto frame = unit.Request();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, 10);
        EXPECT_EQ(frame->sub, 17);
        EXPECT_EQ(frame->body, (Bytes{0, 0, 0, 3}));
    }
}

TEST_F(DeviceCommands, AcknowledgementIsExactlyOneByte0x55) {
    struct Case {
        Bytes answer;
        uint8_t status;
    } cases[] = {
        {{0x55}, kStatusSuccess}, {{0x55, 0x00}, kStatusFailure}, {{0xAA}, kStatusFailure}};
    for (const Case& test : cases) {
        AnsweringUnit unit(test.answer);
        Request request;
        request.Add(0x0123, {9, 8});
        const Reply reply = request.Call(8);
        EXPECT_EQ(reply.code, 8);
        EXPECT_EQ(reply.Status(), test.status) << test.answer.size();
        auto frame = unit.Request();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, 9);
        EXPECT_EQ(frame->sub, 0x23);
        EXPECT_EQ(frame->body, (Bytes{9, 8}));
    }
}

// Each code's unit command, and the body it sends: the value, or the whole item.
TEST_F(DeviceCommands, UnitCommandAndBodyPerCode) {
    struct Case {
        uint16_t code;
        uint8_t unitCommand;
        uint8_t sub;
        bool encoded;
    } cases[] = {{6, 11, 0, true},
                 {39, 15, 0x44, false},
                 {10, 7, 0x44, false},
                 {40, 14, 0x44, false},
                 {41, 0x21, 0x44, false}};
    for (const Case& test : cases) {
        AnsweringUnit unit({0x55});
        Request request;
        request.Add(0x44, {1, 2, 3}, 5);
        const Reply reply = request.Call(test.code);
        EXPECT_EQ(reply.code, test.code);
        EXPECT_EQ(reply.Status(), kStatusSuccess) << test.code;
        auto frame = unit.Request();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, test.unitCommand);
        EXPECT_EQ(frame->sub, test.sub);
        const Bytes body = test.encoded ? Bytes{0x00, 0x44, 0, 3, 0, 5, 1, 2, 3} : Bytes{1, 2, 3};
        EXPECT_EQ(frame->body, body) << test.code;
    }
}

TEST_F(DeviceCommands, QryFieldsTakesASecondKindUnitsAnswerAsItems) {
    // An item of tag 9, index 1, value "ab", as the unit encodes it.
    const Bytes encoded = {0x00, 0x09, 0, 2, 0, 1, 'a', 'b'};
    for (uint8_t type : {uint8_t{0x2C}, uint8_t{0x3C}}) {
        AnsweringUnit unit(encoded);
        Request request(type);
        request.Add(9, {});
        const Reply reply = request.Call(7);
        EXPECT_EQ(reply.code, 7);
        ASSERT_EQ(reply.items.size(), 1u);
        EXPECT_EQ(reply.items[0].tag, 9);
        if (type == 0x3C) {
            EXPECT_EQ(reply.items[0].index, 1);
            EXPECT_EQ(reply.items[0].value, (Bytes{'a', 'b'}));
        } else {
            EXPECT_EQ(reply.items[0].value, encoded);
        }
    }
}

TEST_F(DeviceCommands, SendCmdAnswersWithAnItemForTags14And15) {
    for (uint16_t tag : {14, 15, 3}) {
        AnsweringUnit unit({0xAA, 0x01});
        Request request;
        request.Add(tag, {7}, 4);
        const Reply reply = request.Call(12);
        EXPECT_EQ(reply.code, 12);
        ASSERT_EQ(reply.items.size(), 1u);
        if (tag == 3) {
            EXPECT_EQ(reply.Status(), kStatusFailure);
        } else {
            EXPECT_EQ(reply.items[0].tag, tag);
            EXPECT_EQ(reply.items[0].index, 0);
            EXPECT_EQ(reply.items[0].value, (Bytes{0xAA, 0x01}));
        }
    }
}

TEST_F(DeviceCommands, QueryWithAnEmptyAnswerIsABadResponseSize) {
    AnsweringUnit unit({});
    LogCapture log;
    Request request;
    request.Add(14, {});
    const Reply reply = request.Call(11);
    EXPECT_EQ(reply.code, 11);
    EXPECT_EQ(reply.Status(), kStatusFailure);
    EXPECT_TRUE(log.Contains(u"caseQryState: bad response size\n", kLogError));
}

// The provider path, with recording hooks; the open fails, as it does with no provider.
struct ProviderOpen {
    static inline int opens = 0;
    static inline uint8_t flags = 0;
    static inline uint16_t port = 0;
    static inline std::string host;
    static int Open(uint8_t f, const char* h, uint16_t p, const uint8_t*, const uint8_t*) {
        ++opens;
        flags = f;
        port = p;
        host = h;
        return -1;
    }
};

TEST_F(DeviceCommands, MarkerPathGoesThroughTheProviderSet) {
    struct Case {
        uint16_t code;
        std::u16string address;
        uint16_t marker;
        int opens;
        uint16_t port;
        const char16_t* portText;
        const char16_t* failure;
    } cases[] = {
        {11, u"127.0.0.1:4567", 0x0803, 1, 4567, nullptr, u"caseQryState: Failed CompTalkOpen\n"},
        {11, u"127.0.0.1", 0x0803, 1, 0, u"caseQryState: got invalid device IP port\n",
         u"caseQryState: Failed CompTalkOpen\n"},
        {10, u"127.0.0.1", 0x0805, 1, 0, u"caseSetState: got invalid device IP port\n",
         u"caseSetState: Failed CompTalkOpen\n"},
        {18, u"127.0.0.1", 0x0806, 1, 23, nullptr, u"caseGetMetrics: Failed CompTalkOpen\n"},
    };
    for (const Case& test : cases) {
        AnsweringUnit unit({0x55});
        FstHooks hooks;
        hooks.open = ProviderOpen::Open;
        const FstHooks previous = SetFstHooks(hooks);
        ProviderOpen::opens = 0;
        LogCapture log;
        Request request(kUnitType, test.address);
        request.Add(15,
                    {static_cast<uint8_t>(test.marker >> 8), static_cast<uint8_t>(test.marker)});
        request.Add(14, {0, 0, 0, 1});
        const Reply reply = request.Call(test.code);
        SetFstHooks(previous);
        EXPECT_EQ(ProviderOpen::opens, test.opens);
        EXPECT_EQ(ProviderOpen::flags, test.marker & 7);
        EXPECT_EQ(ProviderOpen::port, test.port);
        EXPECT_EQ(ProviderOpen::host, "127.0.0.1");
        if (test.portText) {
            EXPECT_TRUE(log.Contains(test.portText, kLogError));
        }
        EXPECT_TRUE(log.Contains(test.failure, kLogError));
        EXPECT_EQ(reply.Status(), kStatusFailure);
        EXPECT_EQ(reply.code, test.code == 18 ? 0 : test.code);
        EXPECT_EQ(unit.unit.Accepted(), 0);
    }
}

TEST_F(DeviceCommands, OtherMarkersAndMissingWorkItems) {
    {
        // A marker outside the provider range keeps the session path.
        AnsweringUnit unit({0x31});
        Request request;
        request.Add(15, {0x10, 0x03}).Add(14, {0, 0, 0, 1});
        const Reply reply = request.Call(11);
        ASSERT_EQ(reply.items.size(), 1u);
        EXPECT_EQ(reply.items[0].tag, 14);
        EXPECT_EQ(reply.items[0].value, Bytes{0x31});
    }
    AnsweringUnit unit({0x55});
    Request request;
    request.Add(15, {0x08, 0x03});
    EXPECT_EQ(request.Call(11).Status(), kStatusFailure);
    EXPECT_EQ(unit.unit.Accepted(), 0);
}

TEST_F(DeviceCommands, RefusedBeforeAnyConnection) {
    struct Case {
        uint16_t code;
        uint8_t type;
        int items; // work items after the prefix
        const char16_t* text;
    } cases[] = {
        {9, 0x6C, 1, u"caseQryConfig: Invalid device type\n"},
        {12, 0x6C, 1, u"caseSendCmd: Invalid device type=0x60\n"},
        {41, 0x4C, 1, u"caseSendCmd: Invalid device type=0x40\n"},
        {21, 0x6C, 0, u"caseTestDevConnection: Invalid device type\n"},
        {33, 0x6C, 0, u"caseTestRemDevConnection: Invalid device type\n"},
        {21, kUnitType, 1, nullptr},
        {33, kUnitType, 1, nullptr},
        {9, kUnitType, 0, nullptr},
    };
    for (const Case& test : cases) {
        AnsweringUnit unit({0x55});
        LogCapture log;
        Request request(test.type);
        for (int i = 0; i < test.items; ++i) {
            request.Add(17, {0, 0, 0, 1});
        }
        const Reply reply = request.Call(test.code);
        EXPECT_EQ(reply.Status(), kStatusFailure) << test.code;
        EXPECT_EQ(reply.code, test.code);
        if (test.text) {
            EXPECT_TRUE(log.Contains(test.text, kLogError)) << test.code;
        }
        EXPECT_EQ(unit.unit.Accepted(), 0) << test.code;
    }
    Request ssend(0x6C);
    ssend.Add(23, Text(u"g")).Add(14, Text(u"k")).Add(13, {0, 0, 0, 0, 'u'});
    LogCapture log;
    EXPECT_EQ(ssend.Call(42).Status(), kStatusFailure);
    EXPECT_TRUE(log.Contains(u"caseSSendCmd: Invalid device type=0x60\n", kLogError));
}

TEST_F(DeviceCommands, AttributeCommandsAndStoredCopiesFail) {
    LogCapture log;
    Request base(kUnitType);
    const Reply reply = base.Call(34);
    EXPECT_EQ(reply.code, 0);
    EXPECT_EQ(reply.Status(), kStatusFailure);
    ProcExchange* exchange = ProcExchangeCreate();
    ProcExchangeAdd(exchange, kValueBytes, 15, 0, 0, nullptr);
    ProcExchangeAdd(exchange, kValueBytes, 25, 0, 0, nullptr);
    uint16_t code = 0xFFFF;
    EXPECT_GE(ProcExchangeCall(exchange, 35, &code), 0);
    EXPECT_EQ(code, 0);
    ProcExchangeFree(exchange);
    EXPECT_TRUE(log.Contains(u"caseGetPDUAttributes: failed the 3 raw Attribute tables\n"));
    for (uint16_t command : {19, 20}) {
        Request request;
        request.Add(17, {1});
        EXPECT_EQ(request.Call(command).Status(), kStatusFailure);
    }
}

TEST_F(DeviceCommands, SSendCmdLogsInWithTheRequestsGroupKey) {
    AnsweringUnit unit({0x55});
    const uint8_t data[] = {'u', 's', 'b', 0};
    EXPECT_TRUE(ProcSSendCmd(kUnitType, kUnitMacText, kUnitAddress, u"their-group", u"their-key",
                             sizeof data, data));
    auto frames = unit.unit.Recorded();
    ASSERT_EQ(frames.size(), 2u);
    Bytes key = testunit::Utf16Le(u"their-key");
    key.resize(64, 0);
    EXPECT_EQ(Bytes(frames[0].body.begin() + 6, frames[0].body.begin() + 70), key);
    EXPECT_EQ(frames[1].command, 0x21);
    EXPECT_EQ(frames[1].sub, 13);
    EXPECT_EQ(frames[1].body, (Bytes{0, 0, 0, 0, 'u', 's', 'b', 0}));
}

TEST_F(DeviceCommands, ClientOperationsRefuseBadDataWithoutARequest) {
    AnsweringUnit unit({0x55});
    const uint8_t data[kMaxCommandData + 1] = {};
    EXPECT_FALSE(ProcSSendCmd(kUnitType, kUnitMacText, kUnitAddress, u"g", u"k", 0, data));
    EXPECT_FALSE(ProcSSendCmd(kUnitType, kUnitMacText, kUnitAddress, u"g", u"k", 4, nullptr));
    EXPECT_FALSE(
        ProcSSendCmd(kUnitType, kUnitMacText, kUnitAddress, u"g", u"k", sizeof data, data));
    EXPECT_FALSE(ProcSendCmd(kUnitType, kUnitMacText, kUnitAddress, sizeof data, data));
    EXPECT_EQ(unit.unit.Accepted(), 0);
}

TEST_F(DeviceCommands, ProcSendCmdSendsFourZeroBytesAndTheData) {
    for (size_t length : {size_t{0}, size_t{5}}) {
        AnsweringUnit unit({0x55});
        const uint8_t data[] = {0x95, 0x13, 0x24, 0x08, 1};
        EXPECT_TRUE(ProcSendCmd(kUnitType, kUnitMacText, kUnitAddress, length, data));
        auto frame = unit.Request();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, 0x21);
        EXPECT_EQ(frame->sub, 16);
        Bytes body(4, 0);
        body.insert(body.end(), data, data + length);
        EXPECT_EQ(frame->body, body);
    }
}

TEST_F(DeviceCommands, ProcQryStateSendsTheArgumentOrNoValue) {
    struct Case {
        uint32_t argument;
        Bytes body;
    } cases[] = {{0xFFFFFFFFu, {}}, {0x01020304u, {1, 2, 3, 4}}};
    for (const Case& test : cases) {
        AnsweringUnit unit({0xC0, 0xDE});
        uint8_t destination[16] = {};
        int room = sizeof destination;
        EXPECT_TRUE(ProcQryState(kUnitType, kUnitMacText, kUnitAddress, test.argument, 12, &room,
                                 destination));
        EXPECT_EQ(room, 2);
        EXPECT_EQ(Bytes(destination, destination + 2), (Bytes{0xC0, 0xDE}));
        auto frame = unit.Request();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->command, 8);
        EXPECT_EQ(frame->sub, 12);
        EXPECT_EQ(frame->body, test.body);
    }
}

TEST_F(DeviceCommands, ProcTestRemDevConnectionOpensAndClosesOnly) {
    AnsweringUnit unit({0x55});
    EXPECT_TRUE(ProcTestRemDevConnection(kUnitType, kUnitMacText, kUnitAddress));
    auto frames = unit.unit.Recorded();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].command, 4);
    EXPECT_EQ(frames[1].command, 3); // logout right after the login
}

// The simulator as the unit, with the station's real flags (enciphered, 0x2D). Each test
// has ports and addresses of its own.
class DeviceCommandsOnSim : public DeviceCommands {
  protected:
    void StartSim(uint16_t basePort, const std::string& firstIp,
                  std::vector<std::string> extra = {}) {
        const uint16_t sessionPort = static_cast<uint16_t>(basePort + 2);
        std::vector<std::string> args = {"--units",          "2",
                                         "--first-ip",       firstIp,
                                         "--password",       "simpass",
                                         "--broadcast-port", std::to_string(basePort),
                                         "--station-port",   std::to_string(basePort + 1),
                                         "--session-port",   std::to_string(sessionPort)};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim_.Start(args));
        Station(sessionPort, u"simpass");
        TheThreadContext().cipherMode = 1;
    }
    simtest::SimProcess sim_;
};

TEST_F(DeviceCommandsOnSim, TestConnectionPackageQueryAndUpgradeCommand) {
    StartSim(25100, "127.0.61.1");
    const char16_t* address = u"127.0.61.1";
    EXPECT_TRUE(ProcTestRemDevConnection(kUnitType, kUnitMacText, address));
    uint8_t package[4128] = {};
    int room = sizeof package;
    EXPECT_TRUE(ProcQryState(kUnitType, kUnitMacText, address, 0xFFFFFFFFu, 14, &room, package));
    EXPECT_GT(room, 0);
    const char text[] = "usb";
    const auto* data = reinterpret_cast<const uint8_t*>(text);
    // The request's key, not the station's, is the one the unit checks.
    Station(TheThreadContext().unitSessionPort, u"not-the-key");
    TheThreadContext().cipherMode = 1;
    EXPECT_TRUE(ProcSSendCmd(kUnitType, kUnitMacText, address, u"", u"simpass", sizeof text, data));
    EXPECT_FALSE(ProcSSendCmd(kUnitType, kUnitMacText, address, u"", u"other", sizeof text, data));
}

TEST_F(DeviceCommandsOnSim, BadGreetingAndWrongPasswordFailTheTest) {
    StartSim(25110, "127.0.62.1", {"--fault", "bad-greeting:0"});
    LogCapture log;
    EXPECT_FALSE(ProcTestRemDevConnection(kUnitType, kUnitMacText, u"127.0.62.1"));
    EXPECT_TRUE(log.Contains(u"caseTestRemDevConnection: Failed CompTalkOpen\n", kLogError));
    EXPECT_TRUE(ProcTestRemDevConnection(kUnitType, kUnitMacText, u"127.0.62.2"));
    Station(TheThreadContext().unitSessionPort, u"wrong");
    TheThreadContext().cipherMode = 1;
    EXPECT_FALSE(ProcTestRemDevConnection(kUnitType, kUnitMacText, u"127.0.62.2"));
}

} // namespace
