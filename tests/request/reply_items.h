// Decoding a whole reply item area in tests, item by item.
#pragma once

#include "request/param_list.h"

#include <cstdint>
#include <string>
#include <vector>

struct ReplyItem {
    uint8_t type;
    uint16_t tag;
    uint16_t index;
    std::vector<uint8_t> value;
};

// The items of `exchange`'s reply in order; `complete` says whether they fill the reply
// exactly, with no bytes left over.
inline std::vector<ReplyItem> ReplyItemsOf(const ProcExchange* exchange, bool* complete) {
    std::vector<ReplyItem> items;
    const uint8_t* p = exchange->replyBuffer + kMessageHeader;
    size_t position = 0;
    const size_t length = exchange->replyLength;
    while (position + kParamItemHeader <= length) {
        const uint8_t* item = p + position;
        const size_t valueLength = size_t{item[2]} << 8 | item[3];
        if (position + kParamItemHeader + valueLength > length) {
            break;
        }
        items.push_back({static_cast<uint8_t>(item[0] >> 6),
                         static_cast<uint16_t>((item[0] & 0x3F) << 8 | item[1]),
                         static_cast<uint16_t>(item[4] << 8 | item[5]),
                         {item + kParamItemHeader, item + kParamItemHeader + valueLength}});
        position += kParamItemHeader + valueLength;
    }
    if (complete) {
        *complete = position == length;
    }
    return items;
}

// UTF-16LE bytes of `text` with its zero unit.
inline std::vector<uint8_t> Utf16Bytes(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}
