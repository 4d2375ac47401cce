#include "request/discover_client.h"

#include "request/param_list.h"
#include "request/proc_api.h"
#include "request/request_items.h"

#include <cstddef>

namespace {

constexpr uint16_t kCommandQryDiscover = 1;
constexpr char16_t kAnyMac[] = u"0:0:0:0:0:0";
static_assert(sizeof kAnyMac == 24);

// Adds a UTF-16 text with its zero unit as UTF-16LE bytes.
bool AddText(ProcExchange* exchange, uint16_t tag, const char16_t* text) {
    uint8_t bytes[2 * kItemTextUnits];
    size_t n = 0;
    while (n < kItemTextUnits - 1 && text[n] != 0) {
        bytes[2 * n] = static_cast<uint8_t>(text[n] & 0xFF);
        bytes[2 * n + 1] = static_cast<uint8_t>(text[n] >> 8);
        ++n;
    }
    bytes[2 * n] = bytes[2 * n + 1] = 0;
    return ProcExchangeAdd(exchange, kValueBytes, tag, static_cast<uint16_t>(2 * (n + 1)), 0,
                           bytes) > 0;
}

bool Discover(ProcExchange* exchange, uint8_t deviceType, const char16_t* start,
              const char16_t* end) {
    const uint32_t route = kRouteThisStation;
    if (ProcExchangeAdd(exchange, kValueUint32, kTagRoute, 4, 0, &route) <= 0 ||
        ProcExchangeAdd(exchange, kValueByte, kTagDeviceType, 1, 0, &deviceType) <= 0 ||
        !AddText(exchange, kTagMacText, kAnyMac)) {
        return false;
    }
    if (start && (!AddText(exchange, kTagAddressText, start) ||
                  (end && !AddText(exchange, kTagAddressText, end)))) {
        return false;
    }
    uint16_t replyCode = 0;
    if (ProcExchangeCall(exchange, kCommandQryDiscover, &replyCode) < 0) {
        return false;
    }
    uint8_t type = 0;
    uint16_t tag = 0;
    int length = 1;
    uint8_t status = 0;
    return ProcExchangeGet(exchange, &type, &tag, &length, nullptr, &status) >= 0 &&
           replyCode == kCommandQryDiscover && type == kValueByte && tag == kTagStatus &&
           length == 1 && status == kStatusSuccess;
}

} // namespace

bool BroadcastQryDiscover(uint8_t deviceType, const char16_t* start, const char16_t* end) {
    ProcExchange* exchange = ProcExchangeCreate();
    if (!exchange) {
        return false;
    }
    const bool sent = Discover(exchange, deviceType, start, end);
    ProcExchangeFree(exchange);
    return sent;
}
