#include "platform/socket.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using platform::Endpoint;
using platform::Socket;
using platform::SocketWait;

namespace {

constexpr Endpoint kLoopbackAny{{127, 0, 0, 1}, 0};

Socket BoundUdp(Endpoint* where) {
    int error = -1;
    Socket socket = platform::OpenUdpSocket(&error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(platform::Bind(socket, kLoopbackAny), 0);
    EXPECT_EQ(platform::LocalEndpoint(socket, where), 0);
    return socket;
}

TEST(Socket, MovesOwnershipAndClosesOnce) {
    int error = -1;
    Socket a = platform::OpenUdpSocket(&error);
    ASSERT_TRUE(a.Valid());
    const int descriptor = a.Descriptor();
    Socket b = std::move(a);
    EXPECT_FALSE(a.Valid());
    EXPECT_EQ(b.Descriptor(), descriptor);
    Socket c;
    c = std::move(b);
    EXPECT_EQ(c.Descriptor(), descriptor);
    c.Close();
    EXPECT_FALSE(c.Valid());
    EXPECT_EQ(platform::SetNonBlocking(c, true), EBADF);
}

TEST(Socket, UdpDatagramsOnLoopback) {
    Endpoint receiverAt{};
    Socket receiver = BoundUdp(&receiverAt);
    ASSERT_NE(receiverAt.port, 0);
    ASSERT_EQ(platform::SetNonBlocking(receiver, true), 0);

    uint8_t buffer[64];
    size_t received = 99;
    EXPECT_EQ(platform::ReceiveFrom(receiver, buffer, sizeof buffer, &received, nullptr),
              platform::kWouldBlock);
    EXPECT_EQ(platform::WaitReadable(receiver, 10), SocketWait::Timeout);

    Endpoint senderAt{};
    Socket sender = BoundUdp(&senderAt);
    size_t sent = 0;
    ASSERT_EQ(platform::SendTo(sender, "hello", 5, receiverAt, &sent), 0);
    EXPECT_EQ(sent, 5u);
    ASSERT_EQ(platform::WaitReadable(receiver, 2000), SocketWait::Ready);
    Endpoint from{};
    ASSERT_EQ(platform::ReceiveFrom(receiver, buffer, sizeof buffer, &received, &from), 0);
    EXPECT_EQ(received, 5u);
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    EXPECT_EQ(from.port, senderAt.port);
    EXPECT_EQ(from.ip[0], 127);

    // A datagram longer than the buffer is a failed receive, and it is gone afterwards.
    const std::string big(100, 'x');
    ASSERT_EQ(platform::SendTo(sender, big.data(), big.size(), receiverAt, &sent), 0);
    ASSERT_EQ(platform::SendTo(sender, "ok", 2, receiverAt, &sent), 0);
    ASSERT_EQ(platform::WaitReadable(receiver, 2000), SocketWait::Ready);
    EXPECT_EQ(platform::ReceiveFrom(receiver, buffer, sizeof buffer, &received, nullptr),
              platform::kMessageTooLong);
    ASSERT_EQ(platform::WaitReadable(receiver, 2000), SocketWait::Ready);
    ASSERT_EQ(platform::ReceiveFrom(receiver, buffer, sizeof buffer, &received, nullptr), 0);
    EXPECT_EQ(received, 2u);
    EXPECT_EQ(platform::ReceiveFrom(receiver, buffer, 64, &received, nullptr),
              platform::kWouldBlock);
}

TEST(Socket, TcpConnectSendPeekAndClose) {
    int error = -1;
    Socket listener = platform::OpenTcpSocket(&error);
    ASSERT_EQ(error, 0);
    ASSERT_EQ(platform::SetReuseAddress(listener, true), 0);
    ASSERT_EQ(platform::Bind(listener, kLoopbackAny), 0);
    ASSERT_EQ(platform::Listen(listener, 4), 0);
    Endpoint listenAt{};
    ASSERT_EQ(platform::LocalEndpoint(listener, &listenAt), 0);

    Socket client = platform::OpenTcpSocket(&error);
    ASSERT_EQ(platform::SetNonBlocking(client, true), 0);
    ASSERT_EQ(platform::SetNoDelay(client, true), 0);
    const int connecting = platform::Connect(client, listenAt);
    ASSERT_TRUE(connecting == 0 || connecting == platform::kWouldBlock) << connecting;
    ASSERT_EQ(platform::WaitWritable(client, 2000), SocketWait::Ready);
    EXPECT_EQ(platform::ConnectError(client), 0);

    Endpoint remote{};
    Socket server = platform::Accept(listener, &remote, &error);
    ASSERT_TRUE(server.Valid()) << error;

    size_t sent = 0;
    ASSERT_EQ(platform::Send(client, "abcdef", 6, &sent), 0);
    EXPECT_EQ(sent, 6u);
    ASSERT_EQ(platform::WaitReadable(server, 2000), SocketWait::Ready);
    size_t waiting = 0;
    ASSERT_EQ(platform::BytesWaiting(server, &waiting), 0);
    EXPECT_EQ(waiting, 6u);
    char buffer[16] = {};
    size_t received = 0;
    ASSERT_EQ(platform::Receive(server, buffer, 3, &received, true), 0);
    EXPECT_EQ(std::string(buffer, received), "abc");
    ASSERT_EQ(platform::Receive(server, buffer, sizeof buffer, &received), 0);
    EXPECT_EQ(std::string(buffer, received), "abcdef");

    // An orderly close reads as zero bytes; sending on after the peer has gone yields
    // an error instead of killing the process with SIGPIPE.
    server.Close();
    ASSERT_EQ(platform::WaitReadable(client, 2000), SocketWait::Ready);
    ASSERT_EQ(platform::Receive(client, buffer, sizeof buffer, &received), 0);
    EXPECT_EQ(received, 0u);
    int result = 0;
    for (int i = 0; i < 50 && result == 0; ++i) {
        result = platform::Send(client, "more", 4, &sent);
    }
    EXPECT_TRUE(result == EPIPE || result == ECONNRESET) << result;
}

TEST(Socket, ConnectToAClosedPortReportsRefusal) {
    // Take a free port, then close it so nothing listens there.
    Endpoint at{};
    int error = -1;
    {
        Socket probe = platform::OpenTcpSocket(&error);
        ASSERT_EQ(platform::Bind(probe, kLoopbackAny), 0);
        ASSERT_EQ(platform::LocalEndpoint(probe, &at), 0);
    }
    Socket client = platform::OpenTcpSocket(&error);
    ASSERT_EQ(platform::SetNonBlocking(client, true), 0);
    const int connecting = platform::Connect(client, at);
    if (connecting == platform::kWouldBlock) {
        EXPECT_NE(platform::WaitWritable(client, 2000), SocketWait::Timeout);
        EXPECT_EQ(platform::ConnectError(client), ECONNREFUSED);
    } else {
        EXPECT_EQ(connecting, ECONNREFUSED);
    }
}

TEST(Socket, ResolvesDottedAddressesAndLocalhost) {
    uint8_t address[4] = {};
    ASSERT_EQ(platform::ResolveIpv4("198.51.100.200", address), 0);
    EXPECT_EQ(address[0], 198);
    EXPECT_EQ(address[3], 200);
    ASSERT_EQ(platform::ResolveIpv4("localhost", address), 0);
    EXPECT_EQ(address[0], 127);
    EXPECT_EQ(platform::ResolveIpv4(nullptr, address), EINVAL);
}

} // namespace
