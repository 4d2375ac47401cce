// The reply forms that every command handler ends in.
#pragma once

#include "request/param_list.h"
#include "request/thread_context.h"

#include <cstdint>

// A writer over the reply item area of one call. Finish() stores the reply code and the
// item bytes written; a writer that could not be made writes nothing and finishes with
// no items.
class ReplyWriter {
  public:
    explicit ReplyWriter(ProcRequest& frame);
    ~ReplyWriter();
    ReplyWriter(const ReplyWriter&) = delete;
    ReplyWriter& operator=(const ReplyWriter&) = delete;

    bool Add(uint8_t type, uint16_t tag, uint16_t length, uint16_t index, const void* value);
    bool AddStatus(bool success, uint16_t index = 0);
    void Finish(uint16_t replyCode);

  private:
    ProcRequest& frame_;
    ParamList* list_;
};

// Status reply: `replyCode`, then one status item (0x55 or 0xAA).
void ReplyStatus(ProcRequest& frame, bool success, uint16_t replyCode);
// Empty reply: `replyCode`, no items.
void ReplyEmpty(ProcRequest& frame, uint16_t replyCode);
// Reply to a code the dispatcher does not know: 0x5555 and a fixed text, not a list.
void ReplyUnknownCommand(ProcRequest& frame);
