// Command 24 over the real interface list: each namespace test runs in a network
// namespace of its own whose veth links the test makes (their peers in a second one).
#include "protocol/log.h"
#include "protocol/log_capture.h"
#include "request/param_list.h"
#include "request/proc_api.h"
#include "tessaly/tessaly_api.h"
#include "tests/request/reply_items.h"
#include "tests/support/net_namespace.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// `count` veth links nic0, nic1, ... with MAC 02:00:5e:20:00:<i+1>, address
// 198.51.100.<i+1>/25, all up; `alias` (when given) is every link's alias.
std::string Links(int count, const std::string& alias = "") {
    std::string script = "set -e\n"
                         "mkdir -p /run/netns && mount -t tmpfs tmpfs /run/netns\n"
                         "ip netns add far\n";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        char mac[32];
        std::snprintf(mac, sizeof mac, "02:00:5e:20:00:%02x", i + 1);
        script += "ip link add nic" + n + " type veth peer name peer" + n + " netns far\n";
        script += "ip link set nic" + n + " address " + mac + "\n";
        script += "ip addr add 198.51.100." + std::to_string(i + 1) + "/25 dev nic" + n + "\n";
        if (!alias.empty()) {
            script += "ip link set nic" + n + " alias '" + alias + "'\n";
        }
        script += "ip -n far link set peer" + n + " up\nip link set nic" + n + " up\n";
    }
    // The operational state follows the carrier a moment later.
    script += "for n in $(seq 100); do\n"
              "  down=0; for l in /sys/class/net/nic*; do\n"
              "    [ \"$(cat $l/operstate)\" = up ] || down=1; done\n"
              "  [ $down = 0 ] && exit 0; sleep 0.05\n"
              "done\nexit 1\n";
    return script;
}

struct Reply {
    int result;
    uint16_t replyCode;
    std::vector<ReplyItem> items;
    bool complete;
    uint16_t replyLength;
};

// Runs command 24 with one item of tag `tag` (or none when negative).
Reply GetNicInfo(int tag) {
    ProcExchange* exchange = ProcExchangeCreate();
    if (tag >= 0) {
        const uint8_t value = 0;
        EXPECT_GT(ProcExchangeAdd(exchange, kValueByte, static_cast<uint16_t>(tag), 1, 0, &value),
                  0);
    }
    Reply reply{};
    reply.replyCode = 0xBEEF;
    reply.result = ProcExchangeCall(exchange, 24, &reply.replyCode);
    reply.items = ReplyItemsOf(exchange, &reply.complete);
    reply.replyLength = exchange->replyLength;
    ProcExchangeFree(exchange);
    return reply;
}

bool IsFailure(const Reply& reply) {
    return reply.replyCode == 0 && reply.items.size() == 1 && reply.items[0].tag == kTagStatus &&
           reply.items[0].value == std::vector<uint8_t>{kStatusFailure};
}

// The eight items of interface `link` of Links(), reported with index `j`.
void ExpectInterface(const std::vector<ReplyItem>& items, size_t first, int link, uint16_t j) {
    ASSERT_GE(items.size(), first + 8);
    const std::string name = "nic" + std::to_string(link);
    struct Want {
        uint8_t type;
        uint16_t tag;
        std::vector<uint8_t> value;
    };
    const Want want[] = {
        {kValueByte, kTagStatus, {kStatusSuccess}},
        {kValueByte, 12, {1}},
        {kValueBytes, 16, std::vector<uint8_t>(name.c_str(), name.c_str() + name.size() + 1)},
        {kValueBytes, 17, Utf16Bytes(u"veth")},
        {kValueBytes, 13, Utf16Bytes(std::u16string(name.begin(), name.end()))},
        {kValueBytes, 2, {2, 0, 0x5e, 0x20, 0, static_cast<uint8_t>(link + 1)}},
        {kValueBytes, 3, {198, 51, 100, static_cast<uint8_t>(link + 1)}},
        {kValueBytes, 7, {255, 255, 255, 128}},
    };
    for (size_t i = 0; i < 8; ++i) {
        const ReplyItem& item = items[first + i];
        SCOPED_TRACE("item " + std::to_string(first + i));
        EXPECT_EQ(item.type, want[i].type);
        EXPECT_EQ(item.tag, want[i].tag);
        EXPECT_EQ(item.index, j);
        EXPECT_EQ(item.value, want[i].value);
    }
}

#define RUN_IN_OWN_NAMESPACE()                                                                     \
    if (!testns::InTestNamespace()) {                                                              \
        EXPECT_TRUE(testns::RerunInNewNamespace());                                                \
        return;                                                                                    \
    }

