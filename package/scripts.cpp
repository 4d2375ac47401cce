#include "package/scripts.h"

#include "platform/utf8.h"

#include <fstream>

namespace {

// The scripts are single-byte text; paths and names go in as UTF-8, the file system's
// encoding here.
std::string Narrow(const std::u16string& text) {
    std::string result;
    if (!platform::Utf16ToUtf8(text, &result)) {
        return {};
    }
    return result;
}

std::string Quoted(const std::u16string& text) {
    return "\"" + Narrow(text) + "\"";
}

bool FitForScript(const std::u16string& text, bool blankAllowed) {
    std::string narrow;
    if (!platform::Utf16ToUtf8(text, &narrow)) {
        return false;
    }
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F || c == u'"' || c == u'&' || c == u'|' || c == u'<' ||
            c == u'>' || c == u'^' || c == u'%' || (c == u' ' && !blankAllowed)) {
            return false;
        }
    }
    return true;
}

std::u16string Refusal(const char16_t* what) {
    return std::u16string(u"The ") + what +
           u" contains a character that cannot be passed to a script (\" & | < > ^ % or a "
           u"line break)!";
}

} // namespace

std::vector<std::string> GetpackScriptLines(const std::u16string& tempDirectory,
                                            const PackageFiles& files, const FetchInputs& inputs,
                                            bool isBootloader) {
    const std::string copy = Narrow(files.packageCopy);
    const std::string note = Narrow(files.noteFile);
    const std::string list = Narrow(files.fileList);
    const std::string error = Narrow(files.errorFile);
    std::vector<std::string> lines = {
        "rem make sure in TEMP dir",
        "mkdir " + Quoted(tempDirectory),
        "cd /d " + Quoted(tempDirectory),
        "rem clean files",
        "del /q /s /f " + copy + " " + note + " " + list + " " + error,
    };
    const bool known = inputs.method == kMethodUsb || inputs.method == kMethodTftp ||
                       inputs.method == kMethodHttpFtp;
    if (inputs.method == kMethodUsb) {
        const std::string root = Narrow(inputs.usbRoot);
        lines.push_back("rem USB method");
        if (!isBootloader) {
            lines.push_back("for /f \"tokens=*\" %%F in ('dir " + root +
                            "tevpack*-*.bin /B /O:-D') DO set PACKFILE_BIN=" + root + "%%F");
            lines.push_back("copy %PACKFILE_BIN% " + copy);
        } else {
            lines.push_back("copy /b " + root + "tevblpack-*.bin " + copy);
        }
    } else if (inputs.method == kMethodTftp) {
        lines.push_back("rem TFTP method");
        lines.push_back(Quoted(files.tftpClient) + " -i " + Narrow(inputs.tftpServer) + " GET " +
                        Quoted(isBootloader ? inputs.tftpBootloaderFile : inputs.tftpFile) + " " +
                        copy);
    } else if (inputs.method == kMethodHttpFtp) {
        lines.push_back("rem URL method");
        lines.push_back(Quoted(files.downloadTool) + " -O " + copy + " " +
                        Narrow(isBootloader ? inputs.bootloaderUrl : inputs.url));
    }
    if (known) {
        lines.push_back("if not %errorlevel% == 0 goto failed_getpack");
    }
    const std::vector<std::string> tail = {
        "if not exist " + copy + " goto failed_getpack",
        "rem try to remove read-only flag",
        "attrib -R " + copy,
        "rem get zipnote",
        Quoted(files.zipTool) + " -zq " + copy + " > " + note,
        "if not %errorlevel% == 0 goto failed_getinfo",
        "rem get list of files in zip",
        Quoted(files.zipTool) + " -Z1 " + copy + " > " + list,
        "if not %errorlevel% == 0 goto failed_getlist",
        "rem seems OK, let Ravelin handle info/list...",
        "goto alldone",
        "",
        ":failed_getpack",
        "echo Failed to get package! > " + error,
        "goto alldone",
        "",
        ":failed_getinfo",
        "echo Failed to get note of package! > " + error,
        "goto alldone",
        "",
        ":failed_getlist",
        "echo Failed to get list of files in package! > " + error,
        "goto alldone",
        "",
        ":alldone",
        "echo.",
    };
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
}

std::vector<std::string> ChkpackScriptLines(const std::u16string& tempDirectory,
                                            const PackageFiles& files,
                                            const std::string& password) {
    const std::string copy = Narrow(files.packageCopy);
    const std::string error = Narrow(files.errorFile);
    const std::string zip = Quoted(files.zipTool);
    return {
        "rem make sure in TEMP dir",
        "mkdir " + Quoted(tempDirectory),
        "cd /d " + Quoted(tempDirectory),
        "rem clean files",
        "del /q /s /f " + error,
        "rem make sure password is passed as %1",
        "if not exist " + copy + " goto failed_readpack",
        "rem check with correct pw",
        "set PW=" + password,
        zip + " -P %PW% -tq " + copy,
        "if not %errorlevel% == 0 goto failed_decrypt",
        "rem check with wrong pw",
        zip + " -P badpass -tq " + copy,
        "if %errorlevel% == 0 goto failed_decrypt1",
        "rem passed test",
        "goto alldone",
        "",
        ":failed_readpack",
        "echo Failed to read package! > " + error,
        "goto alldone",
        "",
        ":failed_decrypt",
        "echo Failed to decrypt the package! > " + error,
        "goto alldone",
        "",
        ":failed_decrypt1",
        "echo package is corrupt! > " + error,
        "goto alldone",
        "",
        ":alldone",
        "echo.",
    };
}

std::u16string CheckGetpackTexts(const std::u16string& tempDirectory, const PackageFiles& files,
                                 const FetchInputs& inputs, bool isBootloader) {
    if (!FitForScript(tempDirectory, true)) {
        return Refusal(u"temporary directory");
    }
    if (!FitForScript(files.zipTool, true) || !FitForScript(files.tftpClient, true) ||
        !FitForScript(files.downloadTool, true)) {
        return Refusal(u"program directory");
    }
    switch (inputs.method) {
    case kMethodUsb:
        if (!FitForScript(inputs.usbRoot, false)) {
            return Refusal(u"USB drive root");
        }
        break;
    case kMethodTftp:
        if (!FitForScript(inputs.tftpServer, true)) {
            return Refusal(u"TFTP server");
        }
        if (!FitForScript(isBootloader ? inputs.tftpBootloaderFile : inputs.tftpFile, true)) {
            return Refusal(isBootloader ? u"bootloader file name" : u"firmware file name");
        }
        break;
    case kMethodHttpFtp:
        if (!FitForScript(isBootloader ? inputs.bootloaderUrl : inputs.url, true)) {
            return Refusal(isBootloader ? u"bootloader URL" : u"firmware URL");
        }
        break;
    default:
        break;
    }
    return {};
}

bool WriteScriptFile(const std::u16string& path, const std::vector<std::string>& lines) {
    std::string native;
    if (!platform::Utf16ToUtf8(path, &native)) {
        return false;
    }
    std::ofstream file(native, std::ios::binary | std::ios::trunc);
    if (!file) {
        return false;
    }
    for (const std::string& line : lines) {
        file << line << "\r\n";
    }
    file.close();
    return static_cast<bool>(file);
}
