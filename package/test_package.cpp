#include "package/test_package.h"

#include "package/md5.h"
#include "package/run_script.h"
#include "package/scripts.h"
#include "package/text_file.h"
#include "platform/file_ops.h"

#include <cstring>

namespace {

// The first line of the error file (line break kept); empty when there is none.
std::u16string ReadErrorFile(const std::u16string& path) {
    const auto lines = ReadTextLines(path);
    if (!lines || lines->empty()) {
        return {};
    }
    return (*lines)[0];
}

void ShowProgress(PackageTestView& view, bool isBootloader, const std::u16string& text) {
    if (isBootloader) {
        view.SetFieldText(PackageField::Bootloader, text);
    } else {
        view.SetFieldText(PackageField::Kernel, text);
        view.SetFieldText(PackageField::FileSystem, text);
        view.SetFieldText(PackageField::Patch, text);
    }
}

std::u16string RunScript(const std::u16string& path, uint32_t pollIntervalMs) {
    return RunScriptHidden(path, pollIntervalMs) == kScriptEnded ? std::u16string()
                                                                 : u"Failed to execute batch!";
}

} // namespace

std::string PackagePassword(const std::string& noteLine) {
    cMD5 md5;
    const char* digest = md5.DigestString(noteLine.c_str());
    if (!digest || std::strlen(digest) != 32) {
        return {};
    }
    return std::string(digest, 16);
}

int TestPackage(const PackageTestSetup& setup, bool isBootloader, PackageTestView& view,
                PackageFindings* findings) {
    PackageFindings local;
    PackageFindings& result = findings ? *findings : local;
    result = PackageFindings{};
    const PackageFiles& files = setup.files;
    const std::u16string& temp = setup.tempDirectory;
    std::u16string& error = result.error;

    ShowProgress(view, isBootloader, u"getting...");
    if (!isBootloader) {
        view.SetFieldText(PackageField::Revision, u"");
    }
    view.Redraw();

    error = CheckGetpackTexts(temp, files, setup.inputs, isBootloader);
    if (error.empty() &&
        !WriteScriptFile(files.getpackScript,
                         GetpackScriptLines(temp, files, setup.inputs, isBootloader))) {
        error = u"Failed to create getpack batch!";
    }
    if (error.empty()) {
        error = RunScript(files.getpackScript, setup.pollIntervalMs);
    }
    if (error.empty()) {
        error = ReadErrorFile(InTempDirectory(temp, files.errorFile));
    }
    NoteResult note;
    if (error.empty()) {
        note = CheckNoteFile(InTempDirectory(temp, files.noteFile), isBootloader);
        error = note.error;
        result.revision = note.revision;
        result.format = note.format;
    }
    if (error.empty()) {
        error = CheckFileListFile(InTempDirectory(temp, files.fileList), note.format,
                                  &result.contentsMask);
    }
    if (error.empty()) {
        const std::string password = PackagePassword(note.passwordInput);
        if (password.size() != 16) {
            error = u"Failed to get password for package";
        } else {
            ShowProgress(view, isBootloader, u"checking...");
            view.Redraw();
            if (!WriteScriptFile(files.chkpackScript, ChkpackScriptLines(temp, files, password))) {
                error = u"Failed to create chkpack batch!";
            } else {
                error = RunScript(files.chkpackScript, setup.pollIntervalMs);
            }
            if (error.empty()) {
                error = ReadErrorFile(InTempDirectory(temp, files.errorFile));
            }
        }
    }

    for (const std::u16string* name :
         {&files.packageCopy, &files.noteFile, &files.fileList, &files.errorFile}) {
        platform::DeleteFileAt(InTempDirectory(temp, *name));
    }
    platform::DeleteFileAt(files.getpackScript);
    platform::DeleteFileAt(files.chkpackScript);

    for (const auto& [field, text] :
         ResultFieldTexts(isBootloader, !error.empty(), result.revision, result.contentsMask)) {
        view.SetFieldText(field, text);
    }
    if (!error.empty()) {
        view.ShowError(error);
    }
    return static_cast<int>(error.size());
}
