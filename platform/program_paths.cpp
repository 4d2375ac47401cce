#include "platform/program_paths.h"

#include "platform/utf8.h"

#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::mutex& OverrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::u16string>& ProgramOverride() {
    static std::optional<std::u16string> value;
    return value;
}

std::optional<std::u16string>& TempOverride() {
    static std::optional<std::u16string> value;
    return value;
}

} // namespace

std::optional<std::u16string> ProgramFilePath() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (ProgramOverride()) {
            if (ProgramOverride()->empty() || ProgramOverride()->size() >= kMaxPathUnits) {
                return std::nullopt;
            }
            return *ProgramOverride();
        }
    }
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return std::nullopt;
    }
    std::u16string path = Utf8ToUtf16(std::string(buffer.data(), static_cast<size_t>(length)));
    if (path.size() >= kMaxPathUnits) {
        return std::nullopt;
    }
    return path;
}

std::u16string CurrentDirectory() {
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size())) {
        return u".";
    }
    return Utf8ToUtf16(buffer.data());
}

void SplitProgramPath(const std::u16string& path, std::u16string* directory,
                      std::u16string* baseName) {
    const size_t slash = path.rfind(kPathSeparator);
    std::u16string file = slash == std::u16string::npos ? path : path.substr(slash + 1);
    if (directory) {
        *directory = slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
    }
    const size_t dot = file.rfind(u'.');
    if (dot != std::u16string::npos) {
        file.resize(dot);
    }
    if (baseName) {
        *baseName = file;
    }
}

std::u16string ProgramDirectory() {
    const auto path = ProgramFilePath();
    if (!path) {
        return u".";
    }
    std::u16string directory;
    SplitProgramPath(*path, &directory, nullptr);
    if (directory.empty()) {
        return (*path)[0] == kPathSeparator ? u"/" : u".";
    }
    return directory;
}

std::u16string ProgramBaseName() {
    const auto path = ProgramFilePath();
    if (!path) {
        return u"unknown";
    }
    std::u16string baseName;
    SplitProgramPath(*path, nullptr, &baseName);
    return baseName;
}

std::u16string TempDirectory() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (TempOverride()) {
            return *TempOverride();
        }
    }
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return Utf8ToUtf16(value);
        }
    }
    return u"/tmp";
}

void SetProgramFileOverride(std::optional<std::u16string> path) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    ProgramOverride() = std::move(path);
}

void SetTempDirectoryOverride(std::optional<std::u16string> path) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    TempOverride() = std::move(path);
}

} // namespace platform
