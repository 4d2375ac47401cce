#include "request/local_commands.h"
#include "request/proc_api.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// One exchange through the process-wide thread context, freed at the end of the test.
class Exchange {
  public:
    Exchange() : exchange_(ProcExchangeCreate()) {}
    ~Exchange() { ProcExchangeFree(exchange_); }

    Exchange& Bytes(uint16_t tag, std::vector<uint8_t> value, uint16_t index = 0) {
        EXPECT_GT(ProcExchangeAdd(exchange_, kValueBytes, tag, static_cast<uint16_t>(value.size()),
                                  index, value.data()),
                  0);
        return *this;
    }
    Exchange& Number32(uint16_t tag, uint32_t value) {
        EXPECT_GT(ProcExchangeAdd(exchange_, kValueUint32, tag, 4, 0, &value), 0);
        return *this;
    }
    int Call(uint16_t command) { return ProcExchangeCall(exchange_, command, &replyCode); }

    // The reply items as bytes.
    std::vector<uint8_t> ReplyItems() const {
        return {exchange_->replyBuffer + kMessageHeader,
                exchange_->replyBuffer + kMessageHeader + exchange_->replyLength};
    }
    std::vector<uint8_t> RequestItems() const {
        return {exchange_->requestBuffer + kMessageHeader,
                exchange_->requestBuffer + kMessageHeader + exchange_->requestLength};
    }
    // The single status byte of a status reply, or -1 when the reply is not one.
    int Status() {
        uint8_t type = 0, status = 0;
        uint16_t tag = 0;
        int length = 1;
        if (ProcExchangeGet(exchange_, &type, &tag, &length, nullptr, &status) < 0 ||
            type != kValueByte || tag != kTagStatus) {
            return -1;
        }
        return status;
    }
    ProcExchange* get() { return exchange_; }

    uint16_t replyCode = 0xBEEF;

  private:
    ProcExchange* exchange_;
};

class Dispatcher : public ::testing::Test {
  protected:
    void SetUp() override { ResetThreadContext(TheThreadContext()); }
    void TearDown() override { ResetThreadContext(TheThreadContext()); }
};

TEST_F(Dispatcher, TestParamListChecksTagOrderAndCount) {
    struct Case {
        std::vector<uint16_t> tags;
        int status;
    };
    const Case cases[] = {
        {{2, 1, 3, 4, 5, 6}, kStatusSuccess},
        {{2, 1, 3, 4, 5, 7}, kStatusFailure},
        {{2, 1, 3, 4, 5, 6, 9}, kStatusFailure},
        {{2, 1, 3, 4, 5}, kStatusFailure},
    };
    for (const Case& c : cases) {
        Exchange exchange;
        for (uint16_t tag : c.tags) {
            exchange.Bytes(tag, {0xAB});
        }
        EXPECT_EQ(exchange.Call(13), 7);
        EXPECT_EQ(exchange.replyCode, 13);
        EXPECT_EQ(exchange.Status(), c.status) << "with " << c.tags.size() << " tags";
    }
}

TEST_F(Dispatcher, FiveRequestBytesCountAsNoItems) {
    for (uint16_t command : {13, 28}) {
        Exchange exchange;
        std::memset(exchange.get()->requestBuffer + kMessageHeader, 0, 5);
        exchange.get()->requestLength = 5;
        ASSERT_GT(exchange.Call(command), 0);
        EXPECT_EQ(exchange.Status(), command == 13 ? kStatusFailure : kStatusSuccess) << command;
    }
}

TEST_F(Dispatcher, QryNoValueReply) {
    for (uint16_t command : {14, 22}) {
        Exchange exchange;
        EXPECT_EQ(exchange.Call(command), 8);
        EXPECT_EQ(exchange.replyCode, command);
        EXPECT_EQ(exchange.ReplyItems(),
                  (std::vector<uint8_t>{0x80, 0x08, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF}));
    }
}

TEST_F(Dispatcher, UnknownCommandsGetTheTextReply) {
    const std::string text = " Connected to private Proc API port, GET OUT!!!\n";
    for (uint16_t command : {0, 43, 50, 63, 74, 1024, 1026, 0xFFFF}) {
        Exchange exchange;
        EXPECT_EQ(exchange.Call(command), 48) << command;
        EXPECT_EQ(exchange.replyCode, kReplyUnknownCommand);
        const auto items = exchange.ReplyItems();
        EXPECT_EQ(std::string(items.begin(), items.end()), text);
        EXPECT_EQ(exchange.get()->replyBuffer[kMessageHeader + 48], 0);
    }
}

