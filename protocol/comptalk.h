// CompTalk: a short, logged-in TCP session to one unit in which every frame is one packet
// (protocol/packet.h). Opened, used for one or a few exchanges and closed by one caller on
// one thread; sessions share nothing.
#pragma once

#include "protocol/comptalk_stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

inline constexpr uint32_t kCompTalkMagic = 0x92541038u;
inline constexpr int kCompTalkConnectTimeoutMs = 5000;
// Room the caller's reply buffer must have: the longest reply data a packet can carry.
inline constexpr size_t kCompTalkReplyRoom = 2045;
inline constexpr size_t kCompTalkLoginBodySize = 73;
inline constexpr size_t kCompTalkNameUnits = 32;

inline constexpr uint8_t kCompTalkGreeting = 2;
inline constexpr uint8_t kCompTalkLogout = 3;
inline constexpr uint8_t kCompTalkLogin = 4;
inline constexpr uint8_t kCompTalkLoginAccepted = 0x55;

struct CompTalkSession {
    std::unique_ptr<CompTalkStream> stream;
    uint16_t port;
    uint8_t stationIp[4];
    uint8_t stationMac[6];
    uint8_t unitMac[6];
    char16_t groupName[kCompTalkNameUnits]; // at most 31 units, zero-filled
    char16_t groupKey[kCompTalkNameUnits];
    char host[32];
    uint8_t loggedIn;
    uint8_t flags;
    uint32_t magic;
};

// Connects to `host` (dotted IPv4 or a host name) at `port` within 5 seconds, collects the
// greeting and logs in with `groupKey`. Group name and key are copied up to their first
// zero unit or their length, at most 31 units. Null on failure.
CompTalkSession* CompTalkOpen(uint8_t flags, const char* host, uint16_t port,
                              const uint8_t unitMac[6], const uint8_t stationIp[4],
                              const uint8_t stationMac[6], std::u16string_view groupName,
                              std::u16string_view groupKey);

// As CompTalkOpen, over a stream that is already connected (login only).
CompTalkSession* CompTalkOpenStream(std::unique_ptr<CompTalkStream> stream, uint8_t flags,
                                    const char* host, uint16_t port, const uint8_t unitMac[6],
                                    const uint8_t stationIp[4], const uint8_t stationMac[6],
                                    std::u16string_view groupName, std::u16string_view groupKey);

// One request and its reply. The reply data (payload after the command bytes) goes to
// `reply`, which must hold kCompTalkReplyRoom bytes. 0 on success, -1 on failure; the
// session stays open either way.
int CompTalkSend(CompTalkSession* session, uint8_t command, uint8_t subCommand, const uint8_t* body,
                 size_t bodyLength, uint8_t* reply, size_t* replyLength);

// Logs out when logged in, closes the connection and releases the record. An empty or
// invalid handle is ignored.
void CompTalkClose(CompTalkSession* session);

// Whether `session` is a live record.
bool CompTalkIsLive(const CompTalkSession* session);
