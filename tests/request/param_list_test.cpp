#include "request/param_list.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    ParamList* list;
    explicit Writer(uint16_t capacity)
        : bytes(capacity, 0xEE), list(ParamListCreate(kParamWriter, capacity, bytes.data())) {}
    ~Writer() { ParamListClose(list); }
};

struct Reader {
    std::vector<uint8_t> bytes;
    ParamList* list;
    explicit Reader(std::vector<uint8_t> data)
        : bytes(std::move(data)),
          list(ParamListCreate(kParamReader, static_cast<uint16_t>(bytes.size()), bytes.data())) {}
    ~Reader() { ParamListClose(list); }
};

TEST(ParamList, CreateRefusesBadArguments) {
    uint8_t buffer[16];
    EXPECT_EQ(ParamListCreate(2, 16, buffer), nullptr);
    EXPECT_EQ(ParamListCreate(kParamWriter, 16, nullptr), nullptr);
    EXPECT_EQ(ParamListCreate(kParamReader, 5, buffer), nullptr);
    ParamList* list = ParamListCreate(kParamReader, 6, buffer);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->position, 0);
    EXPECT_EQ(list->magic, kRecordMagic);
    EXPECT_EQ(ParamListClose(list), 0);
}

TEST(ParamList, ItemEncodings) {
    Writer writer(64);
    const uint8_t text[] = {'h', 0, 0, 0};
    const uint32_t number32 = 0x01020304;
    const uint16_t number16 = 0xABCD;
    const uint8_t byte = 0x55;
    EXPECT_EQ(ParamListAdd(writer.list, kValueBytes, 300, 4, 7, text), 10);
    // Type 3 with a caller length of 1 still writes a length of 4 and four bytes.
    EXPECT_EQ(ParamListAdd(writer.list, kValueUint32, 300, 1, 0, &number32), 20);
    EXPECT_EQ(ParamListAdd(writer.list, kValueUint16, 8, 9, 0, &number16), 28);
    EXPECT_EQ(ParamListAdd(writer.list, kValueByte, 4, 1, 2, &byte), 35);
    EXPECT_EQ(ParamListAdd(writer.list, kValueBytes, 16383, 0, 0, nullptr), 41);

    const std::vector<uint8_t> expected = {
        0x01, 0x2C, 0x00, 0x04, 0x00, 0x07, 'h',  0,    0,    0,    // tag 300
        0xC1, 0x2C, 0x00, 0x04, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, // type 3
        0x80, 0x08, 0x00, 0x02, 0x00, 0x00, 0xAB, 0xCD,             // type 2
        0x40, 0x04, 0x00, 0x01, 0x00, 0x02, 0x55,                   // type 1
        0x3F, 0xFF, 0x00, 0x00, 0x00, 0x00,                         // empty
    };
    EXPECT_EQ(std::vector<uint8_t>(writer.bytes.begin(), writer.bytes.begin() + 41), expected);
}

TEST(ParamList, AddFillsExactlyToCapacityAndNoFurther) {
    Writer writer(20);
    const uint8_t value[14] = {};
    ASSERT_EQ(ParamListAdd(writer.list, kValueBytes, 1, 8, 0, value), 14);
    // One byte more than the room left fails and leaves the list as it was.
    EXPECT_EQ(ParamListAdd(writer.list, kValueBytes, 2, 1, 0, value), kParamBadRecord);
    EXPECT_EQ(writer.list->position, 14);
    EXPECT_EQ(writer.bytes[14], 0xEE);
    EXPECT_EQ(ParamListAdd(writer.list, kValueBytes, 2, 0, 0, nullptr), 20);
}

TEST(ParamList, AddRefusesReadersAndMissingValues) {
    Writer writer(32);
    EXPECT_EQ(ParamListAdd(writer.list, kValueBytes, 1, 2, 0, nullptr), kParamBadRecord);
    Reader reader({0, 1, 0, 0, 0, 0});
    const uint8_t byte = 1;
    EXPECT_EQ(ParamListAdd(reader.list, kValueByte, 1, 1, 0, &byte), kParamBadRecord);
    EXPECT_EQ(ParamListAdd(nullptr, kValueByte, 1, 1, 0, &byte), kParamBadRecord);
}

TEST(ParamList, GetDecodesNumbersAndRawCopiesThem) {
    const std::vector<uint8_t> item = {0x80, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01, 0x02};
    {
        Reader reader(item);
        uint8_t type = 0;
        uint16_t tag = 0, index = 0, value = 0;
        int length = sizeof value;
        EXPECT_EQ(ParamListGet(reader.list, &type, &tag, &length, &index, &value), 8);
        EXPECT_EQ(type, kValueUint16);
        EXPECT_EQ(tag, 8);
        EXPECT_EQ(index, 3);
        EXPECT_EQ(length, 2);
        EXPECT_EQ(value, 258);
    }
    {
        Reader reader(item);
        uint8_t raw[2] = {};
        int length = sizeof raw;
        EXPECT_EQ(ParamListGetRaw(reader.list, nullptr, nullptr, &length, nullptr, raw), 8);
        EXPECT_EQ(raw[0], 0x01);
        EXPECT_EQ(raw[1], 0x02);
    }
    {
        Reader reader({0xC0, 0x01, 0x00, 0x04, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78});
        uint32_t value = 0;
        int length = sizeof value;
        EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, &value), 10);
        EXPECT_EQ(value, 0x12345678u);
    }
}