TEST_F(Dispatcher, EchoReturnsTheRequestItemsByteForByte) {
    Exchange exchange;
    exchange.Bytes(5, {1, 2, 3}).Number32(20, 0xFFFFFFFF).Bytes(300, {}, 9);
    const int length = exchange.Call(1025);
    EXPECT_EQ(length, 9 + 10 + 6);
    EXPECT_EQ(exchange.replyCode, 1025);
    EXPECT_EQ(exchange.ReplyItems(), exchange.RequestItems());
}

TEST_F(Dispatcher, SixtyFifthItemIsIgnored) {
    for (int count : {64, 65}) {
        Exchange exchange;
        for (int i = 0; i < count; ++i) {
            exchange.Bytes(static_cast<uint16_t>(i), {});
        }
        ThreadContext context{};
        context.request.requestOffset = kMessageHeader;
        context.request.requestLength = exchange.get()->requestLength;
        context.request.requestBuffer = exchange.get()->requestBuffer;
        UnpackedRequest request;
        UnpackRequest(context.request, request);
        EXPECT_EQ(request.count, 64);
        EXPECT_EQ(request.items[63].tag, 63);
        EXPECT_EQ(request.items[63].endPosition, 64 * 6);
    }
}

TEST_F(Dispatcher, ValueStoreOverflowDropsTheItemAndAllAfterIt) {
    Exchange exchange;
    exchange.Bytes(1, std::vector<uint8_t>(1000, 1))
        .Bytes(2, std::vector<uint8_t>(1000, 2))
        .Bytes(3, std::vector<uint8_t>(49, 3)) // 2049 bytes of values: does not fit
        .Bytes(4, {4});
    ThreadContext context{};
    context.request.requestOffset = kMessageHeader;
    context.request.requestLength = exchange.get()->requestLength;
    context.request.requestBuffer = exchange.get()->requestBuffer;
    UnpackedRequest request;
    UnpackRequest(context.request, request);
    ASSERT_EQ(request.count, 2);
    EXPECT_EQ(request.items[1].valueOffset, 1000);
    EXPECT_EQ(request.Value(1)[999], 2);

    Exchange exact;
    exact.Bytes(1, std::vector<uint8_t>(1000, 1)).Bytes(2, std::vector<uint8_t>(1000, 2));
    exact.Bytes(3, std::vector<uint8_t>(48, 3));
    context.request.requestLength = exact.get()->requestLength;
    context.request.requestBuffer = exact.get()->requestBuffer;
    UnpackRequest(context.request, request);
    EXPECT_EQ(request.count, 3);
}

TEST_F(Dispatcher, RequestLengthLimit) {
    for (int length : {2043, 2044}) {
        Exchange exchange;
        // One item that fills the request to `length` bytes.
        exchange.Bytes(1, std::vector<uint8_t>(static_cast<size_t>(length - 6), 0x11));
        ASSERT_EQ(exchange.get()->requestLength, length);
        const int result = exchange.Call(1025);
        if (length == 2043) {
            EXPECT_EQ(result, 2043);
            EXPECT_EQ(exchange.ReplyItems(), exchange.RequestItems());
        } else {
            EXPECT_EQ(result, kParamBadRecord);
            EXPECT_EQ(exchange.replyCode, 0xBEEF);
        }
    }
}

