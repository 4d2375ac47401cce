// CompTalk sessions against a scripted unit on loopback: exact bytes and timing.
#include "protocol/comptalk.h"
#include "protocol/comptalk_fast.h"
#include "protocol/log_capture.h"
#include "tests/support/scripted_unit.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

using testunit::Bytes;
using testunit::Connection;
using testunit::Frame;
using testunit::ScriptedUnit;

constexpr uint8_t kPlainFlags = 0x2C; // to a unit, fixed key, plain
constexpr uint8_t kUnitMac[6] = {0x02, 0x52, 0x56, 0, 0, 1};
constexpr uint8_t kStationIp[4] = {127, 0, 0, 1};
constexpr uint8_t kStationMac[6] = {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

CompTalkSession* Open(const ScriptedUnit& unit, std::u16string_view key = u"secret",
                      uint8_t flags = kPlainFlags) {
    return CompTalkOpen(flags, "127.0.0.1", unit.Port(), kUnitMac, kStationIp, kStationMac,
                        u"group", key);
}

// Answers logout so that closing is quick.
void AnswerLogout(Connection& c) {
    if (auto frame = c.ReadFrame(); frame && frame->command == 3) {
        c.SendPacket(3, 0, {0x55});
    }
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(CompTalk, NoGreetingFailsAfterTheGreetingRounds) {
    ScriptedUnit unit([](Connection& c) { c.WaitClosed(15000); });
    LogCapture log;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Open(unit), nullptr);
    const double seconds = SecondsSince(start);
    EXPECT_GE(seconds, 9.5);
    // Only a guard against hanging: sleeps stretch on a loaded machine.
    EXPECT_LT(seconds, 60.0);
    EXPECT_TRUE(log.Contains(u"LoginPollnet: failed RecvBytes\n", kLogWarning));
}

TEST(CompTalk, GreetingOtherThanCommandTwoMakesNoLoginAttempt) {
    ScriptedUnit unit([&](Connection& c) {
        c.SendPacket(7, 0, {'h', 'i'});
        // The station hangs up without a frame.
        EXPECT_TRUE(c.WaitClosed(3000));
    });
    EXPECT_EQ(Open(unit), nullptr);
}

TEST(CompTalk, LoginBodyAndTheLoginReplyJudgement) {
    struct Case {
        Bytes answer;
        bool opens;
    } cases[] = {
        {{4, 0, 0x55}, true},     {{4, 9, 0x55}, true},  {{4, 0, 0x41}, false},
        {{4, 0, 0x55, 0}, false}, {{5, 0, 0x55}, false},
    };
    for (const Case& test : cases) {
        ScriptedUnit unit([&](Connection& c) {
            auto login = c.GreetAndLogin(test.answer);
            ASSERT_TRUE(login);
            unit.Record(*login);
            if (test.opens) {
                AnswerLogout(c);
            }
        });
        CompTalkSession* session = Open(unit);
        EXPECT_EQ(session != nullptr, test.opens) << int(test.answer[2]) << test.answer.size();
        CompTalkClose(session);
        auto frames = unit.Recorded();
        ASSERT_EQ(frames.size(), 1u);
        const Frame& login = frames[0];
        EXPECT_EQ(login.command, 4);
        EXPECT_EQ(login.sub, 0);
        ASSERT_EQ(login.body.size(), 73u);
        EXPECT_EQ(Bytes(login.body.begin(), login.body.begin() + 6),
                  Bytes(kStationMac, kStationMac + 6));
        Bytes key = testunit::Utf16Le(u"secret");
        key.resize(64 + 3, 0);
        EXPECT_EQ(Bytes(login.body.begin() + 6, login.body.end()), key);
        EXPECT_EQ(Bytes(login.raw.begin() + 4, login.raw.begin() + 8),
                  Bytes(kStationIp, kStationIp + 4));
    }
}

// Group keys reach the session as items or texts of their own length; only that much
// (at most 31 units) is copied.
TEST(CompTalk, GroupKeyIsCopiedByItsLengthAtMostThirtyOneUnits) {
    const std::u16string longKey(40, u'k');
    // A view that ends before the text does: the units beyond it must not be read.
    const char16_t unterminated[] = u"abcdefgh";
    struct Case {
        std::u16string_view key;
        std::u16string expected;
    } cases[] = {
        {std::u16string_view(unterminated, 3), u"abc"},
        {longKey, std::u16string(31, u'k')},
        {std::u16string_view(u"ab\0cd", 5), u"ab"},
    };
    for (const Case& test : cases) {
        ScriptedUnit unit([&](Connection& c) {
            auto login = c.GreetAndLogin({4, 0, 0x55});
            ASSERT_TRUE(login);
            unit.Record(*login);
            AnswerLogout(c);
        });
        CompTalkSession* session = Open(unit, test.key);
        ASSERT_NE(session, nullptr);
        CompTalkClose(session);
        auto frames = unit.Recorded();
        ASSERT_EQ(frames.size(), 1u);
        Bytes expected = testunit::Utf16Le(test.expected);
        expected.resize(64, 0);
        EXPECT_EQ(Bytes(frames[0].body.begin() + 6, frames[0].body.begin() + 70), expected);
    }
}

TEST(CompTalk, ExchangeDeliversTheReplyDataAndCloseLogsOut) {
    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        auto request = c.ReadFrame();
        ASSERT_TRUE(request);
        unit.Record(*request);
        c.SendPacket(request->command, request->sub, {0xDE, 0xAD, 0xBE, 0xEF},
                     testunit::kCipherReply);
        auto logout = c.ReadFrame();
        ASSERT_TRUE(logout);
        unit.Record(*logout);
        c.SendPacket(3, 0, {0x55});
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    const uint8_t body[] = {0, 0, 0, 1};
    ASSERT_EQ(CompTalkSend(session, 8, 14, body, sizeof body, reply, &length), 0);
    EXPECT_EQ(Bytes(reply, reply + length), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    CompTalkClose(session);
    auto frames = unit.Recorded();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].command, 8);
    EXPECT_EQ(frames[0].sub, 14);
    EXPECT_EQ(frames[0].body, Bytes(body, body + 4));
    EXPECT_EQ(frames[1].command, 3);
    EXPECT_TRUE(frames[1].body.empty());
}

