#include "protocol/broadcast_bodies.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

void PutText(std::vector<uint8_t>& payload, size_t offset, const char16_t* text) {
    for (int i = 0; text[i] != 0; ++i) {
        payload[offset + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        payload[offset + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

// A full discovery reply as a unit sends it.
std::vector<uint8_t> DiscoveryPayload() {
    std::vector<uint8_t> p(166, 0);
    p[0] = 1;
    p[1] = 2;
    const uint8_t mac[6] = {0x00, 0x1b, 0x2c, 1, 2, 3};
    std::memcpy(p.data() + 2, mac, 6);
    PutText(p, 8, u"PDU Rack 4");
    PutText(p, 72, u"Lab");
    const uint8_t model[8] = {0x12, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};
    std::memcpy(p.data() + 136, model, 8);
    const uint8_t versions[17] = {3, 1, 200, 0xEE, 7, 2, 6, 9, 0xEE, 0x99, 1, 2, 3, 0x99, 4, 5, 6};
    std::memcpy(p.data() + 144, versions, 17);
    p[161] = 5;
    p[162] = 0x01;
    p[163] = 0x02;
    p[164] = 0x03;
    p[165] = 0x04;
    return p;
}

TEST(BroadcastReplies, FullDiscoveryReplyFromAUnit) {
    const std::vector<uint8_t> p = DiscoveryPayload();
    DiscoveryReply r;
    ASSERT_TRUE(DecodeDiscoveryReply(p.data(), p.size(), 0x20, r));
    EXPECT_EQ(r.mac[5], 3);
    EXPECT_EQ(std::u16string(r.deviceName), u"PDU Rack 4");
    EXPECT_EQ(std::u16string(r.groupName), u"Lab");
    EXPECT_EQ(r.modelCode[0], 0x12);
    EXPECT_EQ(r.modelCode[7], 'G');
    EXPECT_EQ(r.swVersion[0], 3);
    EXPECT_EQ(r.swVersion[2], 200);
    EXPECT_EQ(r.hwRevision, 7);
    EXPECT_EQ(r.kernelVersion[1], 6);
    // The high byte of each 32-bit version is ignored.
    EXPECT_EQ(r.filesysVersion[0], 1);
    EXPECT_EQ(r.filesysVersion[2], 3);
    EXPECT_EQ(r.patchVersion[0], 4);
    EXPECT_EQ(r.patchVersion[2], 6);
    EXPECT_EQ(r.secondaryCount, 5);
    EXPECT_EQ(r.bootloaderRevision, 0x01020304u);
}

TEST(BroadcastReplies, ShortDiscoveryRepliesTakeTheFillValues) {
    const std::vector<uint8_t> full = DiscoveryPayload();
    DiscoveryReply r;

    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 100, 0x20, r));
    EXPECT_EQ(r.mac[5], 3);
    EXPECT_EQ(std::u16string(r.deviceName), u"PDU Rack 4");
    EXPECT_EQ(std::u16string(r.groupName), std::u16string(31, char16_t{0x6767}));
    const uint8_t noModel[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    EXPECT_EQ(std::memcmp(r.modelCode, noModel, 8), 0);
    EXPECT_EQ(r.swVersion[0], 0);
    EXPECT_EQ(r.secondaryCount, 0);

    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 4, 0x20, r));
    EXPECT_EQ(r.mac[0] | r.mac[5], 0);
    EXPECT_EQ(std::u16string(r.deviceName), std::u16string(31, char16_t{0x6464}));

    // The version block is taken whole or not at all.
    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 160, 0x20, r));
    EXPECT_EQ(r.modelCode[7], 'G');
    EXPECT_EQ(r.swVersion[0], 0);
    EXPECT_EQ(r.patchVersion[0], 0);
    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 161, 0x20, r));
    EXPECT_EQ(r.patchVersion[2], 6);
    EXPECT_EQ(r.secondaryCount, 0);
    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 165, 0x20, r));
    EXPECT_EQ(r.secondaryCount, 5);
    EXPECT_EQ(r.bootloaderRevision, 0u);

    ASSERT_TRUE(DecodeDiscoveryReply(full.data(), 142, 0x20, r));
    EXPECT_EQ(r.modelCode[5], 'E');
    EXPECT_EQ(r.modelCode[6], 0);
}

TEST(BroadcastReplies, OtherUnitTypesAreDecodedOnlyToTheModelCodesFirstSixBytes) {
    const std::vector<uint8_t> p = DiscoveryPayload();
    DiscoveryReply r;
    ASSERT_TRUE(DecodeDiscoveryReply(p.data(), p.size(), 0x30, r));
    EXPECT_EQ(r.modelCode[5], 'E');
    EXPECT_EQ(r.modelCode[6], 0);
    EXPECT_EQ(r.modelCode[7], 0);
    EXPECT_EQ(r.swVersion[0], 0);
    EXPECT_EQ(r.secondaryCount, 0);
    EXPECT_EQ(r.bootloaderRevision, 0u);
}

