#include "listener/broadcast_listener.h"
#include "listener/response_records.h"
#include "platform/message_queue_window.h"
#include "protocol/log_capture.h"
#include "reply_packets.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

using namespace testing_replies;

namespace {

class Records : public ::testing::Test {
  protected:
    void SetUp() override { platform::SetNotifyWindow(window_.handle()); }
    void TearDown() override { platform::SetNotifyWindow(platform::kNoWindow); }

    // Runs one worker over `packet` and returns the record it posted, if any.
    std::unique_ptr<DeviceEntry> Process(const std::vector<uint8_t>& packet,
                                         uintptr_t* code = nullptr) {
        auto datagram = std::make_unique<DatagramRecord>();
        datagram->length = static_cast<uint32_t>(packet.size());
        std::memcpy(datagram->bytes, packet.data(), packet.size());
        ProcessBroadcastResp(std::move(datagram), ReplyKeys{});
        platform::Message message;
        if (!window_.TakeMessage(message, 0)) {
            return nullptr;
        }
        if (code) {
            *code = message.wParam;
        }
        return message.record.Take<DeviceEntry>();
    }

    platform::MessageQueueWindow window_;
    LogCapture log_;
};

TEST(ModelText, CodeRules) {
    struct Case {
        uint8_t code[8];
        std::u16string text;
    };
    const Case cases[] = {
        {{0x12, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, u"P1-2ABCD-EFG"},
        {{0x90, '0', '1', '2', '3', '4', '5', '6'}, u"P9-00123-456"},
        {{0xA2, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, u""},
        {{0x1A, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, u""},
        {{0x12, 'A', 'b', 'C', 'D', 'E', 'F', 'G'}, u""},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}, u""},
        {{0x12, 'A', 'B', 'C', 'D', 'E', 0, 0}, u""},
    };
    for (const Case& c : cases) {
        char16_t model[kModelUnits];
        ModelTextFromCode(c.code, model);
        EXPECT_EQ(std::u16string(model), c.text);
    }
}

TEST_F(Records, DiscoveryReplyBecomesAnEntry) {
    uintptr_t code = 99;
    auto entry = Process(ReplyPacket(2, DiscoveryBody(5, u"rack-5")), &code);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(entry->macAddress[5], 5);
    EXPECT_EQ(entry->ipAddress[0], 127);
    EXPECT_EQ(std::u16string(entry->deviceName), u"rack-5");
    EXPECT_EQ(std::u16string(entry->groupName), u"lab");
    EXPECT_EQ(std::u16string(entry->model), u"P1-2ABCD-EFG");
    EXPECT_EQ(entry->swVersion.minor, 2);
    EXPECT_EQ(entry->hwRev, 7);
    EXPECT_EQ(entry->secondaryCount, kMaxSecondaries); // 200 reported, clamped
    EXPECT_EQ(entry->status, 0);
    EXPECT_TRUE(log_.Contains(u"model=[0x1241:0x42434445:0x4647]\n", kLogTrace));
}

TEST_F(Records, RepliesFromOtherUnitTypes) {
    EXPECT_EQ(Process(ReplyPacket(2, DiscoveryBody(1), 0x30)), nullptr);
    std::vector<uint8_t> group(206, 0);
    EXPECT_EQ(Process(ReplyPacket(6, group, 0x30)), nullptr);
    EXPECT_TRUE(log_.Contains(u"Wrong device for RecordBroadcastGroupInfo\n", kLogError));
}

TEST_F(Records, ShortGroupInfoReplyTakesTheFillValues) {
    std::vector<uint8_t> body(148, 0); // a payload of 150 bytes
    body[5] = 9;
    PutText(body, 6, u"unit");
    PutText(body, 70, u"ops");
    uintptr_t code = 99;
    auto entry = Process(ReplyPacket(6, body), &code);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(entry->macAddress[5], 9);
    EXPECT_EQ(std::u16string(entry->groupName), u"ops");
    EXPECT_EQ(std::u16string(entry->groupPassword), std::u16string(31, char16_t(0x7070)));
    EXPECT_EQ(entry->model[0], 0);
    EXPECT_TRUE(log_.Contains(u"no model\n"));
}

TEST_F(Records, NetInfoRepliesAreDecodedAndDiscarded) {
    std::vector<uint8_t> body(40, 0);
    body[12] = 10;
    Process(ReplyPacket(3, body));
    EXPECT_TRUE(log_.Contains(u"Invalid Device Finder Window Handle\n", kLogError));
    EXPECT_TRUE(log_.Contains(u"toloipaddr [0.0.0.0]\n"));
    // A net-info reply short of its 42 bytes is refused before anything is read.
    log_.Clear();
    Process(ReplyPacket(3, std::vector<uint8_t>(39, 0)));
    EXPECT_TRUE(log_.Contains(u"Received corrupted broadcast data\n", kLogWarning));
    EXPECT_FALSE(log_.Contains(u"Invalid Device Finder Window Handle\n"));
}

TEST_F(Records, RefusedDatagrams) {
    struct Case {
        const char* what;
        std::vector<uint8_t> packet;
        const char16_t* text;
    };
    std::vector<uint8_t> flipped = ReplyPacket(2, DiscoveryBody(1));
    flipped[40] ^= 1;
    // A plain packet whose payload is the command byte alone has no reply kind.
    std::vector<uint8_t> oneByte = ReplyPacket(2, {}, 0x20, 0x10);
    oneByte[15] = 1;
    oneByte.resize(17);
    const uint16_t crc = Crc16(oneByte.data() + 2, 15);
    oneByte[0] = static_cast<uint8_t>(crc & 0xFF);
    oneByte[1] = static_cast<uint8_t>(crc >> 8);
    const Case cases[] = {
        {"17 bytes", std::vector<uint8_t>(17, 0x10), u"Received corrupted broadcast data\n"},
        {"flipped byte", flipped, u"Received corrupted broadcast data\n"},
        {"one-byte payload", oneByte, u"Received corrupted broadcast data\n"},
        {"unknown kind", ReplyPacket(9, {1, 2, 3}), u"Received invalid broadcast reply\n"},
    };
    for (const Case& c : cases) {
        log_.Clear();
        EXPECT_EQ(Process(c.packet), nullptr) << c.what;
        EXPECT_TRUE(log_.Contains(c.text, kLogWarning)) << c.what;
        EXPECT_TRUE(log_.Contains(u"Exiting ProcessBroadcastResp\n")) << c.what;
    }
}

TEST_F(Records, NoNotifyWindowLosesTheReply) {
    platform::SetNotifyWindow(platform::kNoWindow);
    EXPECT_EQ(Process(ReplyPacket(2, DiscoveryBody(1))), nullptr);
    EXPECT_TRUE(log_.Contains(u"Invalid Device Finder Window Handle\n", kLogError));
}

} // namespace
