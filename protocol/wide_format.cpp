#include "protocol/wide_format.h"

#include <cstdint>
#include <type_traits>

namespace {

// Appends to a bounded buffer and silently drops what does not fit.
struct Output {
    char16_t* out;
    size_t limit; // units that may be kept, not counting the terminator
    size_t used = 0;

    void Put(char16_t unit) {
        if (used < limit) {
            out[used++] = unit;
        }
    }
    void Repeat(char16_t unit, int count) {
        for (int i = 0; i < count; ++i) {
            Put(unit);
        }
    }
};

struct Directive {
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;
};

enum class Size { Default, Char, Short, Long64, Pointer };

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

void PutPadded(Output& o, const Directive& directive, int length, auto&& emit) {
    const int pad = directive.width > length ? directive.width - length : 0;
    if (!directive.left) {
        o.Repeat(u' ', pad);
    }
    emit();
    if (directive.left) {
        o.Repeat(u' ', pad);
    }
}

void PutInteger(Output& o, Directive directive, uint64_t magnitude, bool negative, unsigned base,
                bool upper) {
    char16_t digits[24];
    int count = 0;
    const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    // Precision 0 with value 0 prints no digits, as the C library does.
    if (!(magnitude == 0 && directive.precision == 0)) {
        do {
            digits[count++] = static_cast<char16_t>(table[magnitude % base]);
            magnitude /= base;
        } while (magnitude != 0);
    }
    char16_t prefix[2];
    int prefixLength = 0;
    if (negative) {
        prefix[prefixLength++] = u'-';
    } else if (directive.plus) {
        prefix[prefixLength++] = u'+';
    } else if (directive.space) {
        prefix[prefixLength++] = u' ';
    }
    if (directive.alternate && base == 16 && count > 0 && !(count == 1 && digits[0] == u'0')) {
        prefix[prefixLength++] = u'0';
        prefix[prefixLength++] = upper ? u'X' : u'x';
    }
    if (directive.alternate && base == 8 && (count == 0 || digits[count - 1] != u'0') &&
        directive.precision <= count) {
        digits[count++] = u'0';
    }
    int zeros = directive.precision > count ? directive.precision - count : 0;
    if (directive.zero && !directive.left && directive.precision < 0) {
        const int body = prefixLength + count;
        zeros = directive.width > body ? directive.width - body : 0;
    }
    const int length = prefixLength + zeros + count;
    PutPadded(o, directive, length, [&] {
        for (int i = 0; i < prefixLength; ++i) {
            o.Put(prefix[i]);
        }
        o.Repeat(u'0', zeros);
        for (int i = count - 1; i >= 0; --i) {
            o.Put(digits[i]);
        }
    });
}

template <typename Unit> void PutString(Output& o, const Directive& directive, const Unit* text) {
    static const char kNull[] = "(null)";
    if (!text) {
        PutString<char>(o, directive, kNull);
        return;
    }
    int length = 0;
    while (text[length] != 0 && (directive.precision < 0 || length < directive.precision)) {
        ++length;
    }
    PutPadded(o, directive, length, [&] {
        for (int i = 0; i < length; ++i) {
            // A narrow string is taken byte by byte, as a single-byte code page would be.
            o.Put(static_cast<char16_t>(static_cast<std::make_unsigned_t<Unit>>(text[i])));
        }
    });
}

} // namespace

