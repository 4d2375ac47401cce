// The station's UDP requests to units: one packet per call, sent from a fresh socket to
// the units' broadcast port. Each sender returns 0 when the datagram was handed to the
// network and -1 otherwise, having written the failing step's text at level 48.
#pragma once

#include "protocol/broadcast_bodies.h"

#include <cstddef>
#include <cstdint>

// Room SendBroadcast builds in; a packet that does not fit is refused.
inline constexpr size_t kBroadcastPacketRoom = 260;

// `sourceIp` is the station's address, `destIp` the unit's, a subnet broadcast or
// 255.255.255.255 (the only destination sent with broadcast permission). `mac` and
// `name` are the key material for key selectors 0x00 and 0x04.
int SendBroadcast(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                  const uint8_t* mac, const char16_t* name, uint8_t flags, uint8_t subCommand,
                  const uint8_t* body, size_t bodyLength);

// The unit's MAC is both the body and the key material for selector 0x00.
int SendBroadcastGetGroupInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                              const uint8_t mac[6], const char16_t* name, uint8_t flags);
int SendBroadcastGetNetInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                            const uint8_t mac[6], const char16_t* name, uint8_t flags);
int SendBroadcastSetNetInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                            const uint8_t mac[6], const char16_t* name, uint8_t flags,
                            const NetworkSettings& settings);
// `groupName` is the body's group name and the key material for selector 0x04.
int SendBroadcastSetGroupInfo(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                              const uint8_t mac[6], const char16_t* groupName, uint8_t flags,
                              const char16_t* deviceName, const char16_t* groupPassword);
// The discovery query: no body.
int SendBroadcastToloQuery(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                           const uint8_t* mac, const char16_t* name, uint8_t flags);
// An action request with the caller's sub-command and body, keyed with an empty name.
int SendTalkBroadcast(uint16_t port, const uint8_t sourceIp[4], const uint8_t destIp[4],
                      const uint8_t* mac, uint8_t flags, uint8_t subCommand, const uint8_t* body,
                      size_t bodyLength);
