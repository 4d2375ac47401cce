#include "protocol/comptalk.h"

#include "platform/socket.h"
#include "protocol/log.h"
#include "protocol/packet.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr char kOpenName[] = "OpenPollnet";
constexpr char kConnectName[] = "ConnectPollnet";
constexpr char kLoginName[] = "LoginPollnet";
constexpr char kSendName[] = "CompTalkSend";

// The last socket made, for the non-blocking failure text.
std::atomic<int> gLastSocket{-1};

// Released records are kept with their magic cleared, so a stale handle reads valid
// memory and is refused.
class SessionPool {
  public:
    CompTalkSession* Acquire() {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            CompTalkSession* record = free_.back();
            free_.pop_back();
            return record;
        }
        return new (std::nothrow) CompTalkSession{};
    }
    void Release(CompTalkSession* record) {
        record->stream.reset();
        *record = CompTalkSession{};
        std::lock_guard lock(mutex_);
        try {
            free_.push_back(record);
        } catch (const std::bad_alloc&) {
            // Stays allocated and unlisted; still safe to check.
        }
    }

  private:
    std::mutex mutex_;
    std::vector<CompTalkSession*> free_;
};

SessionPool& Pool() {
    static SessionPool* pool = new SessionPool; // outlives every session
    return *pool;
}

void CopyName(char16_t (&destination)[kCompTalkNameUnits], std::u16string_view text) {
    std::fill(std::begin(destination), std::end(destination), u'\0');
    const size_t units = std::min(text.size(), kCompTalkNameUnits - 1);
    for (size_t i = 0; i < units && text[i] != u'\0'; ++i) {
        destination[i] = text[i];
    }
}

