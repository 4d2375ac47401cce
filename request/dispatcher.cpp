#include "request/command_table.h"
#include "request/proc_api.h"
#include "request/reply.h"

#include <cstring>

namespace {

void WriteMessageHeader(uint8_t* buffer, uint16_t length, uint16_t code) {
    // In-memory message: both header fields in host byte order.
    std::memcpy(buffer, &length, sizeof length);
    std::memcpy(buffer + 2, &code, sizeof code);
}

} // namespace

uint32_t UnpackedRequest::Number32(int i) const {
    uint8_t bytes[4] = {};
    std::memcpy(bytes, Value(i), items[i].length < 4 ? items[i].length : 4);
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
}

uint16_t UnpackedRequest::Number16(int i) const {
    uint8_t bytes[2] = {};
    std::memcpy(bytes, Value(i), items[i].length < 2 ? items[i].length : 2);
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

void UnpackRequest(const ProcRequest& frame, UnpackedRequest& request) {
    request.count = 0;
    if (frame.requestLength < kParamItemHeader || !frame.requestBuffer) {
        return;
    }
    ParamList* reader = ParamListCreate(kParamReader, frame.requestLength,
                                        frame.requestBuffer + frame.requestOffset);
    int used = 0;
    while (reader && request.count < kMaxRequestItems) {
        RequestItem& item = request.items[request.count];
        int length = kValueStoreSize - used;
        const int position = ParamListGetRaw(reader, &item.type, &item.tag, &length, &item.index,
                                             request.values + used);
        if (position < 0) {
            break;
        }
        item.length = static_cast<uint16_t>(length);
        item.valueOffset = static_cast<uint16_t>(used);
        item.endPosition = static_cast<uint16_t>(position);
        used += length;
        ++request.count;
    }
    ParamListClose(reader);
}

int ProcApiCall(ThreadContext* context) {
    if (!context) {
        return -1;
    }
    ProcRequest& frame = context->request;
    frame.replyTotal = 2;
    frame.replyLength = 0;
    frame.replyCode = 0;

    UnpackedRequest request;
    UnpackRequest(frame, request);
    if (const CommandEntry* entry = FindCommand(frame.command)) {
        entry->handler(*context, request);
    } else {
        ReplyUnknownCommand(frame);
    }
    frame.replyTotal = static_cast<uint16_t>(frame.replyTotal + frame.replyLength);
    return 0;
}

int ProcExchangeCall(ProcExchange* exchange, uint16_t command, uint16_t* replyCode) {
    if (!IsLive(exchange) || exchange->requestLength > kMaxRequestItemBytes ||
        !exchange->requestBuffer || !exchange->replyBuffer) {
        return kParamBadRecord;
    }
    WriteMessageHeader(exchange->requestBuffer, static_cast<uint16_t>(exchange->requestLength + 2),
                       command);

    ThreadContext call{};
    CopyThreadContext(TheThreadContext(), call);
    call.request = ProcRequest{};
    call.request.requestOffset = kMessageHeader;
    call.request.command = command;
    call.request.requestLength = exchange->requestLength;
    call.request.requestBuffer = exchange->requestBuffer;
    call.request.replyOffset = kMessageHeader;
    call.request.replyBuffer = exchange->replyBuffer;
    call.request.replyCapacity = exchange->replyCapacity;

    int result = ProcApiCall(&call);
    if (result >= 0) {
        if (call.request.replyTotal != 0) {
            WriteMessageHeader(exchange->replyBuffer, call.request.replyTotal,
                               call.request.replyCode);
        } else {
            result = -1;
        }
    }
    exchange->command = command;
    if (result < 0) {
        return result;
    }

    const int total = call.request.replyTotal + 2;
    if (total >= kMessageItemArea) {
        return total;
    }
    if (replyCode) {
        *replyCode = call.request.replyCode;
    }
    exchange->replyCode = call.request.replyCode;
    exchange->replyLength = static_cast<uint16_t>(total - kMessageHeader);
    if (IsLive(exchange->replyList)) {
        ParamListClose(exchange->replyList);
    }
    exchange->replyList = nullptr;
    if (exchange->replyLength >= kParamItemHeader) {
        exchange->replyList = ParamListCreate(kParamReader, exchange->replyLength,
                                              exchange->replyBuffer + kMessageHeader);
    }
    return exchange->replyLength;
}
