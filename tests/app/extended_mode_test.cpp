#include "app/extended_mode.h"

#include <gtest/gtest.h>

TEST(ExtendedMode, DashDAnywhereOrControlWithShift) {
    struct Case {
        std::vector<std::u16string> arguments;
        bool control, shift, expected;
    };
    const Case cases[] = {
        {{}, false, false, false},
        {{u"-d"}, false, false, true},
        {{u"/x-debug"}, false, false, true}, // "-d" inside a longer argument
        {{u"run", u"now-d"}, false, false, true},
        {{u"-D"}, false, false, false}, // case-sensitive
        {{u"-", u"d"}, false, false, false},
        {{}, true, true, true},
        {{}, true, false, false},
        {{}, false, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecideExtendedMode(c.arguments, c.control, c.shift), c.expected)
            << c.arguments.size() << c.control << c.shift;
    }
}
