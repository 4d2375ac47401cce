#include "tests/support/scripted_unit.h"

#include "protocol/packet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testunit {

bool Connection::Fill(size_t wanted, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pending_.size() < wanted && !closed_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return false;
        }
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        uint8_t chunk[4096];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) {
            closed_ = true;
            break;
        }
        pending_.insert(pending_.end(), chunk, chunk + got);
    }
    return pending_.size() >= wanted;
}

std::optional<Frame> Connection::ReadFrame(int timeoutMs) {
    if (!Fill(16, timeoutMs)) {
        return std::nullopt;
    }
    const size_t length = static_cast<size_t>((pending_[14] << 8) | pending_[15]);
    if (!Fill(16 + length, timeoutMs)) {
        return std::nullopt;
    }
    Frame frame;
    frame.raw.assign(pending_.begin(), pending_.begin() + static_cast<long>(16 + length));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(16 + length));
    frame.flags = frame.raw[2];
    if ((frame.flags & kCipherModeMask) == kCipherPlain && length >= 2) {
        frame.command = frame.raw[16];
        frame.sub = frame.raw[17];
        frame.body.assign(frame.raw.begin() + 18, frame.raw.end());
    }
    return frame;
}

bool Connection::WaitClosed(int timeoutMs) {
    Fill(pending_.size() + 1, timeoutMs);
    return closed_ && pending_.empty();
}

bool Connection::SendRaw(const Bytes& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

Bytes Connection::Packet(uint8_t command, uint8_t sub, const Bytes& body, uint8_t flags) {
    Bytes packet(16 + 2047);
    const uint8_t source[4] = {127, 0, 0, 1};
    const size_t length = BuildPacket(source, nullptr, nullptr, packet.data(), packet.size(), flags,
                                      command, sub, body.data(), body.size());
    packet.resize(length);
    return packet;
}

bool Connection::SendPacket(uint8_t command, uint8_t sub, const Bytes& body, uint8_t flags) {
    return SendRaw(Packet(command, sub, body, flags));
}

std::optional<Frame> Connection::GreetAndLogin(const Bytes& answer) {
    const std::string text = "scripted unit";
    if (!SendPacket(2, 0, Bytes(text.begin(), text.end()))) {
        return std::nullopt;
    }
    auto login = ReadFrame();
    if (!login || answer.size() < 2) {
        return login;
    }
    SendPacket(answer[0], answer[1], Bytes(answer.begin() + 2, answer.end()));
    return login;
}

ScriptedUnit::ScriptedUnit(Script script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 8) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

ScriptedUnit::~ScriptedUnit() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
}

void ScriptedUnit::Run() {
    while (!stop_) {
        pollfd entry{listener_, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) {
            continue;
        }
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ++accepted_;
        Connection connection(fd);
        script_(connection);
        ::close(fd);
    }
}

void ScriptedUnit::Record(const Frame& frame) {
    std::lock_guard lock(mutex_);
    recorded_.push_back(frame);
}

std::vector<Frame> ScriptedUnit::Recorded() {
    std::lock_guard lock(mutex_);
    return recorded_;
}

Bytes Utf16Le(const std::u16string& text) {
    Bytes bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

} // namespace testunit
