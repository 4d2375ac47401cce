#include "request/request_text.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Utf16le(const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

TEST(RequestText, NarrowHostTextTakesLowBytesAndAtMost23Characters) {
    char host[kNarrowHostSize];
    auto bytes = Utf16le(u"192.0.2.7");
    NarrowHostText(bytes.data(), bytes.size(), host);
    EXPECT_STREQ(host, "192.0.2.7");

    auto longText = Utf16le(u"abcdefghijklmnopqrstuvwxyz");
    std::memset(host, 'X', sizeof host);
    NarrowHostText(longText.data(), longText.size(), host);
    EXPECT_EQ(std::string(host), "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(host[23], 0);

    auto wide = Utf16le(u"\u0141x");
    NarrowHostText(wide.data(), wide.size(), host);
    EXPECT_EQ(static_cast<uint8_t>(host[0]), 0x41);
    EXPECT_EQ(host[1], 'x');
}

TEST(RequestText, CopyName32) {
    char16_t name[32];
    std::u16string longName(40, u'n');
    EXPECT_EQ(CopyName32(name, longName.c_str()), 0);
    EXPECT_EQ(std::u16string(name), std::u16string(31, u'n'));
    EXPECT_EQ(CopyName32(name, u"ab"), 0);
    EXPECT_EQ(name[1], u'b');
    for (int i = 2; i < 32; ++i) {
        EXPECT_EQ(name[i], 0);
    }
    name[0] = u'q';
    EXPECT_EQ(CopyName32(name, nullptr), 22);
    EXPECT_EQ(name[0], u'q');
}

TEST(RequestText, IpToNarrowText) {
    char text[kNarrowIpSize];
    const uint8_t address[4] = {255, 255, 255, 255};
    IpToNarrowText(address, text);
    EXPECT_STREQ(text, "255.255.255.255");
}

TEST(RequestText, SplitHostPort) {
    struct Case {
        const char* input;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {"files.example:8080", "files.example", 8080},
        {"host", "host", 0},
        {":80", ":80", 0}, // the first character is never a separator
        {"a:b:21", "a:b", 21},
        {"host:", "host", 0},
        {"host:70000", "host", 0},
        {"host:12x", "host", 0},
    };
    for (const Case& c : cases) {
        char text[32];
        std::strcpy(text, c.input);
        uint16_t port = 1;
        SplitHostPort(text, &port);
        EXPECT_STREQ(text, c.host) << c.input;
        EXPECT_EQ(port, c.port) << c.input;
    }
}

} // namespace
