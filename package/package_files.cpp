#include "package/package_files.h"

#include "platform/program_paths.h"

#include <cstdio>

namespace {

std::u16string Ascii(const char* text) {
    std::u16string result;
    for (; *text; ++text) {
        result += static_cast<char16_t>(*text);
    }
    return result;
}

std::u16string Named(const char* prefix, uint32_t threadId, const char* suffix) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%X%s", prefix, threadId, suffix);
    return Ascii(buffer);
}

} // namespace

std::u16string InTempDirectory(const std::u16string& tempDirectory, const std::u16string& name) {
    return tempDirectory + platform::kPathSeparator + name;
}

PackageFiles MakePackageFiles(const std::u16string& tempDirectory,
                              const std::u16string& programDirectory, uint32_t threadId) {
    PackageFiles files;
    files.packageCopy = Named("tevpack", threadId, ".dat");
    files.noteFile = Named("tevnote", threadId, ".dat");
    files.fileList = Named("tevlist", threadId, ".dat");
    files.errorFile = Named("teverr", threadId, ".dat");
    files.getpackScript = InTempDirectory(tempDirectory, Named("tevget", threadId, ".cmd"));
    files.chkpackScript = InTempDirectory(tempDirectory, Named("tevchk", threadId, ".cmd"));
    const std::u16string program = programDirectory + platform::kPathSeparator;
    files.zipTool = program + u"unzip.exe";
    files.downloadTool = program + u"wget.exe";
    files.tftpClient = program + u"TFTP.exe";
    return files;
}
