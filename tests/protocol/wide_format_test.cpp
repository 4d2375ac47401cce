#include "protocol/wide_format.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

std::u16string Format(const char16_t* format, auto... args) {
    char16_t out[256];
    const size_t length = WideFormat(out, 256, format, args...);
    return std::u16string(out, length);
}

std::u16string Widen(const char* text) {
    std::u16string out;
    for (; *text; ++text) {
        out += static_cast<char16_t>(static_cast<unsigned char>(*text));
    }
    return out;
}

TEST(WideFormat, StringsFollowTheWindowsDialect) {
    EXPECT_EQ(Format(u"deviceName=[%s], groupName[%s], ", u"PDU-7", u"Lab"),
              u"deviceName=[PDU-7], groupName[Lab], ");
    EXPECT_EQ(Format(u"%S: Failed RecvPacket\n", "CompTalkSend"),
              u"CompTalkSend: Failed RecvPacket\n");
    EXPECT_EQ(Format(u"[%hs|%ls|%ws]", "n", u"w", u"w"), u"[n|w|w]");
    EXPECT_EQ(Format(u"[%c%C%lc]", u'\u00e9', 'z', u'\u4e2d'), u"[\u00e9z\u4e2d]");
    EXPECT_EQ(Format(u"[%5s][%-5S][%.2s]", u"ab", "cd", u"xyz"), u"[   ab][cd   ][xy]");
    EXPECT_EQ(Format(u"[%s][%S]", static_cast<const char16_t*>(nullptr),
                     static_cast<const char*>(nullptr)),
              u"[(null)][(null)]");
    // Narrow bytes above 0x7F widen one to one.
    EXPECT_EQ(Format(u"%S", "\xe9"), u"\u00e9");
    EXPECT_EQ(Format(u"100%% %q done"), u"100% %q done");
}

TEST(WideFormat, IntegersMatchTheCLibrary) {
    struct Case {
        const char16_t* wide;
        const char* narrow;
        int value;
    } cases[] = {
        {u"%d", "%d", -42},
        {u"%5d", "%5d", -42},
        {u"%-5d|", "%-5d|", 42},
        {u"%05d", "%05d", -42},
        {u"%+d", "%+d", 42},
        {u"% d", "% d", 42},
        {u"%.3d", "%.3d", 7},
        {u"%8.3d", "%8.3d", -7},
        {u"%.0d", "%.0d", 0},
        {u"%x", "%x", 0xBEEF},
        {u"%X", "%X", 0xBEEF},
        {u"%#x", "%#x", 255},
        {u"%#x", "%#x", 0},
        {u"%2.2x", "%2.2x", 5},
        {u"%2.2x", "%2.2x", 0xAB},
        {u"%-4.4X|", "%-4.4X|", 0x1},
        {u"%-8.8X|", "%-8.8X|", 0x1234},
        {u"%4.4x", "%4.4x", 0x12},
        {u"%u", "%u", -1},
        {u"%o", "%o", 8},
        {u"%#o", "%#o", 8},
        {u"%i", "%i", -2147483647 - 1},
        {u"%*d", "%*d", 0},
    };
    for (const Case& c : cases) {
        char expected[64];
        if (std::string(c.narrow) == "%*d") {
            std::snprintf(expected, sizeof expected, "%*d", 6, 31);
            EXPECT_EQ(Format(c.wide, 6, 31), Widen(expected));
            continue;
        }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        std::snprintf(expected, sizeof expected, c.narrow, c.value);
#pragma GCC diagnostic pop
        EXPECT_EQ(Format(c.wide, c.value), Widen(expected)) << c.narrow;
    }
}

TEST(WideFormat, SizePrefixesReadWindowsWidths) {
    // "l" is 32 bits wide, as long is on Windows.
    EXPECT_EQ(Format(u"%lu %lx", 4000000000u, 0xFFFFFFFFu), u"4000000000 ffffffff");
    EXPECT_EQ(Format(u"%llu %I64d", 18446744073709551615ull, -5ll), u"18446744073709551615 -5");
    EXPECT_EQ(Format(u"%hd %hu %hhx", 70000, 70000, 0x1FF), u"4464 4464 ff");
    EXPECT_EQ(Format(u"%zu %Iu", size_t{123}, size_t{456}), u"123 456");
    EXPECT_EQ(Format(u"%d.%d.%d.%d", 198, 51, 100, 7), u"198.51.100.7");
    EXPECT_EQ(Format(u"%p", reinterpret_cast<void*>(0x1234)), u"0000000000001234");
}

TEST(WideFormat, OutputIsCutToTheCapacityAndTerminated) {
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(WideFormat(out, 5, u"%s-%d", u"abcdef", 12), 4u);
    EXPECT_EQ(std::u16string(out), u"abcd");
    EXPECT_EQ(out[5], u'#');
    EXPECT_EQ(WideFormat(out, 1, u"x"), 0u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(WideFormat(out, 8, u"ab%"), 2u); // a dangling % ends the text
}

} // namespace
