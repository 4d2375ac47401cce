#include "protocol/broadcast.h"
#include "request/device_client.h"
#include "upgrade/pass_peers.h"

#include <chrono>
#include <thread>

namespace {

constexpr uint32_t kWaitStepMs = 10;

int Room(uint32_t room) {
    return room > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(room);
}

} // namespace

void NetworkPassPeers::SetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                                    const DeviceEntry& entry, uint8_t flags) {
    SendBroadcastSetGroupInfo(context.broadcastPort, context.stationIp, destination,
                              entry.macAddress, context.groupName, flags, entry.deviceName,
                              context.groupKey);
}

void NetworkPassPeers::GetGroupInfo(const ThreadContext& context, const uint8_t destination[4],
                                    const uint8_t mac[6], uint8_t flags) {
    SendBroadcast(context.broadcastPort, context.stationIp, destination, mac, context.groupName,
                  flags, kSubGetGroupInfo, mac, 6);
}

bool NetworkPassPeers::TestConnection(uint8_t flags, const char16_t* mac, const char16_t* address) {
    return ProcTestRemDevConnection(flags, mac, address);
}

bool NetworkPassPeers::QueryState(uint8_t flags, const char16_t* mac, const char16_t* address,
                                  uint32_t argument, uint16_t tag, uint32_t* room,
                                  uint8_t* answer) {
    int length = Room(*room);
    if (!ProcQryState(flags, mac, address, argument, tag, &length, answer) || length < 0) {
        return false;
    }
    *room = static_cast<uint32_t>(length);
    return true;
}

bool NetworkPassPeers::QueryConfig(uint8_t flags, const char16_t* mac, const char16_t* address,
                                   uint32_t argument, uint32_t* room, uint8_t* answer) {
    int length = Room(*room);
    if (!ProcQryConfig(flags, mac, address, argument, &length, answer) || length < 0) {
        return false;
    }
    *room = static_cast<uint32_t>(length);
    return true;
}

bool NetworkPassPeers::SendCommand(uint8_t flags, const char16_t* mac, const char16_t* address,
                                   uint32_t length, const uint8_t* data) {
    return ProcSendCmd(flags, mac, address, length, data);
}

bool NetworkPassPeers::SecureSendCommand(uint8_t flags, const char16_t* mac,
                                         const char16_t* address, const char16_t* groupName,
                                         const char16_t* groupKey, uint32_t length,
                                         const uint8_t* data) {
    return ProcSSendCmd(flags, mac, address, groupName, groupKey, length, data);
}

void NetworkPassPeers::PhaseWait(const ThreadContext& context, uint32_t milliseconds) {
    // In steps, so an operator's abort does not sit out the rest of the wait.
    for (uint32_t waited = 0; waited < milliseconds; waited += kWaitStepMs) {
        if (JobFlagTest(context, kJobAbort)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitStepMs));
    }
}

PassPeers& TheNetworkPassPeers() {
    static NetworkPassPeers peers;
    return peers;
}
