// Tag-length-value parameter lists and the exchange handle a client builds one request
// and reads its reply with.
//
// One item: byte 0 = type (bits 7-6) and tag bits 13-8, byte 1 = tag bits 7-0, bytes 2-3
// value length, bytes 4-5 index (both big-endian), then the value. Items follow each
// other with no padding; the list's length is kept outside it.
#pragma once

#include <cstdint>

inline constexpr uint16_t kRecordMagic = 0x1498;
inline constexpr int kParamItemHeader = 6;

// Results of the list operations.
inline constexpr int kParamBadRecord = -3; // bad record, bad argument, wrong mode, no room
inline constexpr int kParamNoFit = -7;     // item does not fit the destination or the list

enum ValueType : uint8_t {
    kValueBytes = 0,  // byte string, copied unchanged
    kValueByte = 1,   // one byte
    kValueUint16 = 2, // 16-bit number, high byte first on the wire
    kValueUint32 = 3, // 32-bit number, most significant byte first on the wire
};

enum ParamListMode : uint8_t { kParamWriter = 0, kParamReader = 1 };

// A cursor over a caller's buffer; the buffer is never freed here.
struct ParamList {
    uint8_t mode;
    uint8_t* buffer;
    uint16_t capacity;
    uint16_t position;
    uint16_t magic;
};

ParamList* ParamListCreate(uint8_t mode, uint16_t capacity, uint8_t* buffer);

// Writes one item. For type 2 `value` points to a host uint16_t, for type 3 to a host
// uint32_t; otherwise to `length` bytes. Returns the new position or -3.
int ParamListAdd(ParamList* list, uint8_t type, uint16_t tag, uint16_t length, uint16_t index,
                 const void* value);

// Reads one item. `*length` is the room in `destination` on entry and the item's length
// on return (-1 when the call fails before reaching the item). Type 2 and 3 values are
// stored as host uint16_t / uint32_t. `type`, `tag` and `index` are optional.
int ParamListGet(ParamList* list, uint8_t* type, uint16_t* tag, int* length, uint16_t* index,
                 void* destination);

// As ParamListGet, but copies every value unchanged and reports every failure as -3.
int ParamListGetRaw(ParamList* list, uint8_t* type, uint16_t* tag, int* length, uint16_t* index,
                    void* destination);

// Frees the record and returns its final position, or -3 for a record that is not live.
int ParamListClose(ParamList* list);

// One request/reply exchange.
struct ProcExchange {
    ParamList* requestList;
    ParamList* replyList;
    uint16_t command;
    uint8_t* requestBuffer;
    uint16_t requestCapacity;
    uint16_t requestLength;
    uint16_t replyCode;
    uint8_t* replyBuffer;
    uint16_t replyCapacity;
    uint16_t replyLength;
    uint16_t magic;
};

inline constexpr uint16_t kMessageBufferSize = 4096;
inline constexpr uint16_t kMessageHeader = 4; // message length, then command or reply code
inline constexpr uint16_t kMessageItemArea = kMessageBufferSize - kMessageHeader;

ProcExchange* ProcExchangeCreate();
int ProcExchangeAdd(ProcExchange* exchange, uint8_t type, uint16_t tag, uint16_t length,
                    uint16_t index, const void* value);
// Runs the request through the dispatcher; returns the bytes of reply items or a
// negative error. Defined with the dispatcher.
int ProcExchangeCall(ProcExchange* exchange, uint16_t command, uint16_t* replyCode);
int ProcExchangeGet(ProcExchange* exchange, uint8_t* type, uint16_t* tag, int* length,
                    uint16_t* index, void* destination);
void ProcExchangeFree(ProcExchange* exchange);

// True for a record that carries the live magic.
inline bool IsLive(const ParamList* list) {
    return list && list->magic == kRecordMagic;
}
inline bool IsLive(const ProcExchange* exchange) {
    return exchange && exchange->magic == kRecordMagic;
}
