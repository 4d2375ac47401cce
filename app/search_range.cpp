#include "app/search_range.h"

#include "config/address_text.h"

#include <string>

uint32_t SearchAddressNumber(const std::u16string& text) {
    uint8_t bytes[4] = {};
    TextToIp(text.substr(0, kSearchTextUnits).c_str(), bytes);
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

SearchRangeCheck CheckSearchRange(const std::u16string& startText, const std::u16string& endText) {
    SearchRangeCheck check;
    const std::u16string start = startText.substr(0, kSearchTextUnits);
    const std::u16string end = endText.substr(0, kSearchTextUnits);
    if (start.empty()) {
        check.message = u"Invalid NULL IP Address";
        return check;
    }
    check.start = SearchAddressNumber(start);
    check.end = end.empty() ? check.start : SearchAddressNumber(end);
    if (!end.empty() && check.end < check.start) {
        check.message = u"End IP Address is less than the starting IP Address";
        return check;
    }
    const uint32_t span = check.end - check.start;
    if (span > kMaxSearchSpan) {
        const std::string number = std::to_string(span);
        check.message = u"Search range is too large (" +
                        std::u16string(number.begin(), number.end()) +
                        u"), narrow it down to 500 or less";
        check.caption = u"Search Parameter error";
        return check;
    }
    check.accepted = true;
    return check;
}
