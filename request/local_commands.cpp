#include "request/local_commands.h"

#include "request/reply.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<uint8_t> gRequestFlagByte{0};
std::atomic<uint32_t> gStoredValue32{0};

// The process-wide information block of command 37; nothing in the program fills it.
constexpr uint8_t kInfoBlock[68] = {};

constexpr uint16_t kTagNoValue = 8;
constexpr uint16_t kTagSearchFlags = 19;
constexpr uint16_t kTagAddress = 3;
constexpr uint16_t kTagMask = 7;
constexpr uint16_t kTagInfoRequest = 21;
constexpr uint16_t kTagInfoBlock = 42;
constexpr uint16_t kTagFail38Exception = 43;

uint16_t Command(const ThreadContext& context) {
    return context.request.command;
}

void MarkFlag(ThreadContext& context, const UnpackedRequest& request, uint8_t bit) {
    if (request.count != 0) {
        ReplyStatus(context.request, false, Command(context));
        return;
    }
    gRequestFlagByte.fetch_or(bit, std::memory_order_relaxed);
    if (context.requestEvent) {
        platform::SetEvent(context.requestEvent);
    }
    ReplyStatus(context.request, true, Command(context));
}

} // namespace

uint8_t RequestFlagByte() {
    return gRequestFlagByte.load(std::memory_order_relaxed);
}

uint32_t StoredValue32() {
    return gStoredValue32.load(std::memory_order_relaxed);
}

void caseTestParamList(ThreadContext& context, const UnpackedRequest& request) {
    constexpr uint16_t kExpectedTags[] = {2, 1, 3, 4, 5, 6};
    bool success = request.count == 6;
    for (int i = 0; success && i < 6; ++i) {
        success = request.items[i].tag == kExpectedTags[i];
    }
    ReplyStatus(context.request, success, Command(context));
}

void caseQryNoValue(ThreadContext& context, const UnpackedRequest&) {
    ReplyWriter reply(context.request);
    const uint16_t noValue = 0xFFFF;
    reply.Add(kValueUint16, kTagNoValue, 2, 0, &noValue);
    reply.Finish(Command(context));
}

void caseFail(ThreadContext& context, const UnpackedRequest&) {
    ReplyStatus(context.request, false, Command(context));
}

void caseFail38(ThreadContext& context, const UnpackedRequest& request) {
    const bool keepsCode = request.count == 1 && request.items[0].tag == kTagFail38Exception;
    ReplyStatus(context.request, false, keepsCode ? Command(context) : 0);
}

void caseGetStationInfo(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count != 0) {
        ReplyStatus(context.request, false, 0);
        return;
    }
    ReplyWriter reply(context.request);
    const uint32_t searchFlags = context.searchFlags.load(std::memory_order_relaxed);
    reply.AddStatus(true);
    reply.Add(kValueUint32, kTagSearchFlags, 4, 0, &searchFlags);
    reply.Add(kValueBytes, kTagAddress, 4, 0, context.stationIp);
    reply.Add(kValueBytes, kTagMask, 4, 0, context.stationMask);
    reply.Add(kValueBytes, kTagAddress, 4, 1, context.secondIp);
    reply.Add(kValueBytes, kTagMask, 4, 1, context.secondMask);
    reply.Finish(Command(context));
}

void caseGetInfoBlock(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count != 1 || request.items[0].tag != kTagInfoRequest) {
        ReplyStatus(context.request, false, 0);
        return;
    }
    ReplyWriter reply(context.request);
    reply.AddStatus(true);
    reply.Add(kValueBytes, kTagInfoBlock, sizeof kInfoBlock, 0, kInfoBlock);
    reply.Finish(Command(context));
}

// The program keeps no text lines, so both text commands answer with no items.
void caseGetTextLines(ThreadContext& context, const UnpackedRequest&) {
    ReplyEmpty(context.request, Command(context));
}

void caseGetText(ThreadContext& context, const UnpackedRequest& request) {
    if (request.count != 1) {
        ReplyStatus(context.request, false, 0);
        return;
    }
    ReplyEmpty(context.request, Command(context));
}

void caseNoOp(ThreadContext& context, const UnpackedRequest&) {
    ReplyEmpty(context.request, Command(context));
}

void caseGetThreadStates(ThreadContext& context, const UnpackedRequest&) {
    ReplyWriter reply(context.request);
    for (int i = 0; i < kThreadStateCount; ++i) {
        const uint8_t state = context.threadStates[i].load(std::memory_order_relaxed);
        reply.Add(kValueByte, 0, 1, static_cast<uint16_t>(i), &state);
    }
    reply.Finish(Command(context));
}

void caseMarkFlag80(ThreadContext& context, const UnpackedRequest& request) {
    MarkFlag(context, request, 0x80);
}

void caseMarkFlag01(ThreadContext& context, const UnpackedRequest& request) {
    MarkFlag(context, request, 0x01);
}

void caseSetValue32(ThreadContext& context, const UnpackedRequest& request) {
    const bool success = request.count == 1;
    if (success) {
        gStoredValue32.store(request.Number32(0), std::memory_order_relaxed);
    }
    ReplyStatus(context.request, success, Command(context));
}

void caseEcho(ThreadContext& context, const UnpackedRequest&) {
    ProcRequest& frame = context.request;
    frame.replyCode = Command(context);
    frame.replyLength = 0;
    const int room = frame.replyCapacity - frame.replyOffset;
    if (frame.replyBuffer && frame.requestBuffer && frame.requestLength <= room) {
        std::copy_n(frame.requestBuffer + frame.requestOffset, frame.requestLength,
                    frame.replyBuffer + frame.replyOffset);
        frame.replyLength = frame.requestLength;
    }
}

void caseNotYetAvailable(ThreadContext& context, const UnpackedRequest&) {
    ReplyStatus(context.request, false, Command(context));
}