TEST(CompTalk, ReplyWithOtherCommandBytesFailsWithThePayloadOffset) {
    struct Case {
        uint8_t commandDelta;
        uint8_t subDelta;
        uint8_t flags;
        const char16_t* text;
    } cases[] = {
        {0, 1, testunit::kPlainReply, u"CompTalkSend: Failed DecryptPacket indx=16\n"},
        {1, 0, testunit::kCipherReply, u"CompTalkSend: Failed DecryptPacket indx=22\n"},
    };
    for (const Case& test : cases) {
        ScriptedUnit unit([&](Connection& c) {
            ASSERT_TRUE(c.GreetAndLogin());
            auto request = c.ReadFrame();
            ASSERT_TRUE(request);
            c.SendPacket(static_cast<uint8_t>(request->command + test.commandDelta),
                         static_cast<uint8_t>(request->sub + test.subDelta), {0x55}, test.flags);
            AnswerLogout(c);
        });
        CompTalkSession* session = Open(unit);
        ASSERT_NE(session, nullptr);
        LogCapture log;
        uint8_t reply[kCompTalkReplyRoom];
        size_t length = 0;
        EXPECT_EQ(CompTalkSend(session, 9, 17, nullptr, 0, reply, &length), -1);
        EXPECT_TRUE(log.Contains(test.text, kLogWarning));
        CompTalkClose(session);
    }
}

