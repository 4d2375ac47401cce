#include "package/text_file.h"

#include "platform/utf8.h"

#include <fstream>

std::optional<std::vector<std::u16string>> ReadTextLines(const std::u16string& path) {
    std::string native;
    if (!platform::Utf16ToUtf8(path, &native)) {
        return std::nullopt;
    }
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<size_t>(file.gcount()));
    }
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            continue;
        }
        text += bytes[i];
    }
    const std::u16string wide = platform::Utf8ToUtf16(text);
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < wide.size()) {
        size_t end = start;
        while (end < wide.size() && end - start < kMaxLineUnits) {
            if (wide[end++] == u'\n') {
                break;
            }
        }
        lines.push_back(wide.substr(start, end - start));
        start = end;
    }
    return lines;
}
