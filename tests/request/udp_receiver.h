// A UDP socket for tests that records, for every datagram, the address it was sent to.
#pragma once

#include <arpa/inet.h>
#include <array>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

struct Datagram {
    std::array<uint8_t, 4> destination;
    std::vector<uint8_t> bytes;
};

class UdpReceiver {
  public:
    // Bound to every local address on a port the system picks.
    UdpReceiver() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const int on = 1;
        setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
        socklen_t length = sizeof local;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length);
        port_ = ntohs(local.sin_port);
    }
    ~UdpReceiver() { close(fd_); }
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    uint16_t port() const { return port_; }

    // The next datagram, or none within `timeoutMs`.
    std::optional<Datagram> Next(int timeoutMs = 3000) {
        pollfd wait{fd_, POLLIN, 0};
        if (poll(&wait, 1, timeoutMs) != 1) {
            return std::nullopt;
        }
        Datagram datagram{};
        datagram.bytes.resize(4096);
        iovec data{datagram.bytes.data(), datagram.bytes.size()};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = recvmsg(fd_, &message, 0);
        if (received < 0) {
            return std::nullopt;
        }
        datagram.bytes.resize(static_cast<size_t>(received));
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(c), sizeof info);
                std::memcpy(datagram.destination.data(), &info.ipi_addr, 4);
            }
        }
        return datagram;
    }

  private:
    int fd_;
    uint16_t port_ = 0;
};
