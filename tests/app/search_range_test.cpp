#include "app/search_range.h"

#include <gtest/gtest.h>

namespace {

struct RangeCase {
    const char16_t* start;
    const char16_t* end;
    bool accepted;
    const char16_t* message;
    const char16_t* caption;
};

TEST(SearchRange, TheMainWindowChecksAndMessages) {
    const RangeCase cases[] = {
        {u"10.0.0.1", u"10.0.1.245", true, u"", u""}, // a difference of exactly 500
        {u"10.0.0.1", u"10.0.1.246", false,
         u"Search range is too large (501), narrow it down to 500 or less",
         u"Search Parameter error"},
        {u"", u"10.0.0.9", false, u"Invalid NULL IP Address", u""},
        {u"10.0.0.9", u"10.0.0.8", false, u"End IP Address is less than the starting IP Address",
         u""},
        {u"10.0.0.9", u"", true, u"", u""}, // the start alone
        {u"0.0.0.1", u"255.255.255.255", false,
         u"Search range is too large (4294967294), narrow it down to 500 or less",
         u"Search Parameter error"},
    };
    for (const RangeCase& c : cases) {
        const SearchRangeCheck check = CheckSearchRange(c.start, c.end);
        EXPECT_EQ(check.accepted, c.accepted) << std::u16string(c.start).size();
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.caption, c.caption);
    }
}

TEST(SearchRange, AnEmptyEndSearchesTheStartOnly) {
    const SearchRangeCheck check = CheckSearchRange(u"127.1.2.3", u"");
    ASSERT_TRUE(check.accepted);
    EXPECT_EQ(check.start, 0x7F010203u);
    EXPECT_EQ(check.end, check.start);
}

} // namespace
