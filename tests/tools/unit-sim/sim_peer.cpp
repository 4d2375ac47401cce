#include "tests/tools/unit-sim/sim_peer.h"

#include "protocol/broadcast.h"
#include "protocol/packet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace simtest {
namespace {

sockaddr_in Address(uint32_t ip, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) > 0;
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

pid_t Spawn(const std::vector<std::string>& args, int* out) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    std::string path = SimPath();
    std::vector<char*> argv;
    argv.push_back(path.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    *out = pipeFds[0];
    return pid;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace

std::string IpText(uint32_t ip) {
    return std::to_string(ip >> 24) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
           std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF);
}

std::string SimPath() {
    return UNIT_SIM_PATH;
}

SimProcess::~SimProcess() {
    Stop();
}

bool SimProcess::Start(const std::vector<std::string>& args, std::string* output) {
    pid_ = Spawn(args, &stdout_);
    if (pid_ < 0) {
        return false;
    }
    std::string text;
    int64_t deadline = NowMs() + 20000;
    while (text.find("ready\n") == std::string::npos) {
        int64_t left = deadline - NowMs();
        if (left <= 0 || !WaitReadable(stdout_, static_cast<int>(left))) {
            break;
        }
        char buf[256];
        ssize_t got = read(stdout_, buf, sizeof buf);
        if (got <= 0) {
            break;
        }
        text.append(buf, static_cast<size_t>(got));
    }
    if (output != nullptr) {
        *output = text;
    }
    return text.find("ready\n") != std::string::npos;
}

int SimProcess::Stop(int signal) {
    if (pid_ < 0) {
        return -1;
    }
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(stdout_);
    stdout_ = -1;
    return ExitCode(status);
}

int RunSim(const std::vector<std::string>& args, std::string* output) {
    int out = -1;
    pid_t pid = Spawn(args, &out);
    if (pid < 0) {
        return -1;
    }
    std::string text;
    char buf[4096];
    ssize_t got;
    while ((got = read(out, buf, sizeof buf)) > 0) {
        text.append(buf, static_cast<size_t>(got));
    }
    close(out);
    int status = 0;
    waitpid(pid, &status, 0);
    if (output != nullptr) {
        *output = text;
    }
    return ExitCode(status);
}

Station::Station(uint32_t ip, uint16_t listenPort) : ip_(ip) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    // Five hundred replies may arrive before the test reads the first.
    int room = 4 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room);
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in a = Address(ip, listenPort);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

Station::~Station() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

namespace {
struct Quad {
    uint8_t b[4];
    explicit Quad(uint32_t ip)
        : b{static_cast<uint8_t>(ip >> 24), static_cast<uint8_t>(ip >> 16),
            static_cast<uint8_t>(ip >> 8), static_cast<uint8_t>(ip)} {}
};
constexpr uint8_t kFlags = 0x2D;
} // namespace

bool Station::Discover(uint32_t destination, uint16_t port) {
    return SendBroadcastToloQuery(port, Quad(ip_).b, Quad(destination).b, nullptr, nullptr,
                                  kFlags) == 0;
}

bool Station::GetGroupInfo(uint32_t destination, uint16_t port, const Bytes& mac) {
    return SendBroadcastGetGroupInfo(port, Quad(ip_).b, Quad(destination).b, mac.data(), nullptr,
                                     kFlags) == 0;
}

bool Station::GetNetInfo(uint32_t destination, uint16_t port, const Bytes& mac) {
    return SendBroadcastGetNetInfo(port, Quad(ip_).b, Quad(destination).b, mac.data(), nullptr,
                                   kFlags) == 0;
}

bool Station::SetGroupInfo(uint32_t destination, uint16_t port, const Bytes& mac,
                           const char16_t* group, const char16_t* name, const char16_t* password) {
    return SendBroadcastSetGroupInfo(port, Quad(ip_).b, Quad(destination).b, mac.data(), group,
                                     kFlags, name, password) == 0;
}

bool Station::SetNetInfo(uint32_t destination, uint16_t port, const Bytes& mac,
                         const NetworkSettings& settings) {
    return SendBroadcastSetNetInfo(port, Quad(ip_).b, Quad(destination).b, mac.data(), nullptr,
                                   kFlags, settings) == 0;
}

bool Station::Send(uint32_t destination, uint16_t port, uint8_t sub, const Bytes& body,
                   uint8_t flags, const uint8_t* mac, const char16_t* name) {
    uint8_t source[4] = {static_cast<uint8_t>(ip_ >> 24), static_cast<uint8_t>(ip_ >> 16),
                         static_cast<uint8_t>(ip_ >> 8), static_cast<uint8_t>(ip_)};
    uint8_t zeroMac[6] = {};
    Bytes packet(260);
    size_t size =
        BuildPacket(source, mac != nullptr ? mac : zeroMac, name, packet.data(), packet.size(),
                    flags, 1, sub, body.empty() ? nullptr : body.data(), body.size());
    if (size == 0) {
        return false;
    }
    packet.resize(size);
    return SendRaw(destination, port, packet);
}

bool Station::SendRaw(uint32_t destination, uint16_t port, const Bytes& bytes) {
    sockaddr_in to = Address(destination, port);
    return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(bytes.size());
}

