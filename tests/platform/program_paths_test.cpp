#include "platform/program_paths.h"
#include "platform/utf8.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

using platform::ProgramBaseName;
using platform::ProgramDirectory;
using platform::ProgramFilePath;

struct PathOverrides : ::testing::Test {
    ~PathOverrides() override {
        platform::SetProgramFileOverride(std::nullopt);
        platform::SetTempDirectoryOverride(std::nullopt);
    }
};

TEST_F(PathOverrides, RealProgramFileIsThisTest) {
    const auto path = ProgramFilePath();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(ProgramBaseName(), u"platform_tests");
    EXPECT_EQ(ProgramDirectory() + u"/platform_tests", *path);
}

TEST_F(PathOverrides, SplitsAtLastSeparatorAndLastDot) {
    struct Case {
        const char16_t* path;
        const char16_t* directory;
        const char16_t* baseName;
    };
    const Case cases[] = {
        {u"/opt/rav/Ravelin.exe", u"/opt/rav", u"Ravelin"},
        {u"/opt/rav.d/Ravelin", u"/opt/rav.d", u"Ravelin"},
        {u"/opt/a.b.c", u"/opt", u"a.b"},
        {u"/Ravelin", u"/", u"Ravelin"},
        {u"Ravelin.exe", u".", u"Ravelin"},
    };
    for (const Case& c : cases) {
        platform::SetProgramFileOverride(std::u16string(c.path));
        EXPECT_EQ(ProgramDirectory(), c.directory);
        EXPECT_EQ(ProgramBaseName(), c.baseName);
    }
}

TEST_F(PathOverrides, UnknownAndTooLongPaths) {
    platform::SetProgramFileOverride(std::u16string());
    EXPECT_FALSE(ProgramFilePath().has_value());
    EXPECT_EQ(ProgramDirectory(), u".");
    EXPECT_EQ(ProgramBaseName(), u"unknown");

    std::u16string longest = u"/" + std::u16string(platform::kMaxPathUnits - 2, u'x');
    platform::SetProgramFileOverride(longest);
    EXPECT_TRUE(ProgramFilePath().has_value());
    platform::SetProgramFileOverride(longest + u"x");
    EXPECT_FALSE(ProgramFilePath().has_value());
}

TEST_F(PathOverrides, TempFallsBackFromTempToTmpdirToTmp) {
    const char* savedTemp = std::getenv("TEMP");
    const char* savedTmpdir = std::getenv("TMPDIR");
    const std::string temp = savedTemp ? savedTemp : "";
    const std::string tmpdir = savedTmpdir ? savedTmpdir : "";

    setenv("TEMP", "/t/temp", 1);
    setenv("TMPDIR", "/t/tmpdir", 1);
    EXPECT_EQ(platform::TempDirectory(), u"/t/temp");
    unsetenv("TEMP");
    EXPECT_EQ(platform::TempDirectory(), u"/t/tmpdir");
    unsetenv("TMPDIR");
    EXPECT_EQ(platform::TempDirectory(), u"/tmp");
    platform::SetTempDirectoryOverride(u"/t/override");
    EXPECT_EQ(platform::TempDirectory(), u"/t/override");

    if (savedTemp) {
        setenv("TEMP", temp.c_str(), 1);
    }
    if (savedTmpdir) {
        setenv("TMPDIR", tmpdir.c_str(), 1);
    }
}

TEST(Utf8, RoundTripsAndRefusesLoneSurrogates) {
    const std::u16string text = u"a\u00e9\u4e2d\U0001F600'z";
    std::string utf8;
    ASSERT_TRUE(platform::Utf16ToUtf8(text, &utf8));
    EXPECT_EQ(utf8, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80'z");
    EXPECT_EQ(platform::Utf8ToUtf16(utf8), text);

    std::string untouched = "keep";
    EXPECT_FALSE(platform::Utf16ToUtf8(std::u16string(1, u'\xD800'), &untouched));
    EXPECT_FALSE(platform::Utf16ToUtf8(u"x" + std::u16string(1, u'\xDC00'), &untouched));
    EXPECT_EQ(untouched, "keep");

    // Truncated, overlong, stray continuation and encoded-surrogate sequences.
    EXPECT_EQ(platform::Utf8ToUtf16("a\xE4\xB8"), u"a\uFFFD");
    EXPECT_EQ(platform::Utf8ToUtf16("\xC0\xAF"
                                    "b"),
              u"\uFFFDb");
    EXPECT_EQ(platform::Utf8ToUtf16("\x80z"), u"\uFFFDz");
    EXPECT_EQ(platform::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");
}

} // namespace
