#include "platform/file_ops.h"

#include "platform/utf8.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool Native(const std::u16string& path, std::string* result) {
    return !path.empty() && Utf16ToUtf8(path, result);
}

bool Stat(const std::u16string& path, struct stat* info) {
    std::string native;
    return Native(path, &native) && stat(native.c_str(), info) == 0;
}

} // namespace

bool DeleteFileAt(const std::u16string& path) {
    std::string native;
    struct stat info {};
    if (!Native(path, &native) || lstat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return false;
    }
    if (!S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
        return false;
    }
    return unlink(native.c_str()) == 0;
}

bool PathExists(const std::u16string& path) {
    struct stat info {};
    return Stat(path, &info);
}

bool IsDirectory(const std::u16string& path) {
    struct stat info {};
    return Stat(path, &info) && S_ISDIR(info.st_mode);
}

bool SetReadOnly(const std::u16string& path, bool readOnly) {
    std::string native;
    struct stat info {};
    if (!Native(path, &native) || stat(native.c_str(), &info) != 0) {
        return false;
    }
    mode_t mode = info.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return chmod(native.c_str(), mode) == 0;
}

bool IsReadOnly(const std::u16string& path) {
    struct stat info {};
    return Stat(path, &info) && (info.st_mode & S_IWUSR) == 0;
}

} // namespace platform
