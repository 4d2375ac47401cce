#include "request/param_list.h"

#include "request/record_pool.h"

#include <cstring>
#include <new>

namespace {

// The pools live as long as the process: released records must stay readable until the
// very end, also for checks made while static objects are destroyed.
RecordPool<ParamList>& ListPool() {
    static auto* pool = new RecordPool<ParamList>;
    return *pool;
}

RecordPool<ProcExchange>& ExchangePool() {
    static auto* pool = new RecordPool<ProcExchange>;
    return *pool;
}

void PutBe16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

uint16_t GetBe16(const uint8_t* at) {
    return static_cast<uint16_t>((at[0] << 8) | at[1]);
}

uint16_t EffectiveLength(uint8_t type, uint16_t length) {
    if (type == kValueUint16) {
        return 2;
    }
    if (type == kValueUint32) {
        return 4;
    }
    return length;
}

enum class GetMode { Decode, Raw };

int GetItem(ParamList* list, uint8_t* type, uint16_t* tag, int* length, uint16_t* index,
            void* destination, GetMode mode) {
    if (!length) {
        return kParamBadRecord;
    }
    const int room = *length;
    *length = -1;
    if (!IsLive(list) || list->mode != kParamReader || !list->buffer || !destination ||
        list->position + kParamItemHeader > list->capacity) {
        return kParamBadRecord;
    }
    const uint8_t* item = list->buffer + list->position;
    const uint8_t itemType = static_cast<uint8_t>(item[0] >> 6);
    if (type) {
        *type = itemType;
    }
    if (tag) {
        *tag = static_cast<uint16_t>(((item[0] & 0x3F) << 8) | item[1]);
    }
    const uint16_t itemLength = GetBe16(item + 2);
    *length = itemLength;

    // A decoded number always takes its full width, whatever its length field claims,
    // so both checks use that width; otherwise a short length field would let the
    // value run past the list.
    const bool number =
        mode == GetMode::Decode && (itemType == kValueUint16 || itemType == kValueUint32);
    const int valueBytes = number ? EffectiveLength(itemType, 0) : itemLength;
    const int noFit = mode == GetMode::Decode ? kParamNoFit : kParamBadRecord;
    if (room < valueBytes || list->position + kParamItemHeader + valueBytes > list->capacity) {
        return noFit;
    }
    if (index) {
        *index = GetBe16(item + 4);
    }
    const uint8_t* value = item + kParamItemHeader;
    if (number && itemType == kValueUint16) {
        const uint16_t number16 = GetBe16(value);
        std::memcpy(destination, &number16, sizeof number16);
    } else if (number) {
        const uint32_t number32 = (uint32_t{value[0]} << 24) | (uint32_t{value[1]} << 16) |
                                  (uint32_t{value[2]} << 8) | value[3];
        std::memcpy(destination, &number32, sizeof number32);
    } else if (valueBytes > 0) {
        std::memcpy(destination, value, static_cast<size_t>(valueBytes));
    }
    list->position = static_cast<uint16_t>(list->position + kParamItemHeader + valueBytes);
    return list->position;
}

} // namespace

ParamList* ParamListCreate(uint8_t mode, uint16_t capacity, uint8_t* buffer) {
    if ((mode != kParamWriter && mode != kParamReader) || !buffer || capacity < kParamItemHeader) {
        return nullptr;
    }
    ParamList* list = ListPool().Acquire();
    if (list) {
        *list = ParamList{mode, buffer, capacity, 0, kRecordMagic};
    }
    return list;
}

