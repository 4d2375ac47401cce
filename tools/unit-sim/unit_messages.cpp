#include "tools/unit-sim/unit_messages.h"

#include <cstring>

namespace unitsim {
namespace {

void PutBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
uint16_t GetBe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
uint32_t GetBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
void PutVersion(uint8_t* p, const Version& v) {
    p[0] = v.major;
    p[1] = v.minor;
    p[2] = v.build;
}
// A version as a big-endian 32-bit number whose three low bytes are major, minor, build.
void PutVersion32(uint8_t* p, const Version& v) {
    p[0] = 0;
    PutVersion(p + 1, v);
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
        size_t start = i;
        while (i < text.size() && text[i] != ' ') {
            ++i;
        }
        if (i > start) {
            words.push_back(text.substr(start, i - start));
        }
    }
    return words;
}

} // namespace

void WriteTextField(uint8_t* field, const std::u16string& text) {
    std::memset(field, 0, kTextFieldSize);
    size_t units = text.size() < 31 ? text.size() : 31;
    for (size_t i = 0; i < units; ++i) {
        field[2 * i] = static_cast<uint8_t>(text[i]);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

std::u16string ReadTextField(const uint8_t* field) {
    std::u16string text;
    for (size_t i = 0; i < 31; ++i) {
        auto unit = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

Bytes EncodeDiscoveryReply(const Unit& unit) {
    Bytes p(kDiscoveryReplySize, 0);
    p[0] = kBroadcastCommand;
    p[1] = kReplyDiscovery;
    std::memcpy(&p[2], unit.mac.data(), 6);
    WriteTextField(&p[8], unit.name);
    WriteTextField(&p[72], unit.group);
    std::memcpy(&p[136], unit.model.data(), 8);
    PutVersion(&p[144], unit.sw);
    p[148] = unit.hwRev;
    PutVersion(&p[149], unit.kernel);
    PutVersion32(&p[153], unit.filesys);
    PutVersion32(&p[157], unit.patch);
    p[161] = static_cast<uint8_t>(unit.secondaries.size());
    PutBe32(&p[162], unit.bootloaderRev);
    return p;
}

Bytes EncodeGroupInfoReply(const Unit& unit) {
    Bytes p(kGroupInfoReplySize, 0);
    p[0] = kBroadcastCommand;
    p[1] = kReplyGroupInfo;
    std::memcpy(&p[2], unit.mac.data(), 6);
    WriteTextField(&p[8], unit.name);
    WriteTextField(&p[72], unit.group);
    WriteTextField(&p[136], unit.password);
    std::memcpy(&p[200], unit.model.data(), 8);
    return p;
}

Bytes EncodeNetInfoReply(const Unit& unit) {
    Bytes p(kNetInfoReplySize, 0);
    p[0] = kBroadcastCommand;
    p[1] = kReplyNetInfo;
    uint8_t* b = &p[2];
    std::memcpy(b, unit.mac.data(), 6);
    PutBe16(b + 6, unit.net.unitPort);
    PutBe16(b + 8, unit.net.stationPort);
    PutBe16(b + 10, unit.net.options);
    PutBe32(b + 12, unit.net.ip);
    PutBe32(b + 16, unit.net.mask);
    PutBe32(b + 20, unit.net.gateway);
    PutBe32(b + 24, unit.net.dns[0]);
    PutBe32(b + 28, unit.net.dns[1]);
    PutBe32(b + 32, unit.net.dns[2]);
    PutBe32(b + 36, unit.net.station);
    return p;
}

std::optional<GroupBody> ReadGroupBody(const uint8_t* body, size_t length) {
    if (length < kGroupBodySize) {
        return std::nullopt;
    }
    GroupBody g;
    std::memcpy(g.mac.data(), body, 6);
    g.name = ReadTextField(body + 6);
    g.group = ReadTextField(body + 70);
    g.password = ReadTextField(body + 134);
    return g;
}

std::optional<NetBody> ReadNetBody(const uint8_t* body, size_t length) {
    if (length < kNetworkBodySize) {
        return std::nullopt;
    }
    NetBody n;
    std::memcpy(n.mac.data(), body, 6);
    n.net.unitPort = GetBe16(body + 6);
    n.net.stationPort = GetBe16(body + 8);
    n.net.options = GetBe16(body + 10);
    n.net.ip = GetBe32(body + 12);
    n.net.mask = GetBe32(body + 16);
    n.net.gateway = GetBe32(body + 20);
    n.net.dns = {GetBe32(body + 24), GetBe32(body + 28), GetBe32(body + 32)};
    n.net.station = GetBe32(body + 36);
    return n;
}

std::optional<LoginBody> ReadLoginBody(const uint8_t* body, size_t length) {
    if (length < 6 + kTextFieldSize) {
        return std::nullopt;
    }
    LoginBody l;
    std::memcpy(l.stationMac.data(), body, 6);
    l.password = ReadTextField(body + 6);
    return l;
}

Bytes PackageAnswer(const PackageAttributes& package) {
    Bytes a(13, 0);
    a[0] = package.map;
    PutVersion(&a[2], package.kernel);
    PutVersion(&a[6], package.filesys);
    PutVersion(&a[10], package.patch);
    a.insert(a.end(), package.filename.begin(), package.filename.end());
    a.push_back(0);
    uint8_t rev[4];
    PutBe32(rev, package.bootloaderRev);
    a.insert(a.end(), rev, rev + 4);
    a.insert(a.end(), package.bootloaderFilename.begin(), package.bootloaderFilename.end());
    a.push_back(0);
    return a;
}

Bytes SecondaryListAnswer(const Unit& unit) {
    Bytes a(4 + 4 * unit.secondaries.size(), 0);
    for (size_t i = 0; i < unit.secondaries.size(); ++i) {
        PutBe32(&a[4 + 4 * i], unit.secondaries[i].id);
    }
    return a;
}

Bytes SecondaryVersionsAnswer(const Secondary& s) {
    Bytes a(20, 0);
    PutVersion(&a[0], s.sw);
    a[4] = s.hwRev;
    PutVersion(&a[5], s.kernel);
    PutVersion(&a[9], s.filesys);
    PutVersion(&a[13], s.patch);
    PutBe32(&a[16], s.bootloaderRev);
    return a;
}

Bytes NarrowTextAnswer(const std::string& text) {
    Bytes a(text.begin(), text.end());
    a.push_back(0);
    return a;
}

std::optional<UpgradeCommand> ParseUpgradeCommand(const std::string& text) {
    std::vector<std::string> words = SplitWords(text);
    UpgradeCommand c;
    size_t i = 0;
    if (i < words.size() && (words[i] == "noteq" || words[i] == "force")) {
        c.option = words[i++];
    }
    if (i < words.size() && words[i] == "testonly") {
        c.testOnly = true;
        ++i;
    }
    if (i >= words.size()) {
        return std::nullopt;
    }
    c.method = words[i++];
    size_t rest = words.size() - i;
    if (c.method == "usb" && rest == 0) {
        return c;
    }
    if (c.method == "tftp" && rest == 2) {
        c.server = words[i];
        c.file = words[i + 1];
        return c;
    }
    if (c.method == "url" && rest == 1) {
        c.file = words[i];
        return c;
    }
    return std::nullopt;
}

} // namespace unitsim