TEST(BroadcastReplies, TextFieldsKeepAtMostThirtyOneUnits) {
    std::vector<uint8_t> p = DiscoveryPayload();
    std::memset(p.data() + 8, 'x', 64);
    DiscoveryReply r;
    ASSERT_TRUE(DecodeDiscoveryReply(p.data(), p.size(), 0x20, r));
    EXPECT_EQ(std::u16string(r.deviceName), std::u16string(31, char16_t{0x7878}));
}

TEST(BroadcastReplies, GroupInfoReplyFullAndShort) {
    std::vector<uint8_t> p(208, 0);
    p[0] = 1;
    p[1] = 6;
    p[7] = 0x77;
    PutText(p, 8, u"dev");
    PutText(p, 72, u"grp");
    PutText(p, 136, u"pw");
    const uint8_t model[8] = {0x12, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};
    std::memcpy(p.data() + 200, model, 8);
    GroupInfoReply r;
    ASSERT_TRUE(DecodeGroupInfoReply(p.data(), p.size(), r));
    EXPECT_EQ(r.mac[5], 0x77);
    EXPECT_EQ(std::u16string(r.groupPassword), u"pw");
    EXPECT_EQ(std::memcmp(r.modelCode, model, 8), 0);

    ASSERT_TRUE(DecodeGroupInfoReply(p.data(), 150, r));
    EXPECT_EQ(std::u16string(r.groupName), u"grp");
    EXPECT_EQ(std::u16string(r.groupPassword), std::u16string(31, char16_t{0x7070}));
    const uint8_t noModel[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    EXPECT_EQ(std::memcmp(r.modelCode, noModel, 8), 0);

    ASSERT_TRUE(DecodeGroupInfoReply(p.data(), 206, r));
    EXPECT_EQ(r.modelCode[5], 'E');
    EXPECT_EQ(r.modelCode[6], 0);
}

TEST(BroadcastReplies, NetInfoReplyNeedsTheWholeBody) {
    NetworkSettings settings{
        2001,          2002,         0x0102,       {10, 0, 0, 5}, {255, 255, 0, 0},
        {10, 0, 0, 1}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3},  {10, 0, 0, 9}};
    const uint8_t mac[6] = {9, 8, 7, 6, 5, 4};
    std::vector<uint8_t> p(42);
    p[0] = 1;
    p[1] = 3;
    EncodeNetworkBody(mac, settings, p.data() + 2);
    EXPECT_EQ(p[8], 0x07);
    EXPECT_EQ(p[9], 0xD1);
    NetInfoReply r;
    ASSERT_TRUE(DecodeNetInfoReply(p.data(), p.size(), r));
    EXPECT_EQ(r.mac[0], 9);
    EXPECT_EQ(r.settings.unitPort, 2001);
    EXPECT_EQ(r.settings.stationPort, 2002);
    EXPECT_EQ(r.settings.options, 0x0102);
    EXPECT_EQ(r.settings.mask[1], 255);
    EXPECT_EQ(r.settings.dns3[0], 3);
    EXPECT_EQ(r.settings.stationIp[3], 9);
    EXPECT_FALSE(DecodeNetInfoReply(p.data(), 41, r));
}

TEST(BroadcastReplies, KindAndCommandByteAreChecked) {
    const uint8_t discovery[2] = {1, 2};
    const uint8_t notBroadcast[2] = {2, 2};
    EXPECT_EQ(BroadcastReplyKind(discovery, 2), 2);
    EXPECT_EQ(BroadcastReplyKind(discovery, 1), -1);
    EXPECT_EQ(BroadcastReplyKind(notBroadcast, 2), -1);
    DiscoveryReply d;
    GroupInfoReply g;
    NetInfoReply n;
    EXPECT_TRUE(DecodeDiscoveryReply(discovery, 2, 0x20, d));
    EXPECT_FALSE(DecodeGroupInfoReply(discovery, 2, g));
    EXPECT_FALSE(DecodeNetInfoReply(discovery, 2, n));
    EXPECT_FALSE(DecodeDiscoveryReply(notBroadcast, 2, 0x20, d));
    EXPECT_FALSE(DecodeDiscoveryReply(nullptr, 0, 0x20, d));
}

TEST(BroadcastReplies, GroupBodyFieldsEndInAZeroByte) {
    char16_t full[32];
    for (int i = 0; i < 32; ++i) {
        full[i] = static_cast<char16_t>(0x3000 + i);
    }
    const uint8_t mac[6] = {1, 2, 3, 4, 5, 6};
    uint8_t body[198];
    std::memset(body, 0xAA, sizeof body);
    EncodeGroupBody(mac, full, u"g", nullptr, body);
    EXPECT_EQ(body[6 + 62], 31);
    EXPECT_EQ(body[6 + 63], 0);
    EXPECT_EQ(body[70], 'g');
    EXPECT_EQ(body[72], 0);
    for (int i = 134; i < 198; ++i) {
        EXPECT_EQ(body[i], 0) << i;
    }
}

} // namespace
