// File operations with the Windows behaviour the callers expect: a read-only file
// (no owner write permission) cannot be deleted until its read-only flag is cleared.
#pragma once

#include <string>

namespace platform {

// Deletes a file; false when it is missing, a directory or read-only.
bool DeleteFileAt(const std::u16string& path);
bool PathExists(const std::u16string& path);
bool IsDirectory(const std::u16string& path);
// Sets or clears the read-only flag (the write permissions).
bool SetReadOnly(const std::u16string& path, bool readOnly);
bool IsReadOnly(const std::u16string& path);

} // namespace platform