TEST_F(Dispatcher, StationInfo) {
    ThreadContext& context = TheThreadContext();
    context.searchFlags = kSearchByRange;
    const uint8_t ip[4] = {192, 0, 2, 10};
    const uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(context.stationIp, ip, 4);
    std::memcpy(context.stationMask, mask, 4);

    Exchange exchange;
    const int length = exchange.Call(28);
    EXPECT_EQ(exchange.replyCode, 28);
    EXPECT_EQ(length, 7 + 10 + 4 * 10);
    EXPECT_EQ(exchange.Status(), kStatusSuccess);
    uint8_t type = 0;
    uint16_t tag = 0, index = 0;
    uint32_t flags = 0;
    int room = 4;
    ProcExchangeGet(exchange.get(), &type, &tag, &room, &index, &flags);
    EXPECT_EQ(tag, 19);
    EXPECT_EQ(flags, kSearchByRange);
    struct Expected {
        uint16_t tag, index;
        std::vector<uint8_t> value;
    };
    const Expected expected[] = {{3, 0, {192, 0, 2, 10}},
                                 {7, 0, {255, 255, 255, 0}},
                                 {3, 1, {0, 0, 0, 0}},
                                 {7, 1, {0, 0, 0, 0}}};
    for (const Expected& e : expected) {
        std::vector<uint8_t> value(4);
        room = 4;
        ASSERT_GT(ProcExchangeGet(exchange.get(), &type, &tag, &room, &index, value.data()), 0);
        EXPECT_EQ(type, kValueBytes);
        EXPECT_EQ(tag, e.tag);
        EXPECT_EQ(index, e.index);
        EXPECT_EQ(value, e.value);
    }

    Exchange withItems;
    withItems.Bytes(1, {1});
    withItems.Call(28);
    EXPECT_EQ(withItems.replyCode, 0);
    EXPECT_EQ(withItems.Status(), kStatusFailure);
}

TEST_F(Dispatcher, SearchFlagsAreReadFromTheContextAtCallTime) {
    Exchange before;
    before.Call(28);
    TheThreadContext().searchFlags = kSearchByRange;
    Exchange after;
    after.Call(28);
    auto flagsOf = [](Exchange& e) {
        e.Status();
        uint32_t flags = 0;
        int room = 4;
        ProcExchangeGet(e.get(), nullptr, nullptr, &room, nullptr, &flags);
        return flags;
    };
    EXPECT_EQ(flagsOf(before), 0u);
    EXPECT_EQ(flagsOf(after), kSearchByRange);
}

TEST_F(Dispatcher, InfoBlock) {
    Exchange exchange;
    exchange.Bytes(21, {});
    EXPECT_EQ(exchange.Call(37), 7 + 6 + 68);
    EXPECT_EQ(exchange.replyCode, 37);
    EXPECT_EQ(exchange.Status(), kStatusSuccess);
    std::vector<uint8_t> block(68, 0xFF);
    int room = 68;
    uint16_t tag = 0;
    ASSERT_GT(ProcExchangeGet(exchange.get(), nullptr, &tag, &room, nullptr, block.data()), 0);
    EXPECT_EQ(tag, 42);
    EXPECT_EQ(block, std::vector<uint8_t>(68, 0));

    Exchange wrongTag;
    wrongTag.Bytes(22, {});
    wrongTag.Call(37);
    EXPECT_EQ(wrongTag.replyCode, 0);
    EXPECT_EQ(wrongTag.Status(), kStatusFailure);
}

TEST_F(Dispatcher, ThreadStatesAfterTheUpgraderEnded) {
    TheThreadContext().threadStates[0] = 3;
    TheThreadContext().threadStates[1] = 1;
    Exchange exchange;
    EXPECT_EQ(exchange.Call(69), 8 * 7);
    EXPECT_EQ(exchange.replyCode, 69);
    for (uint16_t i = 0; i < 8; ++i) {
        uint8_t type = 0, state = 0xFF;
        uint16_t tag = 1, index = 0;
        int room = 1;
        ASSERT_GT(ProcExchangeGet(exchange.get(), &type, &tag, &room, &index, &state), 0);
        EXPECT_EQ(type, kValueByte);
        EXPECT_EQ(tag, 0);
        EXPECT_EQ(index, i);
        EXPECT_EQ(state, i == 0 ? 3 : i == 1 ? 1 : 0);
    }
}

TEST_F(Dispatcher, FailingCodesAndTheirReplyCodes) {
    for (uint16_t command : {15, 16, 17, 23, 25, 26, 27, 29, 30, 31, 32, 66, 67, 68}) {
        Exchange exchange;
        EXPECT_EQ(exchange.Call(command), 7);
        EXPECT_EQ(exchange.replyCode, command);
        EXPECT_EQ(exchange.Status(), kStatusFailure);
    }
    Exchange plain38;
    plain38.Call(38);
    EXPECT_EQ(plain38.replyCode, 0);
    EXPECT_EQ(plain38.Status(), kStatusFailure);
    Exchange tagged38;
    tagged38.Bytes(43, {});
    tagged38.Call(38);
    EXPECT_EQ(tagged38.replyCode, 38);
    EXPECT_EQ(tagged38.Status(), kStatusFailure);
}

