// The request dispatcher: one entry point that unpacks a request list, runs the command's
// handler and writes the reply message.
#pragma once

#include "request/param_list.h"
#include "request/thread_context.h"

#include <cstdint>

inline constexpr int kMaxRequestItems = 64;
inline constexpr int kValueStoreSize = 2048;
inline constexpr uint16_t kMaxRequestItemBytes = 2043;

inline constexpr uint16_t kTagStatus = 4;
inline constexpr uint16_t kTagRoute = 20;
inline constexpr uint8_t kStatusSuccess = 0x55;
inline constexpr uint8_t kStatusFailure = 0xAA;
inline constexpr uint32_t kRouteThisStation = 0xFFFFFFFFu;
inline constexpr uint16_t kReplyUnknownCommand = 0x5555;

// One unpacked request item; its value lies at `valueOffset` in the value store.
struct RequestItem {
    uint8_t type;
    uint16_t tag;
    uint16_t index;
    uint16_t length;
    uint16_t valueOffset;
    uint16_t endPosition; // request position just after the item
};

// Up to 64 request items with their values copied back to back, unchanged.
struct UnpackedRequest {
    RequestItem items[kMaxRequestItems];
    uint8_t values[kValueStoreSize];
    int count;

    const uint8_t* Value(int i) const { return values + items[i].valueOffset; }
    // Numbers are read from the first value bytes, most significant first, whatever the
    // item's declared type; bytes the value lacks count as zero.
    uint32_t Number32(int i) const;
    uint16_t Number16(int i) const;
};

// Runs the request held in context->request. Returns 0, or -1 without a context; the
// command's outcome travels in the reply.
int ProcApiCall(ThreadContext* context);

// Fills `request` from the request item area of `frame`.
void UnpackRequest(const ProcRequest& frame, UnpackedRequest& request);
