#include "package/md5.h"
#include "package/test_package.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(Md5, TheTestSuiteOfRfc1321) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    cMD5 md5; // one object for every text: each digest starts afresh
    for (const auto& [text, digest] : suite) {
        EXPECT_STREQ(md5.DigestString(text), digest) << text;
    }
}

TEST(Md5, FedInPiecesAcrossBlockBoundaries) {
    // 55, 56 and 64 bytes are where the padding needs one or two more blocks.
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 200u}) {
        const std::string text(length, 'q');
        cMD5 whole;
        const std::string expected = whole.DigestString(text.c_str());
        cMD5 pieces;
        pieces.Init();
        for (size_t i = 0; i < length; i += 7) {
            pieces.Update(reinterpret_cast<const uint8_t*>(text.data()) + i,
                          std::min<size_t>(7, length - i));
        }
        uint8_t digest[16];
        pieces.Final(digest);
        char hex[33];
        for (int i = 0; i < 16; ++i) {
            std::snprintf(hex + i * 2, 3, "%02x", digest[i]);
        }
        EXPECT_EQ(std::string(hex), expected) << length;
    }
}

TEST(PackagePassword, FirstSixteenHexDigitsOfTheNoteLinesDigest) {
    // md5("tevpack-abcdefghijkl1234.bin") = 651040c4529a5e882459600028bc924f
    EXPECT_EQ(PackagePassword("tevpack-abcdefghijkl1234.bin"), "651040c4529a5e88");
    EXPECT_EQ(PackagePassword("tevpack3-abcdefghijkl9876.bin"), "e10aa521255ddfe3");
}

} // namespace
