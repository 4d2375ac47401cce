// IPv4 sockets behind a thin layer that keeps the behaviour the callers expect of
// Windows Sockets: a non-blocking connect reports would-block, sends never raise
// SIGPIPE, an over-long datagram is a failed receive rather than a silent truncation,
// and a directed subnet broadcast goes out as it would on Windows. Error codes are errno
// values; 0 means success.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace platform {

inline constexpr int kWouldBlock = EWOULDBLOCK;
inline constexpr int kMessageTooLong = EMSGSIZE;

struct Endpoint {
    uint8_t ip[4]; // first octet first
    uint16_t port; // host order
};

// Owns one socket descriptor; closes it when it goes out of scope.
class Socket {
  public:
    Socket() = default;
    explicit Socket(int descriptor) : descriptor_(descriptor) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : descriptor_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Valid() const { return descriptor_ >= 0; }
    int Descriptor() const { return descriptor_; }
    int Release();
    void Close();

  private:
    int descriptor_ = -1;
};

// The start and end of the socket library as Windows counts them (WSAStartup and
// WSACleanup). POSIX sockets need neither, so only the version is checked: 0 for a
// version up to 2.2, an error code for a later one. Every start is matched by one end.
int SocketsStartup(uint8_t major, uint8_t minor);
void SocketsCleanup();
// Starts that have not been ended yet.
int SocketsStarted();

// Creation: an invalid Socket with `*error` set on failure.
Socket OpenUdpSocket(int* error);
Socket OpenTcpSocket(int* error);

int SetNonBlocking(const Socket& socket, bool on);
int SetBroadcast(const Socket& socket, bool on);
int SetNoDelay(const Socket& socket, bool on);
int SetReuseAddress(const Socket& socket, bool on);
// Asks for a receive buffer of `bytes`; the kernel may cap it (see net.core.rmem_max).
int SetReceiveBufferSize(const Socket& socket, int bytes);

int Bind(const Socket& socket, const Endpoint& local);
int LocalEndpoint(const Socket& socket, Endpoint* local);

// UDP. SendTo sends one datagram; when the kernel refuses a directed broadcast for want
// of broadcast permission it grants the permission and sends again, as Windows sends
// those without it (255.255.255.255 still needs SetBroadcast, as on Windows). ReceiveFrom takes one
// datagram; one longer than `capacity` is consumed and reported as kMessageTooLong.
int SendTo(const Socket& socket, const void* data, size_t size, const Endpoint& to, size_t* sent);
int ReceiveFrom(const Socket& socket, void* buffer, size_t capacity, size_t* received,
                Endpoint* from);

enum class SocketWait { Ready, Timeout, SocketError, Failed };

// Waits until the socket can be read (or written), or reports an error condition.
SocketWait WaitReadable(const Socket& socket, int timeoutMs);
SocketWait WaitWritable(const Socket& socket, int timeoutMs);

// TCP. Connect returns 0, kWouldBlock while a non-blocking connect is under way (then
// wait writable and read ConnectError), or the error.
int Connect(const Socket& socket, const Endpoint& remote);
// The outcome of a finished non-blocking connect (SO_ERROR).
int ConnectError(const Socket& socket);
int Listen(const Socket& socket, int backlog);
Socket Accept(const Socket& listener, Endpoint* remote, int* error);
// Sends without SIGPIPE: a peer that reset the connection yields EPIPE or ECONNRESET.
int Send(const Socket& socket, const void* data, size_t size, size_t* sent);
// `*received` = 0 with result 0 is an orderly close by the peer. `peek` leaves the bytes
// waiting.
int Receive(const Socket& socket, void* buffer, size_t capacity, size_t* received,
            bool peek = false);
int BytesWaiting(const Socket& socket, size_t* count);

// Resolves a host name or dotted address to its first IPv4 address. Returns 0, or a
// non-zero code (ENOENT when the name has no IPv4 address, an errno value otherwise).
int ResolveIpv4(const char* host, uint8_t address[4]);

} // namespace platform