int ParamListAdd(ParamList* list, uint8_t type, uint16_t tag, uint16_t length, uint16_t index,
                 const void* value) {
    if (!IsLive(list) || list->mode != kParamWriter || !list->buffer) {
        return kParamBadRecord;
    }
    const uint16_t valueLength = EffectiveLength(type, length);
    if (list->position + kParamItemHeader + valueLength > list->capacity) {
        return kParamBadRecord;
    }
    if (valueLength != 0 && !value) {
        return kParamBadRecord;
    }
    uint8_t* item = list->buffer + list->position;
    item[0] = static_cast<uint8_t>((type << 6) | ((tag >> 8) & 0x3F));
    item[1] = static_cast<uint8_t>(tag & 0xFF);
    PutBe16(item + 2, valueLength);
    PutBe16(item + 4, index);
    uint8_t* out = item + kParamItemHeader;
    if (type == kValueUint16) {
        uint16_t number;
        std::memcpy(&number, value, sizeof number);
        PutBe16(out, number);
    } else if (type == kValueUint32) {
        uint32_t number;
        std::memcpy(&number, value, sizeof number);
        PutBe16(out, static_cast<uint16_t>(number >> 16));
        PutBe16(out + 2, static_cast<uint16_t>(number));
    } else if (valueLength != 0) {
        std::memcpy(out, value, valueLength);
    }
    list->position = static_cast<uint16_t>(list->position + kParamItemHeader + valueLength);
    return list->position;
}

int ParamListGet(ParamList* list, uint8_t* type, uint16_t* tag, int* length, uint16_t* index,
                 void* destination) {
    return GetItem(list, type, tag, length, index, destination, GetMode::Decode);
}

int ParamListGetRaw(ParamList* list, uint8_t* type, uint16_t* tag, int* length, uint16_t* index,
                    void* destination) {
    return GetItem(list, type, tag, length, index, destination, GetMode::Raw);
}

int ParamListClose(ParamList* list) {
    if (!IsLive(list)) {
        return kParamBadRecord;
    }
    const int position = list->position;
    list->magic = 0;
    ListPool().Release(list);
    return position;
}

ProcExchange* ProcExchangeCreate() {
    ProcExchange* exchange = ExchangePool().Acquire();
    if (!exchange) {
        return nullptr;
    }
    exchange->requestBuffer = new (std::nothrow) uint8_t[kMessageBufferSize]{};
    exchange->replyBuffer = new (std::nothrow) uint8_t[kMessageBufferSize]{};
    if (exchange->requestBuffer) {
        exchange->requestList = ParamListCreate(kParamWriter, kMessageItemArea,
                                                exchange->requestBuffer + kMessageHeader);
    }
    if (!exchange->requestBuffer || !exchange->replyBuffer || !exchange->requestList) {
        delete[] exchange->requestBuffer;
        delete[] exchange->replyBuffer;
        ParamListClose(exchange->requestList);
        ExchangePool().Release(exchange);
        return nullptr;
    }
    exchange->requestCapacity = kMessageBufferSize;
    exchange->replyCapacity = kMessageBufferSize;
    exchange->magic = kRecordMagic;
    return exchange;
}

int ProcExchangeAdd(ProcExchange* exchange, uint8_t type, uint16_t tag, uint16_t length,
                    uint16_t index, const void* value) {
    if (!IsLive(exchange) || !IsLive(exchange->requestList)) {
        return kParamBadRecord;
    }
    const int result = ParamListAdd(exchange->requestList, type, tag, length, index, value);
    if (result > 0) {
        exchange->requestLength = static_cast<uint16_t>(result);
    }
    return result;
}

int ProcExchangeGet(ProcExchange* exchange, uint8_t* type, uint16_t* tag, int* length,
                    uint16_t* index, void* destination) {
    if (!IsLive(exchange) || !IsLive(exchange->replyList) || !length) {
        return kParamBadRecord;
    }
    return ParamListGet(exchange->replyList, type, tag, length, index, destination);
}

void ProcExchangeFree(ProcExchange* exchange) {
    if (!IsLive(exchange)) {
        return;
    }
    exchange->magic = 0;
    delete[] exchange->requestBuffer;
    delete[] exchange->replyBuffer;
    if (IsLive(exchange->requestList)) {
        ParamListClose(exchange->requestList);
    }
    if (IsLive(exchange->replyList)) {
        ParamListClose(exchange->replyList);
    }
    ExchangePool().Release(exchange);
}
