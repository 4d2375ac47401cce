// Where the program lives and where its temporary files go. Each answer can be pointed
// elsewhere by tests, so that tests never share files kept next to the program.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Longest program file path the program accepts, in UTF-16 units, terminator included.
inline constexpr size_t kMaxPathUnits = 260;
inline constexpr char16_t kPathSeparator = u'/';

// Full path of the running program file, or nothing when it cannot be obtained (or is
// longer than kMaxPathUnits - 1 units).
std::optional<std::u16string> ProgramFilePath();

// The current working directory; "." when it cannot be obtained.
std::u16string CurrentDirectory();

// The directory of the program file (before its last separator; "/" for a file at the
// root), "." when unknown.
std::u16string ProgramDirectory();

// The program file's name without its extension (cut at the last '.'), "unknown" when the
// path cannot be obtained.
std::u16string ProgramBaseName();

// Splits a file path at its last separator into directory and file name, and the file
// name at its last '.' into base name (extension dropped). A path without a separator
// has an empty directory.
void SplitProgramPath(const std::u16string& path, std::u16string* directory,
                      std::u16string* baseName);

// TEMP, else TMPDIR, else "/tmp".
std::u16string TempDirectory();

// Test hooks. SetProgramFileOverride(path) makes ProgramFilePath answer `path` (an empty
// text: "cannot be obtained"); std::nullopt goes back to the real program file. The same
// for the temporary directory.
void SetProgramFileOverride(std::optional<std::u16string> path);
void SetTempDirectoryOverride(std::optional<std::u16string> path);

} // namespace platform
