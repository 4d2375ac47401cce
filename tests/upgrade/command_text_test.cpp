#include "upgrade/command_text.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

template <size_t N> void Put(char16_t (&field)[N], const std::u16string& text) {
    ASSERT_LT(text.size(), N);
    std::memset(field, 0, sizeof field);
    std::copy(text.begin(), text.end(), field);
}

PassSettings Settings(uint8_t method, uint8_t option = kOptionNone) {
    PassSettings s{};
    s.method = method;
    s.option = option;
    Put(s.tftpServer, u"192.0.2.9");
    Put(s.file, u"tevpack-3.18.5.bin");
    Put(s.bootloaderFile, u"tevblpack-7.bin");
    Put(s.url, u"http://192.0.2.9/tevpack-3.18.5.bin");
    Put(s.bootloaderUrl, u"http://192.0.2.9/tevblpack-7.bin");
    return s;
}

std::string Text(const PassSettings& settings, bool bootloader) {
    CommandText command;
    if (!BuildUpgradeCommandText(settings, bootloader, command)) {
        return "<none>";
    }
    EXPECT_EQ(std::strlen(command.text), command.length);
    return std::string(command.text, command.length);
}

TEST(UpgradeCommandText, EveryMethodWithAndWithoutTestBitAndBootloader) {
    struct Row {
        uint8_t method;
        bool bootloader;
        const char* expected;
    } rows[] = {
        {0, false, "usb"},
        {0, true, "usb"},
        {0x80, false, "testonly usb"},
        {1, false, "tftp 192.0.2.9 tevpack-3.18.5.bin"},
        {1, true, "tftp 192.0.2.9 tevblpack-7.bin"},
        {0x81, true, "testonly tftp 192.0.2.9 tevpack-3.18.5.bin"},
        {2, false, "url http://192.0.2.9/tevpack-3.18.5.bin"},
        {2, true, "url http://192.0.2.9/tevblpack-7.bin"},
        {0x82, true, "testonly url http://192.0.2.9/tevpack-3.18.5.bin"},
        {3, false, "<none>"},
        {0x7F, true, "<none>"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Text(Settings(row.method), row.bootloader), row.expected)
            << "method " << int(row.method) << " bootloader " << row.bootloader;
    }
}

TEST(UpgradeCommandText, StaysWithin255CharactersWithoutCuttingShort) {
    PassSettings s = Settings(kMethodTftp);
    Put(s.tftpServer, std::u16string(127, u's'));
    Put(s.file, std::u16string(127, u'f'));
    CommandText command;
    EXPECT_FALSE(BuildUpgradeCommandText(s, false, command)); // 5 + 127 + 1 + 127 = 260
    EXPECT_EQ(command.length, 0u);
    Put(s.file, std::u16string(122, u'f')); // exactly 255
    ASSERT_TRUE(BuildUpgradeCommandText(s, false, command));
    EXPECT_EQ(command.length, 255u);
    Put(s.file, std::u16string(123, u'f'));
    EXPECT_FALSE(BuildUpgradeCommandText(s, false, command));

    // A full-width URL field has no terminator of its own.
    PassSettings u = Settings(kMethodUrl);
    for (char16_t& c : u.url) {
        c = u'a';
    }
    EXPECT_FALSE(BuildUpgradeCommandText(u, false, command));
}

TEST(UpgradeCommandText, NonAsciiSettingsBecomeQuestionMarks) {
    PassSettings s = Settings(kMethodUrl);
    Put(s.url, u"http://h/\u00e9t\u00e9.bin");
    EXPECT_EQ(Text(s, false), "url http://h/?t?.bin");
}

TEST(UnitCommand, OptionWordsAndOlderUnits) {
    CommandText command;
    ASSERT_TRUE(BuildUpgradeCommandText(Settings(kMethodUsb), false, command));
    char out[kUnitCommandRoom];
    EXPECT_EQ(ComposeUnitCommand(command, kOptionNone, true, out), 4);
    EXPECT_STREQ(out, " usb");
    EXPECT_EQ(ComposeUnitCommand(command, kOptionNotEqual, true, out), 9);
    EXPECT_STREQ(out, "noteq usb");
    EXPECT_EQ(ComposeUnitCommand(command, kOptionForce, true, out), 9);
    EXPECT_STREQ(out, "force usb");
    EXPECT_EQ(ComposeUnitCommand(command, kOptionForce, false, out), 3);
    EXPECT_STREQ(out, "usb");
    // An option without a word fails every unit, old or new.
    EXPECT_EQ(ComposeUnitCommand(command, 3, true, out), -1);
    EXPECT_EQ(ComposeUnitCommand(command, 3, false, out), -1);
    EXPECT_EQ(OptionWord(3), nullptr);
}

TEST(UnitCommand, TextAndZeroByteMustFit128Bytes) {
    PassSettings s = Settings(kMethodUrl);
    // "url " + 123 = 127 characters: 128 bytes with the zero byte.
    Put(s.url, std::u16string(123, u'x'));
    CommandText command;
    ASSERT_TRUE(BuildUpgradeCommandText(s, false, command));
    char out[kUnitCommandRoom];
    EXPECT_EQ(ComposeUnitCommand(command, kOptionForce, false, out), 127);
    // A new unit gets "force " in front: 133 bytes, refused rather than cut.
    EXPECT_EQ(ComposeUnitCommand(command, kOptionForce, true, out), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(ComposeUnitCommand(command, kOptionNone, true, out), -1); // 129 bytes
    Put(s.url, std::u16string(124, u'x'));
    ASSERT_TRUE(BuildUpgradeCommandText(s, false, command));
    EXPECT_EQ(ComposeUnitCommand(command, kOptionNone, false, out), -1);
}

TEST(SecondariesData, OptionByteAndBootloaderByte) {
    uint8_t data[kSecondariesDataRoom];
    ASSERT_EQ(SecondariesUpgradeData(2, true, data), 6u);
    const uint8_t withBoot[] = {0x95, 0x13, 0x24, 0x08, 0x02, 0x01};
    EXPECT_EQ(std::memcmp(data, withBoot, 6), 0);
    ASSERT_EQ(SecondariesUpgradeData(1, false, data), 5u);
    const uint8_t without[] = {0x95, 0x13, 0x24, 0x08, 0x01};
    EXPECT_EQ(std::memcmp(data, without, 5), 0);
}

TEST(UnitVersion, PackageQueryFromMinor17Build227) {
    EXPECT_LT(UnitVersionNumber(17, 226), kPackageQueryVersion); // 2.17.226
    EXPECT_GE(UnitVersionNumber(17, 227), kPackageQueryVersion); // 0.17.227
    EXPECT_GE(UnitVersionNumber(18, 0), kPackageQueryVersion);
}

} // namespace
