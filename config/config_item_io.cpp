#include "config/config_item_io.h"

#include "config/address_text.h"
#include "config/config_store.h"

#include <cstring>
#include <memory>
#include <string>

namespace {

// A store open for one access, closed on every path.
struct StoreCloser {
    void operator()(ConfigStore* store) const { CfgStoreClose(store); }
};
using ScopedStore = std::unique_ptr<ConfigStore, StoreCloser>;

// Texts read for an item take at most 127 characters (256 bytes with the terminator).
constexpr uint32_t kMaxReadUnits = kCfgItemBufferSize / 2;
// What LoadItemRow reads into: a little more than CfgItemRead ever places.
constexpr size_t kLoadBufferSize = 260;

bool IsTextType(ConfigItemType type) {
    return type == kItemText || (type >= kItemMac && type <= kItemVersion4);
}

std::u16string RowName(const ConfigItem& row) {
    return std::u16string(row.name) + u"00";
}

// Units before the first zero unit among the first `units` of `text`; -1 when there is
// no terminator there.
long TerminatedLength(const uint8_t* bytes, size_t units) {
    for (size_t i = 0; i < units; ++i) {
        char16_t unit;
        std::memcpy(&unit, bytes + 2 * i, sizeof unit);
        if (unit == 0) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

void AppendDecimal(std::u16string& out, long long value) {
    if (value < 0) {
        out.push_back(u'-');
    }
    unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    char16_t digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

// "%d" of the integer types, read from `data` in the variable's width.
long long IntegerValue(ConfigItemType type, const void* data) {
    switch (type) {
    case kItemInt8: {
        int8_t v;
        std::memcpy(&v, data, 1);
        return v;
    }
    case kItemUint8: {
        uint8_t v;
        std::memcpy(&v, data, 1);
        return v;
    }
    case kItemInt16: {
        int16_t v;
        std::memcpy(&v, data, 2);
        return v;
    }
    case kItemUint16: {
        uint16_t v;
        std::memcpy(&v, data, 2);
        return v;
    }
    default: { // 32-bit values are written as signed, as "%d" does
        int32_t v;
        std::memcpy(&v, data, 4);
        return v;
    }
    }
}

uint32_t IntegerWidth(ConfigItemType type) {
    switch (type) {
    case kItemInt8:
    case kItemUint8:
        return 1;
    case kItemInt16:
    case kItemUint16:
        return 2;
    default:
        return 4;
    }
}

void AppendVersion(std::u16string& out, const uint8_t* bytes, int parts) {
    for (int i = 0; i < parts; ++i) {
        if (i > 0) {
            out.push_back(u'.');
        }
        AppendDecimal(out, bytes[i]);
    }
}

} // namespace

uint16_t ReadItemRow(const ConfigItem& row, void* buffer) {
    ScopedStore store(CfgStoreOpen(kCfgOpenReadOnly));
    if (!store || !buffer || row.type == kItemNone || !row.name || row.name[0] == 0) {
        return 0;
    }
    const std::u16string name = RowName(row);
    auto* out = static_cast<uint8_t*>(buffer);
    switch (row.type) {
    case kItemText:
    case kItemMac:
    case kItemIp:
    case kItemVersion3:
    case kItemVersion4: {
        const char16_t* text = nullptr;
        uint32_t length = 0;
        if (CfgStoreReadText(store.get(), name.c_str(), &text, &length) != kCfgOk ||
            length > kMaxReadUnits) {
            return 0;
        }
        std::memcpy(out, text, length * 2);
        return static_cast<uint16_t>(length * 2);
    }
    case kItemEncodedText: {
        const uint8_t* data = nullptr;
        uint32_t count = 0;
        if (CfgStoreReadEncoded(store.get(), name.c_str(), &data, &count) != kCfgOk ||
            count > kCfgItemBufferSize) {
            return 0;
        }
        // The stored units must hold their terminator; nothing past them is read.
        const long characters = TerminatedLength(data, count / 2);
        if (characters < 0) {
            return 0;
        }
        const auto bytes = static_cast<uint16_t>((characters + 1) * 2);
        std::memcpy(out, data, bytes);
        return bytes;
    }
    case kItemBytes: {
        const uint8_t* data = nullptr;
        uint32_t count = 0;
        if (CfgStoreReadBytes(store.get(), name.c_str(), &data, &count) != kCfgOk ||
            count > kCfgItemBufferSize) {
            return 0;
        }
        std::memcpy(out, data, count);
        return static_cast<uint16_t>(count);
    }
    default: {
        const uint32_t width = IntegerWidth(row.type);
        uint32_t value = 0;
        const int rc = CfgStoreReadInt(store.get(), name.c_str(), &value);
        if (rc != kCfgOk) {
            value = 0;
        }
        // The low bits in the variable's own width and byte order.
        if (width == 1) {
            out[0] = static_cast<uint8_t>(value);
        } else if (width == 2) {
            const auto v = static_cast<uint16_t>(value);
            std::memcpy(out, &v, 2);
        } else {
            std::memcpy(out, &value, 4);
        }
        return rc == kCfgOk ? static_cast<uint16_t>(width) : 0;
    }
    }
}

uint16_t WriteItemRow(const ConfigItem& row, const void* data, uint32_t size) {
    if (row.type == kItemNone || !row.name || row.name[0] == 0 || !data) {
        return 0;
    }
    ScopedStore store(CfgStoreOpen(kCfgOpenReadWrite));
    if (!store) {
        return 0;
    }
    const std::u16string name = RowName(row);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (IsTextType(row.type) || row.type == kItemEncodedText) {
        // The text and its terminator must lie within `size`.
        const long characters = TerminatedLength(bytes, size / 2);
        if (characters < 0 || (characters + 1) * 2 > 0xFFFF) {
            return 0;
        }
        std::u16string copy(static_cast<size_t>(characters), u'\0');
        std::memcpy(copy.data(), bytes, static_cast<size_t>(characters) * 2);
        const auto result = static_cast<uint16_t>((characters + 1) * 2);
        if (row.type == kItemEncodedText) {
            return CfgStoreWriteEncoded(store.get(), name.c_str(),
                                        reinterpret_cast<const uint8_t*>(copy.c_str()),
                                        result) == kCfgOk
                       ? result
                       : 0;
        }
        return CfgStoreWriteText(store.get(), name.c_str(), copy.c_str()) == kCfgOk ? result : 0;
    }
    if (row.type == kItemBytes) {
        if (size == 0 || size > 0xFFFF) {
            return 0;
        }
        return CfgStoreWriteBytes(store.get(), name.c_str(), bytes, size) == kCfgOk
                   ? static_cast<uint16_t>(size)
                   : 0;
    }
    const uint32_t width = IntegerWidth(row.type);
    if (size < width) {
        return 0;
    }
    std::u16string text;
    AppendDecimal(text, IntegerValue(row.type, data));
    return CfgStoreWriteText(store.get(), name.c_str(), text.c_str()) == kCfgOk
               ? static_cast<uint16_t>(width)
               : 0;
}

uint16_t LoadItemRow(const ConfigItem& row) {
    if (row.type == kItemNone || !row.name || row.name[0] == 0 || !row.variable || row.width == 0) {
        return 0;
    }
    alignas(char16_t) uint8_t buffer[kLoadBufferSize]{};
    const uint16_t loaded = ReadItemRow(row, buffer);
    if (loaded == 0) {
        return 0;
    }
    const char16_t* text = reinterpret_cast<const char16_t*>(buffer);
    switch (row.type) {
    case kItemText:
    case kItemEncodedText:
        // A text longer than the variable holds is refused, not cut or overrun.
        if (loaded > row.width) {
            return 0;
        }
        std::memcpy(row.variable, buffer, loaded);
        break;
    case kItemMac:
        if (row.width < 6) {
            return 0;
        }
        TextToMac(text, static_cast<uint8_t*>(row.variable));
        break;
    case kItemIp:
        if (row.width < 4) {
            return 0;
        }
        TextToIp(text, static_cast<uint8_t*>(row.variable));
        break;
    case kItemVersion3:
    case kItemVersion4: {
        const int parts = row.type == kItemVersion3 ? 3 : 4;
        if (row.width < parts) {
            return 0;
        }
        TextToVersion(text, static_cast<uint8_t*>(row.variable), parts);
        break;
    }
    case kItemBytes:
        // Fewer bytes than the width: the rest is zero, never stale buffer contents.
        if (loaded > row.width) {
            return 0;
        }
        std::memset(row.variable, 0, row.width);
        std::memcpy(row.variable, buffer, loaded);
        break;
    default:
        if (loaded > row.width) {
            return 0;
        }
        std::memcpy(row.variable, buffer, loaded);
        break;
    }
    return loaded;
}

uint16_t SaveItemRow(const ConfigItem& row) {
    if (row.type == kItemNone || !row.name || row.name[0] == 0 || !row.variable || row.width == 0) {
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(row.variable);
    // Address and version texts go through a zeroed buffer of the 256 bytes offered.
    char16_t text[kCfgItemBufferSize / 2]{};
    switch (row.type) {
    case kItemMac:
    case kItemIp:
    case kItemVersion3:
    case kItemVersion4: {
        const uint16_t needed = row.type == kItemMac ? 6 : row.type == kItemVersion3 ? 3 : 4;
        if (row.width < needed) {
            return 0;
        }
        std::u16string formatted;
        if (row.type == kItemMac) {
            char16_t mac[kMacTextUnits];
            MacToText(bytes, mac);
            formatted = mac;
        } else if (row.type == kItemIp) {
            char16_t ip[kIpTextUnits];
            IpToText(bytes, ip);
            formatted = ip;
        } else {
            AppendVersion(formatted, bytes, needed);
        }
        std::memcpy(text, formatted.c_str(), formatted.size() * 2);
        return WriteItemRow(row, text, sizeof text);
    }
    default:
        return WriteItemRow(row, row.variable, row.width);
    }
}
