#include "config/number_text.h"

namespace {

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'z') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'Z') {
        return c - u'A' + 10;
    }
    return 99;
}

bool HexPrefix(const char16_t* p, const char16_t* end) {
    return end - p >= 3 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16;
}

} // namespace

int32_t ReadLongNumber(const char16_t* begin, const char16_t* end, int base) {
    const char16_t* p = begin;
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == u'+' || *p == u'-')) {
        negative = *p == u'-';
        ++p;
    }
    if (base == 0) {
        base = HexPrefix(p, end) ? 16 : (p < end && *p == u'0') ? 8 : 10;
    }
    if (base == 16 && HexPrefix(p, end)) {
        p += 2;
    }
    uint64_t magnitude = 0;
    for (; p < end && DigitValue(*p) < base; ++p) {
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*p));
        if (magnitude > 0x80000000u) {
            magnitude = 0x80000001u; // past both limits; stays there
        }
    }
    if (negative) {
        return magnitude >= 0x80000000u ? INT32_MIN : -static_cast<int32_t>(magnitude);
    }
    return magnitude > 0x7FFFFFFFu ? INT32_MAX : static_cast<int32_t>(magnitude);
}
