// UTF-8 and UTF-16 conversions: the file system and the settings database hold UTF-8,
// the program UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid or truncated UTF-8 sequences become U+FFFD, as the system's converter does.
std::u16string Utf8ToUtf16(std::string_view text);

// Fails (false, `result` untouched) on an unpaired surrogate.
bool Utf16ToUtf8(std::u16string_view text, std::string* result);

} // namespace platform
