// The dispatcher's table of command codes.
#pragma once

#include "request/proc_api.h"

#include <cstdint>

using CommandHandler = void (*)(ThreadContext& context, const UnpackedRequest& request);

struct CommandEntry {
    uint16_t code;
    const char* name;
    CommandHandler handler;
    bool talksToUnits; // sends to units (broadcast or session) rather than answering locally
};

// The entry for `code`, or null for a code the dispatcher does not know.
const CommandEntry* FindCommand(uint16_t code);
