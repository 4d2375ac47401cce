#include "package/scripts.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

const std::u16string kTemp = u"/tmp/T";

FetchInputs Inputs(int method) {
    FetchInputs inputs;
    inputs.method = method;
    inputs.usbRoot = u"/media/usb0/";
    inputs.tftpServer = u"10.0.0.5";
    inputs.tftpFile = u"fw/tevpack-9.bin";
    inputs.tftpBootloaderFile = u"bl/tevblpack-9.bin";
    inputs.url = u"http://host/tevpack-9.bin";
    inputs.bootloaderUrl = u"ftp://user:pw@host/tevblpack-9.bin";
    return inputs;
}

const PackageFiles kFiles = MakePackageFiles(kTemp, u"/opt/rav", 0x1A2B);

// Lines 1 to 5 of the getpack table.
const Lines kHead = {
    "rem make sure in TEMP dir",
    "mkdir \"/tmp/T\"",
    "cd /d \"/tmp/T\"",
    "rem clean files",
    "del /q /s /f tevpack1A2B.dat tevnote1A2B.dat tevlist1A2B.dat teverr1A2B.dat",
};

// Lines 15 to 36.
const Lines kTail = {
    "if not exist tevpack1A2B.dat goto failed_getpack",
    "rem try to remove read-only flag",
    "attrib -R tevpack1A2B.dat",
    "rem get zipnote",
    "\"/opt/rav/unzip.exe\" -zq tevpack1A2B.dat > tevnote1A2B.dat",
    "if not %errorlevel% == 0 goto failed_getinfo",
    "rem get list of files in zip",
    "\"/opt/rav/unzip.exe\" -Z1 tevpack1A2B.dat > tevlist1A2B.dat",
    "if not %errorlevel% == 0 goto failed_getlist",
    "rem seems OK, let Ravelin handle info/list...",
    "goto alldone",
    "",
    ":failed_getpack",
    "echo Failed to get package! > teverr1A2B.dat",
    "goto alldone",
    "",
    ":failed_getinfo",
    "echo Failed to get note of package! > teverr1A2B.dat",
    "goto alldone",
    "",
    ":failed_getlist",
    "echo Failed to get list of files in package! > teverr1A2B.dat",
    "goto alldone",
    "",
    ":alldone",
    "echo.",
};

Lines Joined(const Lines& middle) {
    Lines all = kHead;
    all.insert(all.end(), middle.begin(), middle.end());
    all.insert(all.end(), kTail.begin(), kTail.end());
    return all;
}

TEST(PackageFiles, NamesCarryTheThreadIdInUpperCaseHex) {
    EXPECT_EQ(kFiles.packageCopy, u"tevpack1A2B.dat");
    EXPECT_EQ(kFiles.noteFile, u"tevnote1A2B.dat");
    EXPECT_EQ(kFiles.fileList, u"tevlist1A2B.dat");
    EXPECT_EQ(kFiles.errorFile, u"teverr1A2B.dat");
    EXPECT_EQ(kFiles.getpackScript, u"/tmp/T/tevget1A2B.cmd");
    EXPECT_EQ(kFiles.chkpackScript, u"/tmp/T/tevchk1A2B.cmd");
    EXPECT_EQ(kFiles.zipTool, u"/opt/rav/unzip.exe");
    EXPECT_EQ(kFiles.downloadTool, u"/opt/rav/wget.exe");
    EXPECT_EQ(kFiles.tftpClient, u"/opt/rav/TFTP.exe");
}

TEST(GetpackScript, EachMethodAndKindLineByLine) {
    const std::string fetchCheck = "if not %errorlevel% == 0 goto failed_getpack";
    EXPECT_EQ(GetpackScriptLines(kTemp, kFiles, Inputs(kMethodUsb), false),
              Joined({"rem USB method",
                      "for /f \"tokens=*\" %%F in ('dir /media/usb0/tevpack*-*.bin /B /O:-D') DO "
                      "set PACKFILE_BIN=/media/usb0/%%F",
                      "copy %PACKFILE_BIN% tevpack1A2B.dat", fetchCheck}));
    EXPECT_EQ(GetpackScriptLines(kTemp, kFiles, Inputs(kMethodUsb), true),
              Joined({"rem USB method", "copy /b /media/usb0/tevblpack-*.bin tevpack1A2B.dat",
                      fetchCheck}));
    EXPECT_EQ(GetpackScriptLines(kTemp, kFiles, Inputs(kMethodTftp), false),
              Joined({"rem TFTP method",
                      "\"/opt/rav/TFTP.exe\" -i 10.0.0.5 GET \"fw/tevpack-9.bin\" tevpack1A2B.dat",
                      fetchCheck}));
    EXPECT_EQ(
        GetpackScriptLines(kTemp, kFiles, Inputs(kMethodTftp), true),
        Joined({"rem TFTP method",
                "\"/opt/rav/TFTP.exe\" -i 10.0.0.5 GET \"bl/tevblpack-9.bin\" tevpack1A2B.dat",
                fetchCheck}));
    EXPECT_EQ(
        GetpackScriptLines(kTemp, kFiles, Inputs(kMethodHttpFtp), false),
        Joined({"rem URL method",
                "\"/opt/rav/wget.exe\" -O tevpack1A2B.dat http://host/tevpack-9.bin", fetchCheck}));
    EXPECT_EQ(GetpackScriptLines(kTemp, kFiles, Inputs(kMethodHttpFtp), true),
              Joined({"rem URL method",
                      "\"/opt/rav/wget.exe\" -O tevpack1A2B.dat "
                      "ftp://user:pw@host/tevblpack-9.bin",
                      fetchCheck}));
    // An unknown method fetches nothing, so the existence test fails it.
    EXPECT_EQ(GetpackScriptLines(kTemp, kFiles, Inputs(7), false), Joined({}));
}