TEST_F(Dispatcher, SessionCommandsWithoutTheirItemsFail) {
    for (uint16_t command : {9, 12, 21, 33, 41, 42}) {
        Exchange exchange;
        exchange.Number32(20, kRouteThisStation);
        EXPECT_EQ(exchange.Call(command), 7);
        EXPECT_EQ(exchange.Status(), kStatusFailure) << command;
    }
}

TEST_F(Dispatcher, EmptyReplies) {
    for (uint16_t command : {64, 65}) {
        Exchange exchange;
        EXPECT_EQ(exchange.Call(command), 0);
        EXPECT_EQ(exchange.replyCode, command);
        EXPECT_EQ(exchange.get()->replyList, nullptr);
    }
    Exchange text;
    text.Bytes(1, {});
    EXPECT_EQ(text.Call(72), 0);
    EXPECT_EQ(text.replyCode, 72);
    Exchange noItem;
    EXPECT_EQ(noItem.Call(72), 7);
    EXPECT_EQ(noItem.replyCode, 0);
}

TEST_F(Dispatcher, FlagCommandsSetBitsAndSignalTheRequestEvent) {
    platform::EventHandle event = platform::CreateNamedEvent(u"", false, false);
    TheThreadContext().requestEvent = event;
    Exchange mark80;
    mark80.Call(70);
    EXPECT_EQ(mark80.Status(), kStatusSuccess);
    EXPECT_EQ(platform::WaitForEvent(event, 0), platform::WaitResult::Signaled);
    Exchange mark01;
    mark01.Call(71);
    EXPECT_EQ(mark01.Status(), kStatusSuccess);
    EXPECT_EQ(RequestFlagByte() & 0x81, 0x81);
    Exchange withItem;
    withItem.Bytes(1, {});
    withItem.Call(70);
    EXPECT_EQ(withItem.Status(), kStatusFailure);
    EXPECT_EQ(withItem.replyCode, 70);
    platform::CloseEvent(event);
}

TEST_F(Dispatcher, SetValue32StoresTheBigEndianNumber) {
    Exchange exchange;
    exchange.Bytes(9, {0x12, 0x34, 0x56, 0x78, 0x9A});
    exchange.Call(73);
    EXPECT_EQ(exchange.Status(), kStatusSuccess);
    EXPECT_EQ(StoredValue32(), 0x12345678u);
    Exchange two;
    two.Bytes(9, {1}).Bytes(9, {2});
    two.Call(73);
    EXPECT_EQ(two.replyCode, 73);
    EXPECT_EQ(two.Status(), kStatusFailure);
    EXPECT_EQ(StoredValue32(), 0x12345678u);
}

TEST_F(Dispatcher, ProcApiCallWithoutContext) {
    EXPECT_EQ(ProcApiCall(nullptr), -1);
}

TEST_F(Dispatcher, OversizedReplyIsReportedButNotOpened) {
    // A reply of more than 4087 item bytes cannot be read back: the length is returned,
    // the reply list is not made.
    ThreadContext context{};
    std::vector<uint8_t> request(4096), reply(4096);
    context.request.requestOffset = kMessageHeader;
    context.request.replyOffset = kMessageHeader;
    context.request.requestBuffer = request.data();
    context.request.replyBuffer = reply.data();
    context.request.replyCapacity = 4096;
    context.request.command = 1025;
    context.request.requestLength = 4090;
    ASSERT_EQ(ProcApiCall(&context), 0);
    EXPECT_EQ(context.request.replyLength, 4090);
    EXPECT_EQ(context.request.replyTotal, 4092);
}

TEST_F(Dispatcher, ClosedExchangeIsRefused) {
    ProcExchange* exchange = ProcExchangeCreate();
    ProcExchangeFree(exchange);
    uint16_t code = 0;
    EXPECT_EQ(ProcExchangeCall(exchange, 65, &code), kParamBadRecord);
}

} // namespace
