#include "platform/debug_output.h"

#include <cerrno>
#include <string>
#include <unistd.h>

namespace platform {
namespace {

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

void AppendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) +
                                     (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendCodePoint(out, 0xFFFD);
        } else {
            AppendCodePoint(out, unit);
        }
    }
    return out;
}

void WriteDebugger(std::u16string_view text) {
    const std::string bytes = ToUtf8(text);
    WriteAll(STDERR_FILENO, bytes.data(), bytes.size());
}

void WriteConsole(std::u16string_view text) {
    const std::string bytes = ToUtf8(text);
    WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

void WriteFileUtf16(int file, std::u16string_view text) {
    if (file < 0) {
        return;
    }
    std::string bytes;
    bytes.reserve(2 * text.size());
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    WriteAll(file, bytes.data(), bytes.size());
}

void CloseFile(int file) {
    if (file >= 0) {
        ::close(file);
    }
}

} // namespace platform