void PutUtf16Le(uint8_t* out, const char16_t* text, size_t units) {
    for (size_t i = 0; i < units; ++i) {
        out[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
}

bool SendAll(CompTalkStream& stream, const uint8_t* packet, size_t length) {
    size_t sent = 0;
    return stream.Send(packet, length, &sent) == 0 && sent == length;
}

void Release(CompTalkSession* session) {
    session->magic = 0;
    Pool().Release(session);
}

// Creates the socket and connects it (non-blocking, within 5 seconds, no Nagle delay).
platform::Socket ConnectPollnet(const char* host, uint16_t port) {
    int error = 0;
    platform::Socket socket = platform::OpenTcpSocket(&error);
    if (!socket.Valid()) {
        LogMessage(kLogWarning, u"%S: Error in creating socket for Poll\n", kOpenName);
        return {};
    }
    gLastSocket.store(socket.Descriptor(), std::memory_order_relaxed);
    LogMessage(kLogParams, u"%S: msock=0x%x\n", kOpenName, socket.Descriptor());
    uint8_t address[4] = {};
    if (platform::ResolveIpv4(host, address) != 0) {
        LogMessage(kLogWarning, u"%S: Failed to get host address, host=%S, port=%d\n", kConnectName,
                   host, port);
        return {};
    }
    error = platform::SetNonBlocking(socket, true);
    if (error != 0) {
        LogMessage(kLogWarning, u"%S: ioctlsockerror=%d, sock=0x%x||0x%x, lasterr=%d\n",
                   kConnectName, -1, socket.Descriptor(),
                   gLastSocket.load(std::memory_order_relaxed), error);
        return {};
    }
    error = platform::Connect(
        socket, platform::Endpoint{{address[0], address[1], address[2], address[3]}, port});
    if (error == platform::kWouldBlock) {
        const platform::SocketWait wait = platform::WaitWritable(socket, kCompTalkConnectTimeoutMs);
        error = wait == platform::SocketWait::Ready     ? platform::ConnectError(socket)
                : wait == platform::SocketWait::Timeout ? ETIMEDOUT
                                                        : platform::ConnectError(socket);
        if (error == 0 && wait != platform::SocketWait::Ready) {
            error = ECONNREFUSED;
        }
    }
    if (error != 0) {
        LogMessage(kLogWarning, u"%S: Failed to connect, host=%S, port=%d, lasterr=%d\n",
                   kConnectName, host, port, error);
        return {};
    }
    if (platform::SetNoDelay(socket, true) != 0) {
        return {};
    }
    return socket;
}

bool LoginPollnet(CompTalkSession& session) {
    CompTalkStream& stream = *session.stream;
    uint8_t packet[kCompTalkPacketRoom];
    const size_t greeting = CompTalkRecvGreeting(stream, packet, kCompTalkGreetingRoom);
    if (greeting <= kPacketHeaderSize) {
        LogMessage(kLogWarning, u"%S: failed RecvBytes\n", kLoginName);
        return false;
    }
    uint16_t payloadLength = 0;
    size_t offset =
        ParsePacket(packet, greeting, session.unitMac, session.groupName, nullptr, &payloadLength);
    if (offset == 0) {
        LogMessage(kLogWarning, u"%S: failed RecvBytes\n", kLoginName);
        return false;
    }
    if (packet[offset] != kCompTalkGreeting) {
        return false;
    }

    uint8_t body[kCompTalkLoginBodySize] = {};
    std::memcpy(body, session.stationMac, 6);
    PutUtf16Le(body + 6, session.groupKey, kCompTalkNameUnits);
    const size_t length =
        BuildPacket(session.stationIp, session.unitMac, session.groupName, packet, sizeof packet,
                    session.flags, kCompTalkLogin, 0, body, sizeof body);
    if (length == 0) {
        LogMessage(kLogWarning, u"%S: RecvPacket bad packet\n", kLoginName);
        return false;
    }
    CompTalkFlush(stream);
    if (!SendAll(stream, packet, length)) {
        LogMessage(kLogWarning, u"%S: Failed SendPacket cmd=%c\n", kLoginName, kCompTalkLogin);
        return false;
    }
    const int received = CompTalkRecvPacket(stream, packet, sizeof packet);
    offset = received > 0 ? ParsePacket(packet, static_cast<size_t>(received), session.unitMac,
                                        session.groupName, nullptr, &payloadLength)
                          : 0;
    if (offset == 0) {
        LogMessage(kLogWarning, u"%S: RecvPacket bad packet\n", kLoginName);
        return false;
    }
    return payloadLength == 3 && packet[offset] == kCompTalkLogin &&
           packet[offset + 2] == kCompTalkLoginAccepted;
}

// Sends one request and returns the opened reply's payload offset in `packet` (0 when
// refused or when the exchange failed at the send or the receive, then `*received` is
// false). A null `name` writes no diagnostics.
size_t Exchange(CompTalkSession& session, const char* name, uint8_t command, uint8_t subCommand,
                const uint8_t* body, size_t bodyLength, uint8_t* packet, size_t room,
                uint16_t* payloadLength, bool* received) {
    *received = false;
    const size_t length = BuildPacket(session.stationIp, session.unitMac, session.groupName, packet,
                                      room, session.flags, command, subCommand, body, bodyLength);
    if (length == 0) {
        return 0;
    }
    CompTalkFlush(*session.stream);
    if (!SendAll(*session.stream, packet, length)) {
        if (name) {
            LogMessage(kLogWarning, u"%S: Failed SendPacket cmd=%c\n", name, command);
        }
        return 0;
    }
    const int got = CompTalkRecvPacket(*session.stream, packet, room);
    if (got <= static_cast<int>(kPacketHeaderSize)) {
        if (name) {
            LogMessage(kLogWarning, u"%S: Failed RecvPacket\n", name);
        }
        return 0;
    }
    *received = true;
    return ParsePacket(packet, static_cast<size_t>(got), session.unitMac, session.groupName,
                       nullptr, payloadLength);
}

} // namespace

bool CompTalkIsLive(const CompTalkSession* session) {
    return session && session->magic == kCompTalkMagic && session->stream;
}

CompTalkSession* CompTalkOpenStream(std::unique_ptr<CompTalkStream> stream, uint8_t flags,
                                    const char* host, uint16_t port, const uint8_t unitMac[6],
                                    const uint8_t stationIp[4], const uint8_t stationMac[6],
                                    std::u16string_view groupName, std::u16string_view groupKey) {
    if (!stream) {
        return nullptr;
    }
    CompTalkSession* session = Pool().Acquire();
    if (!session) {
        return nullptr;
    }
    session->loggedIn = 0;
    session->stream = std::move(stream);
    if (host) {
        std::strncpy(session->host, host, sizeof session->host - 1);
    }
    session->port = port;
    if (unitMac) {
        std::memcpy(session->unitMac, unitMac, 6);
    }
    if (stationMac) {
        std::memcpy(session->stationMac, stationMac, 6);
    }
    if (stationIp) {
        std::memcpy(session->stationIp, stationIp, 4);
    }
    CopyName(session->groupName, groupName);
    CopyName(session->groupKey, groupKey);
    session->flags = flags;
    session->magic = kCompTalkMagic;
    if (!LoginPollnet(*session)) {
        Release(session);
        return nullptr;
    }
    session->loggedIn = 1;
    return session;
}

CompTalkSession* CompTalkOpen(uint8_t flags, const char* host, uint16_t port,
                              const uint8_t unitMac[6], const uint8_t stationIp[4],
                              const uint8_t stationMac[6], std::u16string_view groupName,
                              std::u16string_view groupKey) {
    if (!host) {
        return nullptr;
    }
    char hostText[32] = {};
    std::strncpy(hostText, host, sizeof hostText - 1);
    platform::Socket socket = ConnectPollnet(hostText, port);
    if (!socket.Valid()) {
        return nullptr;
    }
    return CompTalkOpenStream(MakeSocketStream(std::move(socket)), flags, hostText, port, unitMac,
                              stationIp, stationMac, groupName, groupKey);
}

int CompTalkSend(CompTalkSession* session, uint8_t command, uint8_t subCommand, const uint8_t* body,
                 size_t bodyLength, uint8_t* reply, size_t* replyLength) {
    if (!CompTalkIsLive(session) || (!body && bodyLength != 0)) {
        return -1;
    }
    // Room for the largest packet the codec builds or accepts, the request and its reply.
    uint8_t packet[kCompTalkPacketRoom];
    uint16_t payloadLength = 0;
    bool received = false;
    const size_t offset = Exchange(*session, kSendName, command, subCommand, body, bodyLength,
                                   packet, sizeof packet, &payloadLength, &received);
    if (!received) {
        return -1;
    }
    if (offset == 0 || payloadLength < 2 || packet[offset] != command ||
        packet[offset + 1] != subCommand) {
        LogMessage(kLogWarning, u"%S: Failed DecryptPacket indx=%d\n", kSendName,
                   static_cast<int>(offset));
        return -1;
    }
    const size_t dataLength = payloadLength - 2u;
    if (reply && dataLength > 0) {
        std::memcpy(reply, packet + offset + 2, dataLength);
    }
    if (replyLength) {
        *replyLength = dataLength;
    }
    return 0;
}

void CompTalkClose(CompTalkSession* session) {
    if (!session || session->magic != kCompTalkMagic) {
        return;
    }
    if (session->loggedIn && session->stream) {
        uint8_t packet[kCompTalkPacketRoom];
        uint16_t payloadLength = 0;
        bool received = false;
        Exchange(*session, nullptr, kCompTalkLogout, 0, nullptr, 0, packet, sizeof packet,
                 &payloadLength, &received);
        session->loggedIn = 0;
    }
    Release(session);
}
