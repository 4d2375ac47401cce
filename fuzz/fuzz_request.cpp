// Feeds arbitrary bytes to the request layer: as the item area of a dispatcher request,
// and as the buffer of a list reader.
//
// Byte 0 picks the target. For the dispatcher, bytes 1-2 give the command code and the
// rest is the request item area; codes that would talk to units are skipped, so a fuzz
// run never sends anything. For the reader, byte 1 gives the room offered per item.
#include "request/command_table.h"
#include "request/param_list.h"
#include "request/proc_api.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void FuzzDispatcher(const uint8_t* data, size_t size) {
    if (size < 2) {
        return;
    }
    const uint16_t command = static_cast<uint16_t>((data[0] << 8) | data[1]);
    const CommandEntry* entry = FindCommand(command);
    if (entry && entry->talksToUnits) {
        return;
    }
    data += 2;
    size -= 2;
    if (size > kMessageItemArea) {
        size = kMessageItemArea;
    }
    // Buffers of exactly the message size, so ASan sees any overrun.
    std::vector<uint8_t> request(kMessageHeader + size);
    std::vector<uint8_t> reply(kMessageBufferSize);
    std::memcpy(request.data() + kMessageHeader, data, size);

    ThreadContext context{};
    context.request.requestOffset = kMessageHeader;
    context.request.command = command;
    context.request.requestLength = static_cast<uint16_t>(size);
    context.request.requestBuffer = request.data();
    context.request.replyOffset = kMessageHeader;
    context.request.replyBuffer = reply.data();
    context.request.replyCapacity = kMessageBufferSize;
    ProcApiCall(&context);
    if (context.request.replyTotal != context.request.replyLength + 2 ||
        context.request.replyLength > kMessageItemArea) {
        __builtin_trap();
    }
}

void FuzzReader(const uint8_t* data, size_t size) {
    if (size < 1) {
        return;
    }
    const int room = data[0] * 4;
    std::vector<uint8_t> buffer(data + 1, data + size);
    if (buffer.size() > 0xFFFF) {
        buffer.resize(0xFFFF);
    }
    ParamList* list =
        ParamListCreate(kParamReader, static_cast<uint16_t>(buffer.size()), buffer.data());
    std::vector<uint8_t> destination(static_cast<size_t>(room));
    uint8_t* target = destination.empty() ? buffer.data() : destination.data();
    for (bool raw = false;; raw = !raw) {
        int length = room;
        const int result = raw ? ParamListGetRaw(list, nullptr, nullptr, &length, nullptr, target)
                               : ParamListGet(list, nullptr, nullptr, &length, nullptr, target);
        if (result < 0) {
            break;
        }
    }
    ParamListClose(list);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    if (data[0] & 1) {
        FuzzReader(data + 1, size - 1);
    } else {
        FuzzDispatcher(data + 1, size - 1);
    }
    return 0;
}
