#include "platform/socket.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

sockaddr_in ToSockaddr(const Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr.s_addr, endpoint.ip, 4);
    return address;
}

Endpoint FromSockaddr(const sockaddr_in& address) {
    Endpoint endpoint{};
    std::memcpy(endpoint.ip, &address.sin_addr.s_addr, 4);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

Socket Open(int type, int* error) {
    const int descriptor = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (error) {
        *error = descriptor < 0 ? errno : 0;
    }
    return Socket(descriptor);
}

int SetFlag(const Socket& socket, int level, int option, bool on) {
    const int value = on ? 1 : 0;
    return ::setsockopt(socket.Descriptor(), level, option, &value, sizeof value) == 0 ? 0 : errno;
}

int Normalise(int error) {
    return error == EAGAIN ? kWouldBlock : error;
}

SocketWait Wait(const Socket& socket, short events, int timeoutMs) {
    pollfd entry{socket.Descriptor(), events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    if (result < 0 || (entry.revents & POLLNVAL)) {
        return SocketWait::Failed;
    }
    if (result == 0) {
        return SocketWait::Timeout;
    }
    if (entry.revents & events) {
        return SocketWait::Ready;
    }
    return SocketWait::SocketError;
}

} // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = other.Release();
    }
    return *this;
}

int Socket::Release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void Socket::Close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

Socket OpenUdpSocket(int* error) {
    return Open(SOCK_DGRAM, error);
}
Socket OpenTcpSocket(int* error) {
    return Open(SOCK_STREAM, error);
}

int SetNonBlocking(const Socket& socket, bool on) {
    const int flags = ::fcntl(socket.Descriptor(), F_GETFL);
    if (flags < 0) {
        return errno;
    }
    const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return ::fcntl(socket.Descriptor(), F_SETFL, wanted) == 0 ? 0 : errno;
}

int SetBroadcast(const Socket& socket, bool on) {
    return SetFlag(socket, SOL_SOCKET, SO_BROADCAST, on);
}
int SetNoDelay(const Socket& socket, bool on) {
    return SetFlag(socket, IPPROTO_TCP, TCP_NODELAY, on);
}
int SetReuseAddress(const Socket& socket, bool on) {
    return SetFlag(socket, SOL_SOCKET, SO_REUSEADDR, on);
}

int SetReceiveBufferSize(const Socket& socket, int bytes) {
    if (::setsockopt(socket.Descriptor(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) {
        return errno;
    }
    // The kernel caps SO_RCVBUF at net.core.rmem_max; a privileged process may go past
    // the cap. Without the privilege the capped buffer stays.
    int granted = 0;
    socklen_t size = sizeof granted;
    if (::getsockopt(socket.Descriptor(), SOL_SOCKET, SO_RCVBUF, &granted, &size) == 0 &&
        granted < bytes) {
        ::setsockopt(socket.Descriptor(), SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
    }
    return 0;
}

int Bind(const Socket& socket, const Endpoint& local) {
    const sockaddr_in address = ToSockaddr(local);
    return ::bind(socket.Descriptor(), reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == 0
               ? 0
               : errno;
}

int LocalEndpoint(const Socket& socket, Endpoint* local) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.Descriptor(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return errno;
    }
    if (local) {
        *local = FromSockaddr(address);
    }
    return 0;
}

int SendTo(const Socket& socket, const void* data, size_t size, const Endpoint& to, size_t* sent) {
    const sockaddr_in address = ToSockaddr(to);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t result =
            ::sendto(socket.Descriptor(), data, size, MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (result >= 0) {
            if (sent) {
                *sent = static_cast<size_t>(result);
            }
            return 0;
        }
        const int error = errno;
        // Linux wants the permission for a directed broadcast as well; Windows only for
        // the limited broadcast, which keeps its refusal here.
        const bool limited =
            to.ip[0] == 255 && to.ip[1] == 255 && to.ip[2] == 255 && to.ip[3] == 255;
        if (error != EACCES || limited || attempt > 0 || SetBroadcast(socket, true) != 0) {
            return Normalise(error);
        }
    }
    return EACCES;
}

int ReceiveFrom(const Socket& socket, void* buffer, size_t capacity, size_t* received,
                Endpoint* from) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    // MSG_TRUNC makes the kernel report the datagram's real size.
    const ssize_t result = ::recvfrom(socket.Descriptor(), buffer, capacity, MSG_TRUNC,
                                      reinterpret_cast<sockaddr*>(&address), &length);
    if (result < 0) {
        return Normalise(errno);
    }
    if (static_cast<size_t>(result) > capacity) {
        return kMessageTooLong;
    }
    if (received) {
        *received = static_cast<size_t>(result);
    }
    if (from) {
        *from = FromSockaddr(address);
    }
    return 0;
}

SocketWait WaitReadable(const Socket& socket, int timeoutMs) {
    return Wait(socket, POLLIN, timeoutMs);
}
SocketWait WaitWritable(const Socket& socket, int timeoutMs) {
    return Wait(socket, POLLOUT, timeoutMs);
}

int Connect(const Socket& socket, const Endpoint& remote) {
    const sockaddr_in address = ToSockaddr(remote);
    if (::connect(socket.Descriptor(), reinterpret_cast<const sockaddr*>(&address),
                  sizeof address) == 0) {
        return 0;
    }
    const int error = errno;
    return error == EINPROGRESS ? kWouldBlock : Normalise(error);
}

int ConnectError(const Socket& socket) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(socket.Descriptor(), SOL_SOCKET, SO_ERROR, &value, &length) != 0) {
        return errno;
    }
    return value;
}

