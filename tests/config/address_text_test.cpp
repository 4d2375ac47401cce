#include "config/address_text.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

namespace {

using Bytes4 = std::array<uint8_t, 4>;
using Bytes6 = std::array<uint8_t, 6>;

Bytes4 Ip(const char16_t* text) {
    Bytes4 out;
    out.fill(0xEE);
    TextToIp(text, out.data());
    return out;
}

Bytes6 Mac(const char16_t* text) {
    Bytes6 out;
    out.fill(0xEE);
    TextToMac(text, out.data());
    return out;
}

TEST(TextToIp, Cases) {
    struct Case {
        const char16_t* text;
        Bytes4 expected;
    };
    const Case cases[] = {
        {u"192.168.1.20", {192, 168, 1, 20}},
        {u"10.1.2", {10, 1, 2, 0}},
        {u"300.1.1.1", {44, 1, 1, 1}},
        {u"", {0, 0, 0, 0}},
        {nullptr, {0, 0, 0, 0}},
        {u"1.2.3.4.5", {1, 2, 3, 4}},
        {u"1.2.3.4.", {1, 2, 3, 4}},
        {u"a.b.7.x", {0, 0, 7, 0}},
        {u"12abc.3", {12, 3, 0, 0}},
        {u" 7.-1.0x10.9", {7, 255, 0, 9}},
        {u"99999999999.1.1.1", {255, 1, 1, 1}},
        {u"...", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ip(c.text), c.expected)
            << (c.text ? std::u16string(c.text).size() : 0) << " units";
    }
}

TEST(TextToIp, ReadsOnlyTheFirst31Units) {
    // Units 0..30 end in "1.2."; the "5.6" after them lies beyond the copy.
    std::u16string text(27, u'0');
    text += u"1.2.5.6";
    EXPECT_EQ(Ip(text.c_str()), (Bytes4{1, 2, 0, 0}));
    std::u16string exact(24, u'0');
    exact += u"1.2.3.4"; // exactly 31 units
    EXPECT_EQ(Ip(exact.c_str()), (Bytes4{1, 2, 3, 4}));
}

TEST(TextToMac, SeparatorsAndCase) {
    const Bytes6 expected{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(Mac(u"00-1A-2b-3C-4d-5E"), expected);
    EXPECT_EQ(Mac(u"00:1a:2b:3c:4d:5e"), expected);
    EXPECT_EQ(Mac(u"0x00:0x1a:2b-3c:4d:0x5e"), expected);
    EXPECT_EQ(Mac(u"1:2:3"), (Bytes6{1, 2, 3, 0, 0, 0}));
    EXPECT_EQ(Mac(u"1:2:3:4:5:6:7:8"), (Bytes6{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Mac(u"1FF:zz:0x:4:5:6"), (Bytes6{0xFF, 0, 0, 4, 5, 6}));
    EXPECT_EQ(Mac(nullptr), (Bytes6{}));
}

TEST(AddressToText, FormatsAndRoundTrips) {
    char16_t ip[kIpTextUnits];
    const uint8_t widest[4] = {255, 255, 255, 255};
    IpToText(widest, ip);
    EXPECT_EQ(std::u16string(ip), u"255.255.255.255");
    const uint8_t mixed[4] = {10, 0, 99, 100};
    IpToText(mixed, ip);
    EXPECT_EQ(std::u16string(ip), u"10.0.99.100");
    EXPECT_EQ(Ip(ip), (Bytes4{10, 0, 99, 100}));

    char16_t mac[kMacTextUnits];
    const uint8_t bytes[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    MacToText(bytes, mac);
    EXPECT_EQ(std::u16string(mac), u"00:1A:2B:3C:4D:5E");
    const uint8_t high[6] = {0xFF, 0xAB, 0x01, 0x10, 0xC0, 0x0F};
    MacToText(high, mac);
    EXPECT_EQ(std::u16string(mac), u"FF:AB:01:10:C0:0F");
    EXPECT_EQ(Mac(mac), (Bytes6{0xFF, 0xAB, 0x01, 0x10, 0xC0, 0x0F}));
}

TEST(TextToVersion, ThreeAndFourParts) {
    struct Case {
        const char16_t* text;
        int parts;
        Bytes4 expected; // unused tail bytes keep the 0xEE guard
    };
    const Case cases[] = {
        {u"4.210", 3, {4, 210, 0, 0xEE}},
        {u"1.2.3", 3, {1, 2, 3, 0xEE}},
        {u"1.2.3.4", 3, {1, 2, 3, 0xEE}}, // the fourth part is never stored
        {u"1.2.3.4.5", 4, {1, 2, 3, 4}},
        {u"1.2.3.4", 4, {1, 2, 3, 4}},
        {u"7", 4, {7, 0, 0, 0}},
        {u"", 3, {0, 0, 0, 0xEE}},
        {u"256.257.2", 3, {0, 1, 2, 0xEE}},
    };
    for (const Case& c : cases) {
        Bytes4 out;
        out.fill(0xEE);
        TextToVersion(c.text, out.data(), c.parts);
        EXPECT_EQ(out, c.expected) << c.parts << " parts";
    }
    Bytes4 untouched;
    untouched.fill(0xEE);
    TextToVersion(u"1.2", untouched.data(), 0);
    TextToVersion(u"1.2", untouched.data(), 5);
    EXPECT_EQ(untouched, (Bytes4{0xEE, 0xEE, 0xEE, 0xEE}));
}

} // namespace
