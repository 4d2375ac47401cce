// Where the debugger, console and log-file routes of the diagnostics end up here: the
// debugger is standard error, the console standard output (both as UTF-8), and a log
// file receives UTF-16LE bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr int kInvalidFile = -1;

void WriteDebugger(std::u16string_view text);
void WriteConsole(std::u16string_view text);
// Appends the units as little-endian bytes, no byte-order mark. Failures are ignored.
void WriteFileUtf16(int file, std::u16string_view text);
void CloseFile(int file);

// UTF-8 of a UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

} // namespace platform
