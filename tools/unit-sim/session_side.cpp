// The session side of every unit: greeting, login against the group password, one answer
// per request, logout. Frames are read whole from a per-session buffer.
#include "tools/unit-sim/simulator.h"
#include "tools/unit-sim/unit_packet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace unitsim {
namespace {

constexpr uint64_t kSessionTag = uint64_t{6} << 56;
constexpr size_t kOversizeBody = 2030;
constexpr size_t kPacketRoom = 2200;
constexpr uint8_t kBadGreetingCommand = 7;
constexpr uint8_t kSecondariesMagic[4] = {0x95, 0x13, 0x24, 0x08};

uint32_t GetBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

std::string MacText(const uint8_t* mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string Hex(const uint8_t* bytes, size_t length) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// The last part of a path or URL, for the installed package's name.
std::string BaseName(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The first "X.Y.Z" in a file name, when it has one.
bool VersionInName(const std::string& name, Version& version) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || (i > 0 && name[i - 1] >= '0' && name[i - 1] <= '9')) {
            continue;
        }
        size_t end = i;
        int dots = 0;
        while (end < name.size() &&
               ((name[end] >= '0' && name[end] <= '9') || (name[end] == '.' && dots < 2))) {
            if (name[end] == '.') {
                ++dots;
            }
            ++end;
        }
        if (dots == 2 && name[end - 1] != '.' && ParseVersion(name.substr(i, end - i), version)) {
            return true;
        }
    }
    return false;
}

Version NextBuild(Version v) {
    if (v.build < 255) {
        ++v.build;
    } else {
        v.build = 0;
        ++v.minor;
    }
    return v;
}

} // namespace

void Simulator::AcceptSessions(uint32_t index) {
    Unit& unit = fleet_[index];
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        int fd = accept4(unit.tcpListener, reinterpret_cast<sockaddr*>(&from), &fromLength,
                         SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Session session;
        session.id = nextSessionId_++;
        session.fd = fd;
        session.unit = index;
        session.peer =
            Ipv4Text(ntohl(from.sin_addr.s_addr)) + ":" + std::to_string(ntohs(from.sin_port));
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kSessionTag | session.id;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
            close(fd);
            continue;
        }
        auto [it, added] = sessions_.emplace(session.id, std::move(session));
        JsonLine line = LogBase(unit, "event", "tcp", it->second.peer);
        line.Add("event", "connected").Add("session", static_cast<int64_t>(it->second.id));
        log_.Write(line);
        if (!unit.faults.noGreeting) {
            SendGreeting(it->second);
        }
    }
}

void Simulator::SendGreeting(Session& session) {
    Unit& unit = fleet_[session.unit];
    std::string text = "unit-sim " + Utf16ToUtf8(unit.name);
    Bytes body(text.begin(), text.end());
    body.push_back(0);
    uint8_t command = unit.faults.badGreeting ? kBadGreetingCommand : kGreetingCommand;
    SendSessionAnswer(session, command, 0, body, false);
}

void Simulator::ReadSession(uint64_t id) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) {
        return;
    }
    Session& session = it->second;
    uint8_t chunk[4096];
    for (;;) {
        ssize_t got = recv(session.fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            session.in.insert(session.in.end(), chunk, chunk + got);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        CloseSession(id); // the station hung up, or the connection failed
        return;
    }
    // Whole frames only: header, then the payload length it announces.
    while (session.in.size() >= 16) {
        size_t length = static_cast<size_t>(session.in[14] << 8 | session.in[15]);
        if (length == 0 || length > 2047) {
            JsonLine line = LogBase(fleet_[session.unit], "request", "tcp", session.peer);
            line.AddBool("refused", true).Add("reason", "bad frame length");
            log_.Write(line);
            CloseSession(id);
            return;
        }
        if (session.in.size() < 16 + length) {
            break;
        }
        Bytes frame(session.in.begin(), session.in.begin() + static_cast<long>(16 + length));
        session.in.erase(session.in.begin(), session.in.begin() + static_cast<long>(16 + length));
        HandleFrame(session, frame.data(), frame.size());
        // The frame may have ended the session.
        if (sessions_.find(id) == sessions_.end()) {
            return;
        }
    }
}

