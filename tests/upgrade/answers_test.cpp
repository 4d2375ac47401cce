#include "upgrade/answers.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// map, kernel, file-system and patch versions, then `name` with its zero byte.
Bytes PackageHead(const std::string& name) {
    Bytes a = {7, 0, 1, 2, 3, 0, 4, 5, 6, 0, 8, 9, 10};
    a.insert(a.end(), name.begin(), name.end());
    a.push_back(0);
    return a;
}

DeviceEntry Blank() {
    DeviceEntry e{};
    e.map = 0xEE;
    std::u16string old = u"old";
    std::copy(old.begin(), old.end(), e.packFilename);
    return e;
}

std::u16string Str(const char16_t* text) {
    return text;
}

TEST(PackageAttributes, TwelveBytesChangeNothing) {
    Bytes a = PackageHead("abcde");
    a.resize(12);
    DeviceEntry e = Blank();
    EXPECT_FALSE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(e.map, 0xEE);
    EXPECT_EQ(Str(e.packFilename), u"old");
}

TEST(PackageAttributes, TwentyThreeBytesLeaveTheBootloaderUnknown) {
    Bytes a = PackageHead("abcde");  // 19 bytes
    a.insert(a.end(), {0, 0, 1, 2}); // 23: the revision, but nothing after it
    DeviceEntry e = Blank();
    ASSERT_TRUE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(e.map, 7);
    EXPECT_EQ(e.packKernelVersion.major, 1);
    EXPECT_EQ(e.packKernelVersion.build, 3);
    EXPECT_EQ(e.packFilesysVersion.minor, 5);
    EXPECT_EQ(e.packPatchVersion.build, 10);
    EXPECT_EQ(Str(e.packFilename), u"abcde");
    EXPECT_EQ(e.blPackRev, 0u);
    EXPECT_EQ(Str(e.blPackFilename), u"unknown");
}

TEST(PackageAttributes, TwentyFourBytesReadTheRevision) {
    Bytes a = PackageHead("abcde");
    a.insert(a.end(), {0x01, 0x02, 0x03, 0x04, 'b'});
    DeviceEntry e = Blank();
    ASSERT_TRUE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(e.blPackRev, 0x01020304u);
    EXPECT_EQ(Str(e.blPackFilename), u"b"); // no zero byte: ends at the answer's end

    a.pop_back();
    const std::string bl = "tevblpack-9.bin";
    a.insert(a.end(), bl.begin(), bl.end());
    a.push_back(0);
    ASSERT_TRUE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(Str(e.blPackFilename), u"tevblpack-9.bin");
}

TEST(PackageAttributes, LongNamesAreKeptTo63AndOffsetsFollowTheRealLength) {
    const std::string name(100, 'n'); // the answer a session can carry exceeds 128 bytes
    Bytes a = PackageHead(name);
    a.insert(a.end(), {0, 0, 0, 9});
    const std::string bl(80, 'b');
    a.insert(a.end(), bl.begin(), bl.end());
    a.push_back(0);
    ASSERT_EQ(a.size(), 13u + 101 + 4 + 81);
    DeviceEntry e = Blank();
    ASSERT_TRUE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(Str(e.packFilename), std::u16string(63, u'n'));
    EXPECT_EQ(e.blPackRev, 9u);
    EXPECT_EQ(Str(e.blPackFilename), std::u16string(63, u'b'));
}

TEST(PackageAttributes, NameWithoutZeroEndsAtTheAnswer) {
    Bytes a = PackageHead("abcdefgh");
    a.pop_back(); // 21 bytes, no zero
    DeviceEntry e = Blank();
    ASSERT_TRUE(DecodePackageAttributes(a.data(), a.size(), e));
    EXPECT_EQ(Str(e.packFilename), u"abcdefgh");
    EXPECT_EQ(Str(e.blPackFilename), u"unknown");
}

TEST(SecondaryList, CountFromLengthAtMost32) {
    EXPECT_EQ(SecondaryCount(0), 0);
    EXPECT_EQ(SecondaryCount(3), 0);
    EXPECT_EQ(SecondaryCount(4), 0);
    EXPECT_EQ(SecondaryCount(12), 2);
    EXPECT_EQ(SecondaryCount(15), 2);
    EXPECT_EQ(SecondaryCount(132), 32); // 32 secondaries: 132 bytes
    EXPECT_EQ(SecondaryCount(2044), 32);
    const uint8_t list[] = {0, 0, 0, 0, 0, 0, 0, 5, 0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(SecondaryId(list, 0), 5u);
    EXPECT_EQ(SecondaryId(list, 1), 0x12345678u);
}

TEST(SecondaryDetails, VersionsNeed16BytesAndTheRevision20) {
    uint8_t a[20];
    for (int i = 0; i < 20; ++i) {
        a[i] = static_cast<uint8_t>(i + 1);
    }
    SecondaryEntry s{};
    s.bootloaderRev = 77;
    EXPECT_FALSE(DecodeSecondaryVersions(a, 15, s));
    EXPECT_EQ(s.bootloaderRev, 77u);
    ASSERT_TRUE(DecodeSecondaryVersions(a, 16, s));
    EXPECT_EQ(s.swVersion.major, 1);
    EXPECT_EQ(s.swVersion.build, 3);
    EXPECT_EQ(s.hwRev, 5);
    EXPECT_EQ(s.kernelVersion.major, 6);
    EXPECT_EQ(s.filesysVersion.major, 10);
    EXPECT_EQ(s.patchVersion.build, 16);
    EXPECT_EQ(s.bootloaderRev, 0u);
    ASSERT_TRUE(DecodeSecondaryVersions(a, 20, s));
    EXPECT_EQ(s.bootloaderRev, 0x11121314u);
}

TEST(SecondaryDetails, ModelAndNameAreBounded) {
    SecondaryEntry s{};
    const std::string model = "P1-2ABCD-EFGHIJKLMNOPQRS"; // longer than 19
    EXPECT_FALSE(DecodeSecondaryModel(reinterpret_cast<const uint8_t*>(model.data()), 10, s));
    ASSERT_TRUE(
        DecodeSecondaryModel(reinterpret_cast<const uint8_t*>(model.data()), model.size(), s));
    EXPECT_EQ(Str(s.model), u"P1-2ABCD-EFGHIJKLMN");
    const std::string name(40, 'q');
    EXPECT_FALSE(DecodeSecondaryName(reinterpret_cast<const uint8_t*>(name.data()), 0, s));
    ASSERT_TRUE(DecodeSecondaryName(reinterpret_cast<const uint8_t*>(name.data()), 3, s));
    EXPECT_EQ(Str(s.name), u"qqq");
    ASSERT_TRUE(DecodeSecondaryName(reinterpret_cast<const uint8_t*>(name.data()), 40, s));
    EXPECT_EQ(Str(s.name), std::u16string(31, u'q'));
}

} // namespace
