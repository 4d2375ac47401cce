#include "request/request_items.h"

#include "config/address_text.h"

bool TagsAre(const UnpackedRequest& request, std::initializer_list<uint16_t> tags) {
    if (request.count < static_cast<int>(tags.size())) {
        return false;
    }
    int i = 0;
    for (uint16_t tag : tags) {
        if (request.items[i++].tag != tag) {
            return false;
        }
    }
    return true;
}

bool HasItem(const UnpackedRequest& request, int i, uint16_t tag) {
    return i < request.count && request.items[i].tag == tag;
}

void ItemText(const UnpackedRequest& request, int i, char16_t* text, int units) {
    int n = 0;
    if (i < request.count) {
        const uint8_t* bytes = request.Value(i);
        const int available = request.items[i].length / 2;
        for (; n < available && n < units - 1; ++n) {
            const auto unit = static_cast<char16_t>(bytes[2 * n] | (bytes[2 * n + 1] << 8));
            if (unit == 0) {
                break;
            }
            text[n] = unit;
        }
    }
    text[n] = 0;
}

void ItemIp(const UnpackedRequest& request, int i, uint8_t (&address)[4]) {
    char16_t text[kItemTextUnits];
    ItemText(request, i, text, kItemTextUnits);
    TextToIp(text, address);
}

void ItemMac(const UnpackedRequest& request, int i, uint8_t (&mac)[6]) {
    char16_t text[kItemTextUnits];
    ItemText(request, i, text, kItemTextUnits);
    TextToMac(text, mac);
}

uint8_t RequestFlags(const ThreadContext& context, const UnpackedRequest& request) {
    const uint8_t deviceType =
        request.count > 1 && request.items[1].length > 0 ? request.Value(1)[0] : 0;
    // The cipher mode occupies the flags' two low bits.
    return static_cast<uint8_t>(deviceType | (context.cipherMode & 0x03));
}

bool RoutedHere(const UnpackedRequest& request) {
    return request.count > 0 && request.Number32(0) == kRouteThisStation;
}