void Simulator::HandleFrame(Session& session, uint8_t* packet, size_t size) {
    Unit& unit = fleet_[session.unit];
    JsonLine request = LogBase(unit, "request", "tcp", session.peer);
    request.Add("session", static_cast<int64_t>(session.id));
    uint8_t source[4] = {};
    uint16_t length = 0;
    std::u16string keyName = unit.group;
    UnitKeys keys{unit.mac.data(), keyName.c_str()};
    size_t offset = OpenUnitPacket(packet, size, options_.sourceType, keys, source, &length);
    if (offset == 0 || length < 2) {
        request.Add("bytes", static_cast<uint32_t>(size)).AddBool("refused", true);
        log_.Write(request);
        return;
    }
    const uint8_t* payload = packet + offset;
    request.Add("command", payload[0]).Add("sub", payload[1]);
    HandleRequest(session, unit, payload[0], payload[1], payload + 2, length - 2u, request);
}

void Simulator::HandleRequest(Session& session, Unit& unit, uint8_t command, uint8_t sub,
                              const uint8_t* body, size_t length, JsonLine& request) {
    auto refuse = [&](const char* reason) {
        request.Add("refusedBecause", reason);
        log_.Write(request);
        SendSessionAnswer(session, command, sub, Bytes{kRefused}, true);
    };
    if (command == kLoginCommand) {
        auto login = ReadLoginBody(body, length);
        bool accepted = login && length == kLoginBodyLength && !unit.faults.loginRefused &&
                        login->password == unit.password;
        if (login) {
            request.Add("stationMac", MacText(login->stationMac.data()))
                .Add("password", Utf16ToUtf8(login->password));
        }
        request.AddBool("accepted", accepted);
        log_.Write(request);
        session.loggedIn = accepted;
        // Sending may end the session, so everything about it is settled first.
        session.closeWhenSent = accepted && unit.faults.closeAfterLogin;
        SendSessionAnswer(session, kLoginCommand, 0, Bytes{accepted ? kAccepted : kRefused}, false);
        return;
    }
    if (command == kLogoutCommand) {
        log_.Write(request);
        session.loggedIn = false;
        session.closeWhenSent = true;
        SendSessionAnswer(session, kLogoutCommand, sub, Bytes{kAccepted}, true);
        return;
    }
    if (!session.loggedIn) {
        refuse("not logged in");
        return;
    }
    // A query's argument: four bytes, big-endian, or none.
    bool hasArgument = length >= 4;
    uint32_t argument = hasArgument ? GetBe32(body) : 0xFFFFFFFFu;
    if (command == kStateQuery || command == kConfigQuery) {
        request.Add("tag", sub);
        if (hasArgument) {
            request.Add("argument", argument);
        }
    }
    auto secondary = [&]() -> const Secondary* {
        for (const Secondary& s : unit.secondaries) {
            if (hasArgument && s.id == argument) {
                return &s;
            }
        }
        return nullptr;
    };
    if (command == kStateQuery && sub == kPackageTag) {
        if (VersionNumber(unit.sw) < kPackageQueryVersion) {
            refuse("software too old for the package query");
            return;
        }
        log_.Write(request);
        SendSessionAnswer(session, command, sub, PackageAnswer(unit.package), true);
        return;
    }
    if (command == kStateQuery && sub == kSecondaryListTag) {
        log_.Write(request);
        SendSessionAnswer(session, command, sub, SecondaryListAnswer(unit), true);
        return;
    }
    if ((command == kStateQuery && (sub == kSecondaryVersionsTag || sub == kSecondaryModelTag)) ||
        (command == kConfigQuery && sub == kSecondaryNameTag)) {
        const Secondary* s = secondary();
        if (s == nullptr) {
            refuse("no such secondary");
            return;
        }
        log_.Write(request);
        Bytes answer = command == kConfigQuery        ? NarrowTextAnswer(s->name)
                       : sub == kSecondaryVersionsTag ? SecondaryVersionsAnswer(*s)
                                                      : NarrowTextAnswer(s->model);
        SendSessionAnswer(session, command, sub, answer, true);
        return;
    }
    if (command == kUnitCommand && sub == kUpgradeSub) {
        // Four zero bytes, then the text and its zero byte.
        std::string text;
        if (length > 4) {
            const auto* start = reinterpret_cast<const char*>(body + 4);
            text.assign(start, strnlen(start, length - 4));
        }
        request.AddNarrow("upgrade", text);
        auto upgrade = ParseUpgradeCommand(text);
        if (length < 5 || !upgrade) {
            refuse("not an upgrade command");
            return;
        }
        request.Add("method", upgrade->method)
            .Add("option", upgrade->option)
            .AddBool("testOnly", upgrade->testOnly);
        if (!upgrade->file.empty()) {
            request.AddNarrow("file", upgrade->file);
        }
        if (!upgrade->server.empty()) {
            request.AddNarrow("server", upgrade->server);
        }
        log_.Write(request);
        SendSessionAnswer(session, command, sub, Bytes{kAccepted}, true);
        if (!upgrade->testOnly && options_.installAfterMs >= 0) {
            uint32_t index = unit.index;
            UpgradeCommand accepted = *upgrade;
            After(options_.installAfterMs, [this, index, accepted] { Install(index, accepted); });
        }
        return;
    }
    if (command == kUnitCommand && sub == kSecondariesUpgradeSub) {
        const uint8_t* data = length > 4 ? body + 4 : body;
        size_t dataLength = length > 4 ? length - 4 : 0;
        request.Add("data", Hex(data, dataLength));
        if (unit.secondaries.empty()) {
            refuse("no secondaries");
            return;
        }
        if ((dataLength != 5 && dataLength != 6) ||
            std::memcmp(data, kSecondariesMagic, sizeof kSecondariesMagic) != 0) {
            refuse("not secondaries data");
            return;
        }
        log_.Write(request);
        SendSessionAnswer(session, command, sub, Bytes{kAccepted}, true);
        if (options_.installAfterMs >= 0) {
            uint32_t index = unit.index;
            After(options_.installAfterMs, [this, index] { InstallSecondaries(index); });
        }
        return;
    }
    request.Add("bodyLength", static_cast<uint32_t>(length));
    refuse("not simulated");
}

