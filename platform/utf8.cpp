#include "platform/utf8.h"

namespace platform {

namespace {

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<char16_t>(code));
    } else {
        code -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view native) {
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(native.data());
    const size_t n = native.size();
    for (size_t i = 0; i < n;) {
        const unsigned char lead = s[i];
        size_t extra = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07, minimum = 0x10000;
        } else {
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        size_t k = 1;
        for (; k <= extra && i + k < n && (s[i + k] & 0xC0) == 0x80; ++k) {
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if (k <= extra || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            out.push_back(u'\xFFFD');
            i += k;
            continue;
        }
        AppendUtf16(out, code);
        i += k;
    }
    return out;
}

bool Utf16ToUtf8(std::u16string_view path, std::string* result) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        char32_t code = path[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            return false;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    *result = std::move(out);
    return true;
}

} // namespace platform
