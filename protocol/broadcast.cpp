#include "protocol/broadcast.h"

#include "platform/socket.h"
#include "protocol/log.h"
#include "protocol/packet.h"

#include <cstdio>

int SendBroadcast(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                  const uint8_t* mac, const char16_t* name, uint8_t flags, uint8_t subCommand,
                  const uint8_t* body, size_t bodyLength) {
    int error = 0;
    // Closed on every return from here on.
    platform::Socket socket = platform::OpenUdpSocket(&error);
    if (!socket.Valid()) {
        LogMessage(kLogError, u"Failed to open socket for broadcasting!, error %d\n", error);
        return -1;
    }
    error = platform::SetNonBlocking(socket, true);
    if (error != 0) {
        LogMessage(kLogError, u"set non-blocking ioctlsockerror=%d, lasterr=%d\n", -1, error);
        return -1;
    }
    const bool limited =
        destIp[0] == 255 && destIp[1] == 255 && destIp[2] == 255 && destIp[3] == 255;
    if (limited && platform::SetBroadcast(socket, true) != 0) {
        LogMessage(kLogError, u"Failed to set broadcasting flag!\n");
        return -1;
    }
    char host[16];
    std::snprintf(host, sizeof host, "%d.%d.%d.%d", destIp[0], destIp[1], destIp[2], destIp[3]);
    platform::Endpoint destination{{}, port};
    if (platform::ResolveIpv4(host, destination.ip) != 0) {
        LogMessage(kLogError, u"Failed to get dest brnetwork!\n");
        return -1;
    }
    uint8_t packet[kBroadcastPacketRoom];
    const size_t length = BuildPacket(sourceIp, mac, name, packet, sizeof packet, flags,
                                      kBroadcastCommand, subCommand, body, bodyLength);
    if (length == 0) {
        LogMessage(kLogError, u"broadcast failed, illegal encrypted size.\n");
        return -1;
    }
    size_t sent = 0;
    error = platform::SendTo(socket, packet, length, destination, &sent);
    if (error != 0 || sent != length) {
        LogMessage(kLogError, u"Failed to broadcast data! errno = %d\n", error);
        return -1;
    }
    LogMessage(kLogTrace, u"broadcast is done.\n");
    LogMessage(kLogTrace, u"broadcasted: scmd=0x%x\n", subCommand);
    return 0;
}

int SendBroadcastGetGroupInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                              const uint8_t mac[6], const char16_t* name, uint8_t flags) {
    LogMessage(kLogEntry, u"SendBroadcastGetGroupInfo()\n");
    return SendBroadcast(port, sourceIp, destIp, mac, name, flags, kSubGetGroupInfo, mac, 6);
}

int SendBroadcastGetNetInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                            const uint8_t mac[6], const char16_t* name, uint8_t flags) {
    LogMessage(kLogEntry, u"SendBroadcastGetNetInfo()\n");
    return SendBroadcast(port, sourceIp, destIp, mac, name, flags, kSubGetNetInfo, mac, 6);
}

int SendBroadcastSetNetInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                            const uint8_t mac[6], const char16_t* name, uint8_t flags,
                            const NetworkSettings& settings) {
    LogMessage(kLogEntry, u"SendBroadcastSetNetInfo()\n");
    uint8_t body[kNetworkBodySize];
    EncodeNetworkBody(mac, settings, body);
    return SendBroadcast(port, sourceIp, destIp, mac, name, flags, kSubSetNetInfo, body,
                         sizeof body);
}

int SendBroadcastSetGroupInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                              const uint8_t mac[6], const char16_t* groupName, uint8_t flags,
                              const char16_t* deviceName, const char16_t* groupPassword) {
    uint8_t body[kGroupBodySize];
    EncodeGroupBody(mac, deviceName, groupName, groupPassword, body);
    return SendBroadcast(port, sourceIp, destIp, mac, groupName, flags, kSubSetGroupInfo, body,
                         sizeof body);
}

int SendBroadcastToloQuery(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                           const uint8_t* mac, const char16_t* name, uint8_t flags) {
    LogMessage(kLogEntry, u"SendBroadcastToloQuery()\n");
    return SendBroadcast(port, sourceIp, destIp, mac, name, flags, kSubDiscover, nullptr, 0);
}

int SendTalkBroadcast(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                      const uint8_t* mac, uint8_t flags, uint8_t subCommand, const uint8_t* body,
                      size_t bodyLength) {
    return SendBroadcast(port, sourceIp, destIp, mac, u"", flags, subCommand, body, bodyLength);
}