void Simulator::SendSessionAnswer(Session& session, uint8_t command, uint8_t sub, Bytes body,
                                  bool faulty) {
    Unit& unit = fleet_[session.unit];
    const UnitFaults& f = unit.faults;
    size_t realLength = body.size();
    if (faulty && f.oversize) {
        body.resize(kOversizeBody, 0);
    }
    if (faulty && f.wrongSub) {
        sub ^= 0x80;
    }
    bool breakCrc = faulty && f.badCrc;
    std::u16string keyName = unit.group;
    UnitKeys keys{unit.mac.data(), keyName.c_str()};
    uint8_t source[4] = {static_cast<uint8_t>(unit.ip >> 24), static_cast<uint8_t>(unit.ip >> 16),
                         static_cast<uint8_t>(unit.ip >> 8), static_cast<uint8_t>(unit.ip)};
    Bytes packet(kPacketRoom);
    size_t size =
        SealUnitPacket(packet.data(), packet.size(), options_.replyFlags, options_.sourceType,
                       source, keys, command, sub, body.data(), body.size(), breakCrc);
    JsonLine answer = LogBase(unit, "answer", "tcp", session.peer);
    answer.Add("session", static_cast<int64_t>(session.id))
        .Add("command", command)
        .Add("sub", sub)
        .Add("length", static_cast<uint32_t>(body.size()))
        .Add("bytes", static_cast<uint32_t>(size));
    if (realLength == 1) {
        answer.Add("status", body[0]);
    }
    int delay = faulty ? f.delayMs : 0;
    if (delay > 0) {
        answer.Add("delayMs", delay);
    }
    log_.Write(answer);
    if (size == 0) {
        return;
    }
    packet.resize(size);
    bool closeAfter = session.closeWhenSent;
    uint64_t id = session.id;
    if (delay > 0) {
        After(delay, [this, id, packet, closeAfter] { QueueSessionBytes(id, packet, closeAfter); });
    } else {
        QueueSessionBytes(id, packet, closeAfter);
    }
}