std::optional<Reply> Station::Receive(int timeoutMs, const uint8_t* stationMac,
                                      const char16_t* groupName) {
    if (!WaitReadable(fd_, timeoutMs)) {
        return std::nullopt;
    }
    Bytes buffer(4096);
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t got = recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                           reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) {
        return std::nullopt;
    }
    Reply reply;
    reply.fromIp = ntohl(from.sin_addr.s_addr);
    reply.rawSize = static_cast<size_t>(got);
    if (got >= 16) {
        reply.flags = buffer[2];
        reply.sourceType = buffer[3];
    }
    uint8_t zeroMac[6] = {};
    uint8_t source[4] = {};
    uint16_t length = 0;
    size_t offset =
        ParsePacket(buffer.data(), static_cast<size_t>(got),
                    stationMac != nullptr ? stationMac : zeroMac, groupName, source, &length);
    reply.envelopeIp = static_cast<uint32_t>(source[0]) << 24 |
                       static_cast<uint32_t>(source[1]) << 16 |
                       static_cast<uint32_t>(source[2]) << 8 | source[3];
    if (offset != 0) {
        reply.opened = true;
        reply.payload.assign(buffer.begin() + static_cast<long>(offset),
                             buffer.begin() + static_cast<long>(offset + length));
    }
    return reply;
}

std::vector<Reply> Station::Collect(size_t count, int timeoutMs) {
    std::vector<Reply> replies;
    while (replies.size() < count) {
        auto reply = Receive(timeoutMs);
        if (!reply) {
            break;
        }
        replies.push_back(*reply);
    }
    return replies;
}

SessionClient::SessionClient(uint32_t stationIp, const uint8_t unitMac[6]) : stationIp_(stationIp) {
    std::memcpy(mac_, unitMac, 6);
}

SessionClient::~SessionClient() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool SessionClient::Connect(uint32_t ip, uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in a = Address(ip, port);
    return connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

std::optional<Bytes> SessionClient::ReadFrame(int timeoutMs) {
    int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        if (pending_.size() >= 16) {
            size_t size = 16 + static_cast<size_t>(pending_[14] << 8 | pending_[15]);
            if (pending_.size() >= size) {
                Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(size));
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(size));
                return frame;
            }
        }
        int64_t left = deadline - NowMs();
        if (closed_ || left <= 0 || !WaitReadable(fd_, static_cast<int>(left))) {
            return std::nullopt;
        }
        uint8_t buf[4096];
        ssize_t got = recv(fd_, buf, sizeof buf, 0);
        if (got <= 0) {
            closed_ = true;
            return std::nullopt;
        }
        pending_.insert(pending_.end(), buf, buf + got);
    }
}

std::optional<Bytes> SessionClient::Open(Bytes frame, const char16_t* groupName) const {
    uint16_t length = 0;
    size_t offset = ParsePacket(frame.data(), frame.size(), mac_, groupName, nullptr, &length);
    if (offset == 0) {
        return std::nullopt;
    }
    return Bytes(frame.begin() + static_cast<long>(offset),
                 frame.begin() + static_cast<long>(offset + length));
}

bool SessionClient::SendFrame(uint8_t command, uint8_t sub, const Bytes& body, uint8_t flags) {
    uint8_t source[4] = {static_cast<uint8_t>(stationIp_ >> 24),
                         static_cast<uint8_t>(stationIp_ >> 16),
                         static_cast<uint8_t>(stationIp_ >> 8), static_cast<uint8_t>(stationIp_)};
    Bytes packet(body.size() + 64);
    size_t size = BuildPacket(source, mac_, nullptr, packet.data(), packet.size(), flags, command,
                              sub, body.empty() ? nullptr : body.data(), body.size());
    if (size == 0) {
        return false;
    }
    return send(fd_, packet.data(), size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

std::optional<Bytes> SessionClient::Exchange(uint8_t command, uint8_t sub, const Bytes& body,
                                             int timeoutMs) {
    if (!SendFrame(command, sub, body)) {
        return std::nullopt;
    }
    auto frame = ReadFrame(timeoutMs);
    if (!frame) {
        return std::nullopt;
    }
    return Open(*frame);
}

std::optional<Bytes> SessionClient::GreetAndLogin(const std::u16string& password) {
    auto greeting = ReadFrame(3000);
    if (!greeting) {
        return std::nullopt;
    }
    auto opened = Open(*greeting);
    if (!opened || opened->empty() || (*opened)[0] != 2) {
        return std::nullopt;
    }
    Bytes body(73, 0);
    const uint8_t stationMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::memcpy(body.data(), stationMac, 6);
    PutText(body.data() + 6, password);
    return Exchange(4, 0, body);
}

void PutText(uint8_t* field, const std::u16string& text) {
    std::memset(field, 0, 64);
    for (size_t i = 0; i < text.size() && i < 31; ++i) {
        field[2 * i] = static_cast<uint8_t>(text[i]);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

std::u16string GetText(const uint8_t* field) {
    std::u16string text;
    for (size_t i = 0; i < 32; ++i) {
        auto unit = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
        if (unit == 0) {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

Bytes Be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LinesWith(const std::string& path,
                                   const std::vector<std::string>& pieces) {
    std::vector<std::string> found;
    for (const auto& line : ReadLines(path)) {
        bool all = true;
        for (const auto& piece : pieces) {
            all = all && line.find(piece) != std::string::npos;
        }
        if (all) {
            found.push_back(line);
        }
    }
    return found;
}

std::string TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/unitsim-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return "/tmp";
    }
    return pattern;
}

} // namespace simtest