int Listen(const Socket& socket, int backlog) {
    return ::listen(socket.Descriptor(), backlog) == 0 ? 0 : errno;
}

Socket Accept(const Socket& listener, Endpoint* remote, int* error) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int descriptor = ::accept4(listener.Descriptor(), reinterpret_cast<sockaddr*>(&address),
                                     &length, SOCK_CLOEXEC);
    if (error) {
        *error = descriptor < 0 ? Normalise(errno) : 0;
    }
    if (descriptor >= 0 && remote) {
        *remote = FromSockaddr(address);
    }
    return Socket(descriptor);
}

int Send(const Socket& socket, const void* data, size_t size, size_t* sent) {
    const ssize_t result = ::send(socket.Descriptor(), data, size, MSG_NOSIGNAL);
    if (result < 0) {
        return Normalise(errno);
    }
    if (sent) {
        *sent = static_cast<size_t>(result);
    }
    return 0;
}

int Receive(const Socket& socket, void* buffer, size_t capacity, size_t* received, bool peek) {
    const ssize_t result = ::recv(socket.Descriptor(), buffer, capacity, peek ? MSG_PEEK : 0);
    if (result < 0) {
        return Normalise(errno);
    }
    if (received) {
        *received = static_cast<size_t>(result);
    }
    return 0;
}

int BytesWaiting(const Socket& socket, size_t* count) {
    int value = 0;
    if (::ioctl(socket.Descriptor(), FIONREAD, &value) != 0) {
        return errno;
    }
    if (count) {
        *count = static_cast<size_t>(value);
    }
    return 0;
}

int ResolveIpv4(const char* host, uint8_t address[4]) {
    if (!host || !address) {
        return EINVAL;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* results = nullptr;
    const int status = ::getaddrinfo(host, nullptr, &hints, &results);
    if (status != 0) {
        if (status == EAI_SYSTEM && errno != 0) {
            return errno;
        }
        return status == EAI_MEMORY ? ENOMEM : ENOENT;
    }
    int result = ENOENT;
    for (const addrinfo* entry = results; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            std::memcpy(address, &in->sin_addr.s_addr, 4);
            result = 0;
            break;
        }
    }
    ::freeaddrinfo(results);
    return result;
}

namespace {
std::atomic<int> socketsStarted{0};
} // namespace

int SocketsStartup(uint8_t major, uint8_t minor) {
    if (major > 2 || (major == 2 && minor > 2)) {
        return EINVAL;
    }
    socketsStarted.fetch_add(1);
    return 0;
}

void SocketsCleanup() {
    int started = socketsStarted.load();
    while (started > 0 && !socketsStarted.compare_exchange_weak(started, started - 1)) {
    }
}

int SocketsStarted() {
    return socketsStarted.load();
}

} // namespace platform