TEST(GetNicInfo, OneInterfaceByIndexAndInAll) {
    RUN_IN_OWN_NAMESPACE();
    ASSERT_TRUE(testns::Shell(Links(1)));
    ASSERT_EQ(TessalyInit(), TESSALY_OK);

    EXPECT_TRUE(IsFailure(GetNicInfo(1))); // only interface 0 exists

    for (int tag : {0, -1}) {
        SCOPED_TRACE(tag);
        LogCapture log;
        const Reply reply = GetNicInfo(tag);
        for (const char16_t* text :
             {u"caseGetNICInfo: upflag=1\n", u"caseGetNICInfo: adaptername=[nic0]\n",
              u"caseGetNICInfo: description=[veth]\n", u"caseGetNICInfo: FriendlyName=[nic0]\n",
              u"caseGetNICInfo: MACAddr=2:0:5e:20:0:1\n", u"caseGetNICInfo: IPAddr=198.51.100.1\n",
              u"caseGetNICInfo: Subnetmask=255.255.255.128\n"}) {
            EXPECT_TRUE(log.Contains(text, kLogInterfaces));
        }
        EXPECT_EQ(reply.replyCode, 24);
        EXPECT_TRUE(reply.complete);
        EXPECT_EQ(reply.items.size(), 8u);
        ExpectInterface(reply.items, 0, 0, 0);
    }
    TessalyQuit();
}

TEST(GetNicInfo, ASingleInterfaceIsReportedWithIndexZero) {
    RUN_IN_OWN_NAMESPACE();
    ASSERT_TRUE(testns::Shell(Links(2)));
    ASSERT_EQ(TessalyInit(), TESSALY_OK);

    const Reply second = GetNicInfo(1);
    EXPECT_EQ(second.replyCode, 24);
    EXPECT_EQ(second.items.size(), 8u);
    ExpectInterface(second.items, 0, 1, 0);

    const Reply all = GetNicInfo(-1);
    EXPECT_EQ(all.items.size(), 16u);
    ExpectInterface(all.items, 0, 0, 0);
    ExpectInterface(all.items, 8, 1, 1);
    EXPECT_TRUE(IsFailure(GetNicInfo(2)));
    TessalyQuit();
}

TEST(GetNicInfo, AReplyThatWouldOverflowEndsWithTheLastItemThatFits) {
    RUN_IN_OWN_NAMESPACE();
    // 21 interfaces with 63-character friendly names need about 4,400 reply bytes.
    ASSERT_TRUE(testns::Shell(Links(21, std::string(70, 'F'))));
    ASSERT_EQ(TessalyInit(), TESSALY_OK);

    const Reply reply = GetNicInfo(-1);
    EXPECT_EQ(reply.replyCode, 24);
    EXPECT_TRUE(reply.complete);
    ASSERT_FALSE(reply.items.empty());
    ASSERT_LT(reply.items.size(), 21u * 8u);
    // Items keep their order; the one that would come next did not fit.
    const std::vector<uint16_t> order = {kTagStatus, 12, 16, 17, 13, 2, 3, 7};
    for (size_t i = 0; i < reply.items.size(); ++i) {
        EXPECT_EQ(reply.items[i].tag, order[i % 8]) << i;
        EXPECT_EQ(reply.items[i].index, i / 8) << i;
    }
    EXPECT_EQ(reply.items[4].value.size(), 2u * 64u); // cut to 63 units and the zero unit
    const size_t next = reply.items.size();
    const size_t nextLink = next / 8;
    const std::string nextName = "nic" + std::to_string(nextLink);
    const size_t nextSize =
        6 + std::vector<size_t>{1, 1, nextName.size() + 1, 10, 128, 6, 4, 4}[next % 8];
    EXPECT_GT(reply.replyLength + nextSize, 4092u);
    TessalyQuit();
}

TEST(GetNicInfo, FailsWithReplyCodeZeroWhenTheLibraryCannotList) {
    TessalyQuit(); // not initialised: the count fails
    EXPECT_TRUE(IsFailure(GetNicInfo(-1)));
    EXPECT_TRUE(IsFailure(GetNicInfo(0)));
}

TEST(GetNicInfo, FailsWithReplyCodeZeroWithoutInterfaces) {
    RUN_IN_OWN_NAMESPACE();
    ASSERT_EQ(TessalyInit(), TESSALY_OK); // only loopback here
    EXPECT_TRUE(IsFailure(GetNicInfo(-1)));
    TessalyQuit();
}

} // namespace