size_t WideFormatV(char16_t* out, size_t capacity, const char16_t* format, va_list args) {
    if (!out || capacity == 0) {
        return 0;
    }
    Output o{out, capacity - 1};
    const char16_t* p = format ? format : u"";
    while (*p != 0) {
        if (*p != u'%') {
            o.Put(*p++);
            continue;
        }
        const char16_t* start = p++;
        if (*p == u'%') {
            o.Put(u'%');
            ++p;
            continue;
        }
        Directive directive;
        for (;; ++p) {
            if (*p == u'-') {
                directive.left = true;
            } else if (*p == u'0') {
                directive.zero = true;
            } else if (*p == u'+') {
                directive.plus = true;
            } else if (*p == u' ') {
                directive.space = true;
            } else if (*p == u'#') {
                directive.alternate = true;
            } else {
                break;
            }
        }
        if (*p == u'*') {
            directive.width = va_arg(args, int);
            if (directive.width < 0) {
                directive.left = true;
                directive.width = -directive.width;
            }
            ++p;
        } else {
            while (IsDigit(*p)) {
                directive.width = directive.width * 10 + (*p++ - u'0');
            }
        }
        if (*p == u'.') {
            ++p;
            directive.precision = 0;
            if (*p == u'*') {
                directive.precision = va_arg(args, int);
                ++p;
            } else {
                while (IsDigit(*p)) {
                    directive.precision = directive.precision * 10 + (*p++ - u'0');
                }
            }
        }
        Size size = Size::Default;
        bool narrow = false;
        bool wide = false;
        if (p[0] == u'h' && p[1] == u'h') {
            size = Size::Char;
            p += 2;
        } else if (*p == u'h') {
            size = Size::Short;
            narrow = true;
            ++p;
        } else if (p[0] == u'l' && p[1] == u'l') {
            size = Size::Long64;
            p += 2;
        } else if (*p == u'l' || *p == u'w') {
            wide = true; // "l" alone is 32 bits: long is 32 bits on Windows
            ++p;
        } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
            size = Size::Long64;
            p += 3;
        } else if (p[0] == u'I' && p[1] == u'3' && p[2] == u'2') {
            p += 3;
        } else if (*p == u'I' || *p == u'z' || *p == u'j' || *p == u't') {
            size = Size::Pointer;
            ++p;
        }
        const char16_t conversion = *p;
        if (conversion == 0) {
            break;
        }
        ++p;
        switch (conversion) {
        case u'd':
        case u'i': {
            int64_t value;
            if (size == Size::Long64 || size == Size::Pointer) {
                value = va_arg(args, long long);
            } else {
                value = va_arg(args, int);
                if (size == Size::Short) {
                    value = static_cast<int16_t>(value);
                } else if (size == Size::Char) {
                    value = static_cast<int8_t>(value);
                }
            }
            const uint64_t magnitude =
                value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : uint64_t(value);
            PutInteger(o, directive, magnitude, value < 0, 10, false);
            break;
        }
        case u'u':
        case u'x':
        case u'X':
        case u'o': {
            uint64_t value;
            if (size == Size::Long64 || size == Size::Pointer) {
                value = va_arg(args, unsigned long long);
            } else {
                value = va_arg(args, unsigned int);
                if (size == Size::Short) {
                    value = static_cast<uint16_t>(value);
                } else if (size == Size::Char) {
                    value = static_cast<uint8_t>(value);
                }
            }
            const unsigned base = conversion == u'u' ? 10 : conversion == u'o' ? 8 : 16;
            PutInteger(o, directive, value, false, base, conversion == u'X');
            break;
        }
        case u'p': {
            Directive pointer;
            pointer.width = 0;
            pointer.precision = 16;
            PutInteger(o, pointer, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, 16,
                       true);
            break;
        }
        case u'c':
        case u'C': {
            const int value = va_arg(args, int);
            const bool narrowChar = narrow || (conversion == u'C' && !wide);
            const char16_t unit =
                narrowChar ? static_cast<char16_t>(value & 0xFF) : static_cast<char16_t>(value);
            PutPadded(o, directive, 1, [&] { o.Put(unit); });
            break;
        }
        case u's':
        case u'S': {
            const bool narrowText = narrow || (conversion == u'S' && !wide);
            if (narrowText) {
                PutString(o, directive, va_arg(args, const char*));
            } else {
                PutString(o, directive, va_arg(args, const char16_t*));
            }
            break;
        }
        case u'n':
            // Writing through an argument pointer is never wanted from a log format.
            (void)va_arg(args, void*);
            break;
        default:
            for (const char16_t* c = start; c < p; ++c) {
                o.Put(*c);
            }
            break;
        }
    }
    out[o.used] = 0;
    return o.used;
}

size_t WideFormat(char16_t* out, size_t capacity, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const size_t used = WideFormatV(out, capacity, format, args);
    va_end(args);
    return used;
}