void Simulator::QueueSessionBytes(uint64_t id, const Bytes& packet, bool closeAfter) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) {
        return;
    }
    Session& session = it->second;
    session.out.insert(session.out.end(), packet.begin(), packet.end());
    session.closeWhenSent = session.closeWhenSent || closeAfter;
    FlushSession(session);
}

void Simulator::FlushSession(Session& session) {
    while (!session.out.empty()) {
        ssize_t sent = send(session.fd, session.out.data(), session.out.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            session.out.erase(session.out.begin(), session.out.begin() + sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            epoll_event event{};
            event.events = EPOLLIN | EPOLLOUT;
            event.data.u64 = kSessionTag | session.id;
            epoll_ctl(epoll_, EPOLL_CTL_MOD, session.fd, &event);
            return;
        }
        CloseSession(session.id);
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kSessionTag | session.id;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, session.fd, &event);
    if (session.closeWhenSent) {
        CloseSession(session.id);
    }
}

void Simulator::CloseSession(uint64_t id) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) {
        return;
    }
    JsonLine line = LogBase(fleet_[it->second.unit], "event", "tcp", it->second.peer);
    line.Add("event", "closed").Add("session", static_cast<int64_t>(id));
    log_.Write(line);
    epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second.fd, nullptr);
    close(it->second.fd);
    sessions_.erase(it);
}

void Simulator::Install(uint32_t index, const UpgradeCommand& command) {
    Unit& unit = fleet_[index];
    std::string file = command.method == "usb" ? std::string() : BaseName(command.file);
    JsonLine line = LogBase(unit, "event", "install", "");
    line.Add("event", "installed").AddNarrow("package", file);
    if (file.find("blpack") != std::string::npos) {
        unit.bootloaderRev += 1;
        unit.package.bootloaderRev = unit.bootloaderRev;
        unit.package.bootloaderFilename = file;
        line.Add("bootloaderRev", unit.bootloaderRev);
    } else {
        Version next;
        if (!VersionInName(file, next)) {
            next = NextBuild(unit.sw);
        }
        unit.sw = next;
        unit.kernel = NextBuild(unit.kernel);
        unit.filesys = NextBuild(unit.filesys);
        unit.patch = NextBuild(unit.patch);
        unit.package.kernel = unit.kernel;
        unit.package.filesys = unit.filesys;
        unit.package.patch = unit.patch;
        unit.package.filename = file.empty() ? "tevpack-" + VersionText(next) + ".bin" : file;
        line.Add("sw", VersionText(unit.sw))
            .Add("kernel", VersionText(unit.kernel))
            .Add("filesys", VersionText(unit.filesys))
            .Add("patch", VersionText(unit.patch));
    }
    log_.Write(line);
}

void Simulator::InstallSecondaries(uint32_t index) {
    Unit& unit = fleet_[index];
    for (Secondary& s : unit.secondaries) {
        s.sw = NextBuild(s.sw);
    }
    JsonLine line = LogBase(unit, "event", "install", "");
    line.Add("event", "secondaries installed");
    log_.Write(line);
}

} // namespace unitsim
