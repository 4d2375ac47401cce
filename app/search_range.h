// The checks Search makes on its address range before anything is sent, without any
// widget: the main window and the headless station show the same messages.
#pragma once

#include <cstdint>
#include <string>

inline constexpr uint32_t kMaxSearchSpan = 500; // end - start; 501 addresses
inline constexpr size_t kSearchTextUnits = 63;  // what Search reads of each field

struct SearchRangeCheck {
    bool accepted = false;
    std::u16string message; // empty when accepted
    std::u16string caption; // empty except for the range-size message
    uint32_t start = 0;     // first octet most significant
    uint32_t end = 0;       // equals start when the ending text is empty
};

// A dotted IPv4 text as Search converts it (first octet most significant).
uint32_t SearchAddressNumber(const std::u16string& text);

// Range mode only: an empty start is refused, an end below the start is refused, and an
// end more than 500 above the start is refused with the difference in the message.
SearchRangeCheck CheckSearchRange(const std::u16string& startText, const std::u16string& endText);