// A reply too large for any packet fails without being read; the next exchange's flush
// discards it, so the next reply is taken for what it is.
TEST(CompTalk, OversizeReplyFailsAndTheNextFlushDiscardsIt) {
    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        ASSERT_TRUE(c.ReadFrame());
        Bytes huge = Connection::Packet(10, 17, Bytes(100, 1));
        huge[14] = 0x08; // announces 2,100 payload bytes
        huge[15] = 0x34;
        huge.resize(16 + 2100, 0x77);
        c.SendRaw(huge);
        auto second = c.ReadFrame();
        ASSERT_TRUE(second);
        c.SendPacket(second->command, second->sub, {0x42});
        AnswerLogout(c);
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    LogCapture log;
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    EXPECT_EQ(CompTalkSend(session, 10, 17, nullptr, 0, reply, &length), -1);
    EXPECT_TRUE(log.Contains(u"CompTalkSend: Failed RecvPacket\n", kLogWarning));
    ASSERT_EQ(CompTalkSend(session, 10, 17, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(Bytes(reply, reply + length), Bytes{0x42});
    CompTalkClose(session);
}

// The longest reply a packet can carry (2,045 data bytes, a 2,063-byte packet) fits the
// session's buffer and the caller's reply room.
TEST(CompTalk, LongestReplyIsDelivered) {
    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        auto request = c.ReadFrame();
        ASSERT_TRUE(request);
        ASSERT_TRUE(c.SendPacket(request->command, request->sub, Bytes(kCompTalkReplyRoom, 0x3C)));
        AnswerLogout(c);
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    ASSERT_EQ(CompTalkSend(session, 8, 6, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(length, kCompTalkReplyRoom);
    EXPECT_EQ(reply[kCompTalkReplyRoom - 1], 0x3C);
    CompTalkClose(session);
}

// The answer to a request that already failed arrives late; the next exchange must not
// take it for its own answer, though it carries the same command bytes.
TEST(CompTalk, LateReplyToAnEarlierRequestIsNeverTakenForTheCurrentOne) {
    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        auto first = c.ReadFrame();
        ASSERT_TRUE(first);
        c.SendPacket(first->command, static_cast<uint8_t>(first->sub ^ 0x80), {0x01});
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        c.SendPacket(first->command, first->sub, {0x0D}); // late and stale
        auto second = c.ReadFrame();
        ASSERT_TRUE(second);
        c.SendPacket(second->command, second->sub, {0x0E});
        AnswerLogout(c);
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    EXPECT_EQ(CompTalkSend(session, 8, 14, nullptr, 0, reply, &length), -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_EQ(CompTalkSend(session, 8, 14, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(Bytes(reply, reply + length), Bytes{0x0E});
    CompTalkClose(session);
}

// Replies split across segments: the receive waits between peeks instead of spending
// its attempts at once.
TEST(CompTalk, ReplySplitAcrossSegmentsIsAssembled) {
    for (size_t cut : {size_t{7}, size_t{16}, size_t{20}}) {
        ScriptedUnit unit([&](Connection& c) {
            ASSERT_TRUE(c.GreetAndLogin());
            auto request = c.ReadFrame();
            ASSERT_TRUE(request);
            const Bytes packet =
                Connection::Packet(request->command, request->sub, Bytes(40, 0x5A));
            c.SendRaw(Bytes(packet.begin(), packet.begin() + static_cast<long>(cut)));
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            c.SendRaw(Bytes(packet.begin() + static_cast<long>(cut), packet.end()));
            AnswerLogout(c);
        });
        CompTalkSession* session = Open(unit);
        ASSERT_NE(session, nullptr);
        uint8_t reply[kCompTalkReplyRoom];
        size_t length = 0;
        EXPECT_EQ(CompTalkSend(session, 12, 0, nullptr, 0, reply, &length), 0) << cut;
        EXPECT_EQ(length, 40u);
        CompTalkClose(session);
    }
}

// A unit that hangs up instead of answering: the receive fails at once rather than
// spending its attempts on a connection that can bring nothing more.
TEST(CompTalk, UnitThatHangsUpInsteadOfAnsweringFailsAtOnce) {
    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        ASSERT_TRUE(c.ReadFrame());
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    LogCapture log;
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CompTalkSend(session, 12, 0, nullptr, 0, reply, &length), -1);
    CompTalkClose(session);
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_TRUE(log.Contains(u"CompTalkSend: Failed RecvPacket\n", kLogWarning));
}

TEST(CompTalk, EmptyAndReleasedHandlesAreRefused) {
    CompTalkClose(nullptr);
    uint8_t reply[kCompTalkReplyRoom];
    size_t length = 0;
    EXPECT_EQ(CompTalkSend(nullptr, 8, 14, nullptr, 0, reply, &length), -1);

    ScriptedUnit unit([&](Connection& c) {
        ASSERT_TRUE(c.GreetAndLogin());
        AnswerLogout(c);
    });
    CompTalkSession* session = Open(unit);
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(CompTalkIsLive(session));
    CompTalkClose(session);
    EXPECT_FALSE(CompTalkIsLive(session));
    EXPECT_EQ(CompTalkSend(session, 8, 14, nullptr, 0, reply, &length), -1);
    CompTalkClose(session); // a second close is ignored
}

TEST(CompTalk, RefusedConnectionIsReported) {
    LogCapture log;
    // A port nobody listens on: refused at once.
    uint16_t closedPort = 0;
    {
        ScriptedUnit unit([](Connection&) {});
        closedPort = unit.Port();
    }
    EXPECT_EQ(CompTalkOpen(kPlainFlags, "127.0.0.1", closedPort, kUnitMac, kStationIp, kStationMac,
                           u"g", u"k"),
              nullptr);
    const std::string text =
        "ConnectPollnet: Failed to connect, host=127.0.0.1, port=" + std::to_string(closedPort) +
        ", lasterr=" + std::to_string(ECONNREFUSED) + "\n";
    EXPECT_TRUE(log.Contains(std::u16string(text.begin(), text.end()), kLogWarning));
}

// The provider set: nothing installs hooks, so it never opens; with hooks installed by
// the test, replies take the shapes the adaptor gives them.
TEST(CompTalkProvider, NoHooksNoSessionAndHooksShapeTheReplies) {
    EXPECT_EQ(FstCompTalkOpen(3, "127.0.0.1", 23, kUnitMac, kStationIp, kStationMac, u"g", u"k"),
              nullptr);

    static int opens = 0;
    static int closes = 0;
    FstHooks hooks;
    hooks.open = [](uint8_t, const char*, uint16_t port, const uint8_t*, const uint8_t*) {
        ++opens;
        return port == 1 ? -1 : 7;
    };
    hooks.transact = [](uint8_t, int handle, int direction, uint8_t* buffer) {
        std::memset(buffer, direction == 0 ? 0x11 : 0x22, 16);
        return handle == 7 ? 0 : -1;
    };
    hooks.close = [](uint8_t, int) { ++closes; };
    const FstHooks previous = SetFstHooks(hooks);

    EXPECT_EQ(FstCompTalkOpen(3, "h", 1, kUnitMac, nullptr, nullptr, u"g", u"k"), nullptr);
    FstCompTalkSession* session =
        FstCompTalkOpen(3, "h", 23, kUnitMac, kStationIp, kStationMac, u"g", u"k");
    ASSERT_NE(session, nullptr);
    uint8_t reply[kCompTalkReplyRoom] = {};
    size_t length = 99;
    ASSERT_EQ(FstCompTalkSend(session, 5, 4, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(length, 21u);
    EXPECT_EQ(Bytes(reply, reply + 6), (Bytes{0xAA, 0x55, 0x00, 0x06, 0x11, 0x11}));
    EXPECT_EQ(Bytes(reply + 15, reply + 21), (Bytes{0x11, 0, 0, 0, 0, 0}));
    ASSERT_EQ(FstCompTalkSend(session, 5, 3, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(length, 27u);
    EXPECT_EQ(Bytes(reply + 19, reply + 27), (Bytes{0, 1, 0x22, 0x22, 1, 0x22, 0x22, 0}));
    ASSERT_EQ(FstCompTalkSend(session, 8, 5, nullptr, 0, reply, &length), 0);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(FstCompTalkSend(session, 9, 17, nullptr, 0, reply, &length), -1);
    FstCompTalkClose(session);
    EXPECT_EQ(opens, 2);
    EXPECT_EQ(closes, 1);
    SetFstHooks(previous);
}

} // namespace
