// The provider set of the session operations: the same three calls as CompTalk, handed to
// hooks of an outside provider. Nothing in this program installs the hooks, so
// FstCompTalkOpen fails; tests install their own to check how replies are shaped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr size_t kFstHostSize = 64;
inline constexpr size_t kFstNameUnits = 64;
inline constexpr size_t kFstBlockSize = 64;

// open: flags, host text, port and the station's two 64-byte blocks; a provider handle,
// negative on failure. transact: flags, handle, direction (0 or 1), buffer; 0 on success.
using FstOpenHook = int (*)(uint8_t flags, const char* host, uint16_t port, const uint8_t* blockA,
                            const uint8_t* blockB);
using FstTransactHook = int (*)(uint8_t flags, int handle, int direction, uint8_t* buffer);
using FstCloseHook = void (*)(uint8_t flags, int handle);

struct FstHooks {
    FstOpenHook open = nullptr;
    FstTransactHook transact = nullptr;
    FstCloseHook close = nullptr;
};

// Replaces the process-wide hooks and returns the ones installed before.
FstHooks SetFstHooks(const FstHooks& hooks);

struct FstCompTalkSession {
    int handle;
    uint8_t open;
    uint16_t port;
    char host[kFstHostSize];
    uint8_t unitMac[6];
    uint8_t stationMac[6];
    uint8_t stationIp[4];
    char16_t groupName[kFstNameUnits];
    char16_t groupKey[kFstNameUnits];
    uint8_t flags;
    uint32_t magic;
};

FstCompTalkSession* FstCompTalkOpen(uint8_t flags, const char* host, uint16_t port,
                                    const uint8_t unitMac[6], const uint8_t stationIp[4],
                                    const uint8_t stationMac[6], std::u16string_view groupName,
                                    std::u16string_view groupKey);
int FstCompTalkSend(FstCompTalkSession* session, uint8_t command, uint8_t subCommand,
                    const uint8_t* body, size_t bodyLength, uint8_t* reply, size_t* replyLength);
void FstCompTalkClose(FstCompTalkSession* session);