TEST(ParamList, ItemTooLargeForDestinationStaysUnread) {
    Reader reader({0x00, 0x05, 0x00, 0x04, 0x00, 0x00, 1, 2, 3, 4});
    uint8_t small[3];
    int length = sizeof small;
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, small), kParamNoFit);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(reader.list->position, 0);
    length = sizeof small;
    EXPECT_EQ(ParamListGetRaw(reader.list, nullptr, nullptr, &length, nullptr, small),
              kParamBadRecord);
    uint8_t enough[4];
    length = sizeof enough;
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, enough), 10);
}

TEST(ParamList, GetRefusesItemsRunningPastTheList) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int result;
        int length;
    };
    const Case cases[] = {
        {"value runs past", {0x00, 0x01, 0x00, 0x05, 0x00, 0x00, 1, 2, 3, 4}, kParamNoFit, 5},
        // A number's length field may lie; its full width must still be in the list.
        {"short type 2", {0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x11}, kParamNoFit, 0},
        {"short type 3", {0xC0, 0x01, 0x00, 0x01, 0x00, 0x00, 1, 2, 3}, kParamNoFit, 1},
        {"header cut", {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}, 6, 0},
    };
    for (const Case& c : cases) {
        Reader reader(c.bytes);
        uint8_t destination[16];
        int length = sizeof destination;
        EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, destination),
                  c.result)
            << c.what;
        EXPECT_EQ(length, c.length) << c.what;
    }
}

TEST(ParamList, ZeroLengthItemAndEndOfList) {
    Reader reader({0x00, 0x09, 0x00, 0x00, 0x00, 0x01});
    uint8_t destination[1];
    uint16_t index = 0;
    int length = sizeof destination;
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, &index, destination), 6);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(index, 1);
    length = sizeof destination;
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, destination),
              kParamBadRecord);
    EXPECT_EQ(length, -1);
}

TEST(ParamList, GetRequiresLengthAndDestination) {
    Reader reader({0x00, 0x09, 0x00, 0x00, 0x00, 0x01});
    uint8_t destination[4];
    int length = sizeof destination;
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, nullptr, nullptr, destination),
              kParamBadRecord);
    EXPECT_EQ(ParamListGet(reader.list, nullptr, nullptr, &length, nullptr, nullptr),
              kParamBadRecord);
    EXPECT_EQ(length, -1);
}

TEST(ParamList, ClosedRecordIsRefused) {
    uint8_t buffer[16];
    ParamList* list = ParamListCreate(kParamWriter, sizeof buffer, buffer);
    const uint8_t byte = 1;
    ASSERT_EQ(ParamListAdd(list, kValueByte, 1, 1, 0, &byte), 7);
    EXPECT_EQ(ParamListClose(list), 7);
    EXPECT_EQ(ParamListClose(list), kParamBadRecord);
    EXPECT_EQ(ParamListAdd(list, kValueByte, 1, 1, 0, &byte), kParamBadRecord);

    ParamList foreign{kParamWriter, buffer, sizeof buffer, 0, 0x1234};
    EXPECT_EQ(ParamListAdd(&foreign, kValueByte, 1, 1, 0, &byte), kParamBadRecord);
    EXPECT_EQ(ParamListClose(&foreign), kParamBadRecord);
}

TEST(ProcExchange, AddStoresRequestLengthAndFreeIsSafeTwice) {
    ProcExchange* exchange = ProcExchangeCreate();
    ASSERT_NE(exchange, nullptr);
    EXPECT_EQ(exchange->requestCapacity, kMessageBufferSize);
    EXPECT_EQ(exchange->replyList, nullptr);
    const uint32_t route = 0xFFFFFFFF;
    EXPECT_EQ(ProcExchangeAdd(exchange, kValueUint32, 20, 4, 0, &route), 10);
    EXPECT_EQ(exchange->requestLength, 10);
    EXPECT_EQ(ProcExchangeAdd(exchange, kValueBytes, 1, 1, 0, nullptr), kParamBadRecord);
    EXPECT_EQ(exchange->requestLength, 10);

    int length = 4;
    uint8_t destination[4];
    // No call has produced a reply yet.
    EXPECT_EQ(ProcExchangeGet(exchange, nullptr, nullptr, &length, nullptr, destination),
              kParamBadRecord);
    ProcExchangeFree(exchange);
    ProcExchangeFree(exchange);
    EXPECT_EQ(ProcExchangeAdd(exchange, kValueUint32, 20, 4, 0, &route), kParamBadRecord);
}

TEST(ProcExchange, RequestAreaHoldsItsFullCapacity) {
    ProcExchange* exchange = ProcExchangeCreate();
    std::vector<uint8_t> value(kMessageItemArea - kParamItemHeader);
    EXPECT_EQ(ProcExchangeAdd(exchange, kValueBytes, 1, static_cast<uint16_t>(value.size()), 0,
                              value.data()),
              kMessageItemArea);
    EXPECT_EQ(ProcExchangeAdd(exchange, kValueBytes, 1, 0, 0, nullptr), kParamBadRecord);
    ProcExchangeFree(exchange);
}

} // namespace
