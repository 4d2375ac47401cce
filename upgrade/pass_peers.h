// Everything a pass asks of the outside world: the two broadcast requests of the test
// pass, the five session operations, and the fixed wait between phases. The program
// uses NetworkPassPeers (the station's senders and the request interface); a test may
// put in its own to reach the pass logic without a network.
#pragma once

#include "app/device_table.h"
#include "request/thread_context.h"

#include <cstdint>

class PassPeers {
  public:
    virtual ~PassPeers() = default;

    // Set-group request for `entry`: the station's group name and key, the entry's MAC
    // and device name.
    virtual void SetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                              const DeviceEntry& entry, uint8_t flags) = 0;
    // Group-information request for the unit with `mac`, keyed with the group name.
    virtual void GetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                              const uint8_t mac[6], uint8_t flags) = 0;

    virtual bool TestConnection(uint8_t flags, const char16_t* mac, const char16_t* address) = 0;
    // On success `*room` (the room of `answer` on entry) holds the answer's length.
    virtual bool QueryState(uint8_t flags, const char16_t* mac, const char16_t* address,
                            uint32_t argument, uint16_t tag, uint32_t* room, uint8_t* answer) = 0;
    virtual bool QueryConfig(uint8_t flags, const char16_t* mac, const char16_t* address,
                             uint32_t argument, uint32_t* room, uint8_t* answer) = 0;
    virtual bool SendCommand(uint8_t flags, const char16_t* mac, const char16_t* address,
                             uint32_t length, const uint8_t* data) = 0;
    // A command in a session logged in with the unit's own group credentials.
    virtual bool SecureSendCommand(uint8_t flags, const char16_t* mac, const char16_t* address,
                                   const char16_t* groupName, const char16_t* groupKey,
                                   uint32_t length, const uint8_t* data) = 0;

    // The wait after a test-pass phase; returns early once job bit 0x10 is set.
    virtual void PhaseWait(const ThreadContext& context, uint32_t milliseconds) = 0;
};

// The station's own senders and client operations.
class NetworkPassPeers final : public PassPeers {
  public:
    void SetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                      const DeviceEntry& entry, uint8_t flags) override;
    void GetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                      const uint8_t mac[6], uint8_t flags) override;
    bool TestConnection(uint8_t flags, const char16_t* mac, const char16_t* address) override;
    bool QueryState(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t argument,
                    uint16_t tag, uint32_t* room, uint8_t* answer) override;
    bool QueryConfig(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t argument,
                     uint32_t* room, uint8_t* answer) override;
    bool SendCommand(uint8_t flags, const char16_t* mac, const char16_t* address, uint32_t length,
                     const uint8_t* data) override;
    bool SecureSendCommand(uint8_t flags, const char16_t* mac, const char16_t* address,
                           const char16_t* groupName, const char16_t* groupKey, uint32_t length,
                           const uint8_t* data) override;
    void PhaseWait(const ThreadContext& context, uint32_t milliseconds) override;
};

// The process's network peers.
PassPeers& TheNetworkPassPeers();
