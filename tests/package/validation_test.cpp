#include "package/package_flags.h"
#include "package/validation.h"

#include <gtest/gtest.h>
#include <iterator>

namespace {

struct NoteCase {
    const char16_t* line;
    bool bootloader;
    const char16_t* error;
    PackageFormat format;
    uint32_t revision;
};

TEST(NoteCheck, FormatsLengthsAndRevisions) {
    const NoteCase cases[] = {
        // V1: 27 visible characters and the line break make the 28 needed.
        {u"tevpack-abcdefghijkl1234.bi\n", false, u"", PackageFormat::V1, 1234},
        {u"tevpack-abcdefghijkl1234.b\n", false, u"bad note - not in V1, V2 or V3 file name format",
         PackageFormat::None, 0},
        {u"tevpack-abcdefghijkl1234.bin\n", false, u"", PackageFormat::V1, 1234},
        // Cut at the last full stop only.
        {u"tevpack-abcdefghijkl770.1.bin\n", false, u"", PackageFormat::V1, 770},
        {u"tevpack-abcdefghijkl0000.bin\n", false, u"bad rev number in V1 package's note",
         PackageFormat::V1, 0},
        {u"tevpack2-abcdefghijkl1234.bin\n", false, u"", PackageFormat::V2, 1234},
        {u"tevpack2-abcdefghijklrevA.bin\n", false, u"bad rev number in V2 or V3 package's note",
         PackageFormat::V2, 0},
        {u"tevpack2-abcdefghijk1234.b\n", false, u"bad note - not in V1, V2 or V3 file name format",
         PackageFormat::None, 0},
        {u"tevpack3-abcdefghijkl9876.bin\n", false, u"", PackageFormat::V3, 9876},
        {u"tevpack3-abcdefghijkl.bin...\n", false, u"bad rev number in V2 or V3 package's note",
         PackageFormat::V3, 0},
        {u"tevpack4-abcdefghijkl9876.bin\n", false,
         u"bad note - not in V1, V2 or V3 file name format", PackageFormat::None, 0},
        {u"tevblpack-abcdefghijkl1234.bin\n", false,
         u"bad note - not in V1, V2 or V3 file name format", PackageFormat::None, 0},
        // Bootloader notes: 30 with the line break, and no revision.
        {u"tevblpack-abcdefghijkl12345.b\n", true, u"", PackageFormat::Bootloader, 0},
        {u"tevblpack-abcdefghijkl1234.b\n", true, u"bad note(1) in package", PackageFormat::None,
         0},
        {u"tevpack-abcdefghijkl1234.bin\n", true, u"bad note(1) in package", PackageFormat::None,
         0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const NoteCase& c = cases[i];
        const NoteResult result = CheckNoteLines({c.line}, c.bootloader);
        EXPECT_EQ(result.error, c.error) << "case " << i;
        if (result.format != PackageFormat::None || c.format != PackageFormat::None) {
            EXPECT_EQ(result.format, c.format);
        }
        EXPECT_EQ(result.revision, c.revision) << "case " << i;
    }
    EXPECT_EQ(CheckNoteLines({}, false).error, u"invalid note in package");
    EXPECT_EQ(CheckNoteFile(u"/nonexistent/tevnote.dat", false).error,
              u"Failed to get note in package");
}

TEST(NoteCheck, PasswordInputIsTheLineCutTo63WithoutItsLineBreaks) {
    EXPECT_EQ(CheckNoteLines({u"tevpack-abcdefghijkl1234.bin\n"}, false).passwordInput,
              "tevpack-abcdefghijkl1234.bin");
    EXPECT_EQ(CheckNoteLines({u"tevpack-abcdefghijkl1234.bin\r\r\n"}, false).passwordInput,
              "tevpack-abcdefghijkl1234.bin");
    const std::u16string longLine = u"tevpack-abcdefghijkl1234.bin" + std::u16string(60, u'x');
    const std::string cut = CheckNoteLines({longLine}, false).passwordInput;
    EXPECT_EQ(cut.size(), 63u);
    EXPECT_EQ(cut, std::string("tevpack-abcdefghijkl1234.bin") + std::string(35, 'x'));
}

TEST(NoteCheck, PackageIsV3FollowsTheLastLineThatReachedTheFormatTest) {
    PackageIsV3 = false;
    CheckNoteLines({u"tevpack3-abcdefghijkl9876.bin\n"}, false);
    EXPECT_TRUE(PackageIsV3);
    // A bootloader note that fails before the format test leaves it alone ...
    CheckNoteLines({u"short\n"}, true);
    EXPECT_TRUE(PackageIsV3);
    // ... one that reaches it clears it, as does any non-V3 firmware line.
    CheckNoteLines({u"tevblpack-abcdefghijkl12345.b\n"}, true);
    EXPECT_FALSE(PackageIsV3);
    CheckNoteLines({u"tevpack3-abcdefghijkl9876.bin\n"}, false);
    CheckNoteLines({u"garbage that is long enough to pass\n"}, false);
    EXPECT_FALSE(PackageIsV3);
}

struct ListCase {
    PackageFormat format;
    std::vector<std::u16string> members;
    const char16_t* error;
    uint8_t mask;
};

TEST(FileListCheck, MembersOfEachFormat) {
    const ListCase cases[] = {
        {PackageFormat::V1, {u"tevkernel.bin\n", u"tevfs.bin\n", u"tevpatch.bin\n"}, u"", 0x07},
        // Only the allowed name's length is compared.
        {PackageFormat::V1, {u"tevkernel.bin.old\n"}, u"", 0x01},
        {PackageFormat::V1, {u"tevbs.bin\n"}, u"", 0x00},
        {PackageFormat::V1, {u"tevkernel2.bin\n"}, u"bad file in V1 package", 0x80},
        {PackageFormat::V2, {u"tevkernel2.bin\n", u"tevbs.bin\n"}, u"", 0x01},
        {PackageFormat::V2, {u"tevfs2.bin\n", u"tevkernel.bin\n"}, u"bad file in V2 package", 0x02},
        {PackageFormat::V3,
         {u"tevkernel3.bin\n", u"tevfs3.bin\n", u"tevbs3.bin\n", u"tevuboot3.bin\n",
          u"tevdtb3.bin\n", u"tevat.bin\n"},
         u"",
         0x13},
        {PackageFormat::V3, {u"tevpatch.bin\n"}, u"bad file in V3 package", 0x80},
        {PackageFormat::Bootloader, {u"tevbootloader.bin\n"}, u"", 0x08},
        {PackageFormat::Bootloader,
         {u"tevkernel.bin\n"},
         u"bad file in V1 Boot Loader package",
         0x80},
        {PackageFormat::V1, {}, u"", 0x80},
        {PackageFormat::V1, {u"\n"}, u"bad file in V1 package", 0x80},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ListCase& c = cases[i];
        uint8_t mask = kContentsNothingYet;
        EXPECT_EQ(CheckMemberLines(c.members, c.format, &mask), c.error) << "case " << i;
        EXPECT_EQ(mask, c.mask) << "case " << i;
    }
    uint8_t mask = kContentsNothingYet;
    EXPECT_EQ(CheckFileListFile(u"/nonexistent/tevlist.dat", PackageFormat::V1, &mask),
              u"Failed to get list of files in package");
}

using Texts = std::vector<std::pair<PackageField, std::u16string>>;

TEST(ResultDisplay, VersionsByContentsOtherwiseNotAvailable) {
    EXPECT_EQ(ResultFieldTexts(false, false, 1234, 0x03),
              (Texts{{PackageField::Kernel, u"4.210"},
                     {PackageField::FileSystem, u"4.210"},
                     {PackageField::Patch, u"n/a"},
                     {PackageField::Revision, u"1234"}}));
    EXPECT_EQ(ResultFieldTexts(false, false, 770, 0x07), (Texts{{PackageField::Kernel, u"3.2"},
                                                                {PackageField::FileSystem, u"3.2"},
                                                                {PackageField::Patch, u"3.2"},
                                                                {PackageField::Revision, u"770"}}));
    const Texts none = {{PackageField::Kernel, u"n/a"},
                        {PackageField::FileSystem, u"n/a"},
                        {PackageField::Patch, u"n/a"}};
    EXPECT_EQ(ResultFieldTexts(false, false, 1234, 0x80), none); // empty member list
    EXPECT_EQ(ResultFieldTexts(false, true, 1234, 0x07), none);
    EXPECT_EQ(ResultFieldTexts(true, false, 0, 0x08), (Texts{{PackageField::Bootloader, u"n/a"}}));
    EXPECT_EQ(ResultFieldTexts(true, false, 5, 0x08), (Texts{{PackageField::Bootloader, u"5"}}));
}

} // namespace
