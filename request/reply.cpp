#include "request/reply.h"

#include "request/proc_api.h"

#include <cstring>

namespace {

constexpr char kUnknownCommandText[] = " Connected to private Proc API port, GET OUT!!!\n";
static_assert(sizeof kUnknownCommandText == 49);

uint8_t* ReplyItems(ProcRequest& frame) {
    return frame.replyBuffer ? frame.replyBuffer + frame.replyOffset : nullptr;
}

uint16_t ReplyItemRoom(const ProcRequest& frame) {
    const int room = frame.replyCapacity - frame.replyOffset;
    return room > 0 ? static_cast<uint16_t>(room) : 0;
}

} // namespace

ReplyWriter::ReplyWriter(ProcRequest& frame)
    : frame_(frame), list_(ParamListCreate(kParamWriter, ReplyItemRoom(frame), ReplyItems(frame))) {
}

ReplyWriter::~ReplyWriter() {
    ParamListClose(list_);
}

bool ReplyWriter::Add(uint8_t type, uint16_t tag, uint16_t length, uint16_t index,
                      const void* value) {
    return ParamListAdd(list_, type, tag, length, index, value) > 0;
}

bool ReplyWriter::AddStatus(bool success, uint16_t index) {
    const uint8_t status = success ? kStatusSuccess : kStatusFailure;
    return Add(kValueByte, kTagStatus, 1, index, &status);
}

void ReplyWriter::Finish(uint16_t replyCode) {
    frame_.replyCode = replyCode;
    frame_.replyLength = IsLive(list_) ? list_->position : 0;
}

void ReplyStatus(ProcRequest& frame, bool success, uint16_t replyCode) {
    ReplyWriter reply(frame);
    reply.AddStatus(success);
    reply.Finish(replyCode);
}

void ReplyEmpty(ProcRequest& frame, uint16_t replyCode) {
    frame.replyCode = replyCode;
    frame.replyLength = 0;
}

void ReplyUnknownCommand(ProcRequest& frame) {
    frame.replyCode = kReplyUnknownCommand;
    frame.replyLength = 0;
    if (ReplyItems(frame) && ReplyItemRoom(frame) >= sizeof kUnknownCommandText) {
        std::memcpy(ReplyItems(frame), kUnknownCommandText, sizeof kUnknownCommandText);
        frame.replyLength = sizeof kUnknownCommandText - 1;
    }
}
