// Reading the scripts' output files as the program's text-mode wide reads see them:
// CR LF becomes LF, the bytes are UTF-8, and a line is at most 511 characters with its
// line break kept (a longer line comes back in pieces).
#pragma once

#include <optional>
#include <string>
#include <vector>

inline constexpr size_t kMaxLineUnits = 511;

// Every line of the file; nothing when it cannot be opened.
std::optional<std::vector<std::u16string>> ReadTextLines(const std::u16string& path);