TEST(ChkpackScript, LineByLine) {
    const Lines expected = {
        "rem make sure in TEMP dir",
        "mkdir \"/tmp/T\"",
        "cd /d \"/tmp/T\"",
        "rem clean files",
        "del /q /s /f teverr1A2B.dat",
        "rem make sure password is passed as %1",
        "if not exist tevpack1A2B.dat goto failed_readpack",
        "rem check with correct pw",
        "set PW=651040c4529a5e88",
        "\"/opt/rav/unzip.exe\" -P %PW% -tq tevpack1A2B.dat",
        "if not %errorlevel% == 0 goto failed_decrypt",
        "rem check with wrong pw",
        "\"/opt/rav/unzip.exe\" -P badpass -tq tevpack1A2B.dat",
        "if %errorlevel% == 0 goto failed_decrypt1",
        "rem passed test",
        "goto alldone",
        "",
        ":failed_readpack",
        "echo Failed to read package! > teverr1A2B.dat",
        "goto alldone",
        "",
        ":failed_decrypt",
        "echo Failed to decrypt the package! > teverr1A2B.dat",
        "goto alldone",
        "",
        ":failed_decrypt1",
        "echo package is corrupt! > teverr1A2B.dat",
        "goto alldone",
        "",
        ":alldone",
        "echo.",
    };
    EXPECT_EQ(ChkpackScriptLines(kTemp, kFiles, "651040c4529a5e88"), expected);
}

TEST(ScriptFile, LinesEndInCrLf) {
    char path[] = "/tmp/ravelin-script-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::u16string widePath;
    for (const char* p = path; *p; ++p) {
        widePath += static_cast<char16_t>(*p);
    }
    ASSERT_TRUE(WriteScriptFile(widePath, {"goto alldone", "", ":alldone", "echo."}));
    std::ifstream file(path, std::ios::binary);
    std::string bytes;
    char chunk[256];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<size_t>(file.gcount()));
    }
    EXPECT_EQ(bytes, "goto alldone\r\n\r\n:alldone\r\necho.\r\n");
    unlink(path);
    EXPECT_FALSE(WriteScriptFile(u"/nonexistent-dir/x.cmd", {"echo."}));
}

TEST(GetpackTexts, TextsThatCouldLeaveTheirArgumentAreRefused) {
    EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, Inputs(kMethodTftp), false), u"");
    EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, Inputs(kMethodHttpFtp), true), u"");
    EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, Inputs(kMethodUsb), false), u"");
    const std::u16string bad[] = {u"a\"b", u"a&b",      u"a|b",  u"a<b",  u"a>b",
                                  u"a^b",  u"a%PATH%b", u"a\nb", u"a\rb", u"a\tb"};
    for (const std::u16string& text : bad) {
        FetchInputs tftp = Inputs(kMethodTftp);
        tftp.tftpServer = text;
        EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, tftp, false).substr(0, 19),
                  u"The TFTP server con");
        tftp = Inputs(kMethodTftp);
        tftp.tftpFile = text;
        EXPECT_NE(CheckGetpackTexts(kTemp, kFiles, tftp, false), u"");
        // The bootloader test does not use the firmware file name.
        EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, tftp, true), u"");
        FetchInputs url = Inputs(kMethodHttpFtp);
        url.bootloaderUrl = text;
        EXPECT_EQ(CheckGetpackTexts(kTemp, kFiles, url, true),
                  u"The bootloader URL contains a character that cannot be passed to a script "
                  u"(\" & | < > ^ % or a line break)!");
        FetchInputs usb = Inputs(kMethodUsb);
        usb.usbRoot = u"/media/" + text + u"/";
        EXPECT_NE(CheckGetpackTexts(kTemp, kFiles, usb, false), u"");
        EXPECT_NE(CheckGetpackTexts(u"/tmp/" + text, kFiles, Inputs(kMethodTftp), false), u"");
    }
    // The drive root goes into the script unquoted.
    FetchInputs usb = Inputs(kMethodUsb);
    usb.usbRoot = u"/media/my stick/";
    EXPECT_NE(CheckGetpackTexts(kTemp, kFiles, usb, false), u"");
}

} // namespace
