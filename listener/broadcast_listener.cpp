#include "listener/broadcast_listener.h"

#include "listener/response_records.h"
#include "platform/named_event.h"
#include "platform/socket.h"
#include "platform/thread.h"
#include "protocol/broadcast_bodies.h"
#include "protocol/log.h"
#include "protocol/packet.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string_view>

namespace {

constexpr uint32_t kEventWaitMs = 50;
constexpr int kReadableWaitMs = 1000;
constexpr int kUnknownWakeLimit = 12;
// Upper bound of datagrams taken in one receive attempt, so a flood cannot keep the
// listener from seeing its stop bit.
constexpr int kDrainLimit = 4096;

std::atomic<int> gRunningWorkers{0};
std::atomic<int> gPeakWorkers{0};

// Counted from before a worker starts until it has finished, so a waiter cannot miss a
// worker that is about to run.
void WorkerStarted() {
    const int now = gRunningWorkers.fetch_add(1) + 1;
    int peak = gPeakWorkers.load();
    while (now > peak && !gPeakWorkers.compare_exchange_weak(peak, now)) {
    }
}

void WorkerEnded() {
    gRunningWorkers.fetch_sub(1);
}

std::u16string_view NameOf(const char16_t* text, size_t units) {
    size_t length = 0;
    while (length < units && text[length] != 0) {
        ++length;
    }
    return {text, length};
}

uint32_t Be16(const uint8_t* p) {
    return (uint32_t{p[0]} << 8) | p[1];
}

uint32_t Be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool IsUnitType(uint8_t sourceType) {
    return (sourceType & kTypeMask) == kTypeUnit;
}

void HandleDiscoveryReply(const uint8_t* packet, const uint8_t* payload, uint16_t length,
                          const uint8_t sourceIp[4]) {
    DiscoveryRecord record{};
    record.flags = packet[2];
    record.sourceType = packet[3];
    std::memcpy(record.sourceIp, sourceIp, 4);
    DecodeDiscoveryReply(payload, length, record.sourceType, record.reply);
    const DiscoveryReply& reply = record.reply;
    const uint8_t* mac = reply.mac;
    LogMessage(kLogTrace,
               u"   from IP [%d.%d.%d.%d], hwaddr [%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x]\n",
               sourceIp[0], sourceIp[1], sourceIp[2], sourceIp[3], mac[0], mac[1], mac[2], mac[3],
               mac[4], mac[5]);
    LogMessage(kLogTrace, u"deviceName=[%s], groupName[%s], ", reply.deviceName, reply.groupName);
    const uint8_t* code = reply.modelCode;
    if (code[0] == 0xFF && code[1] == 0xFF) {
        LogMessage(kLogTrace, u"no modelCode\n");
    } else {
        LogMessage(kLogTrace, u"model=[0x%-4.4X:0x%-8.8X:0x%-4.4X]\n", Be16(code), Be32(code + 2),
                   Be16(code + 6));
    }
    RecordBroadcastDevInfo(record);
}

bool HandleNetInfoReply(const uint8_t* packet, const uint8_t* payload, uint16_t length,
                        const uint8_t sourceIp[4]) {
    NetInfoReply reply{};
    if (!DecodeNetInfoReply(payload, length, reply)) {
        return false;
    }
    const uint8_t* mac = reply.mac;
    const NetworkSettings& s = reply.settings;
    LogMessage(kLogTrace,
               u"hwaddr [%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x], netopt=0x%4.4x, devslport=%d, "
               u"tololport=%d\n",
               mac[0], mac[1], mac[2], mac[3], mac[4], mac[5], s.options, s.unitPort,
               s.stationPort);
    LogMessage(kLogTrace,
               u"devipaddr [%d.%d.%d.%d], subnetmask [%d.%d.%d.%d], gateway [%d.%d.%d.%d]\n",
               s.unitIp[0], s.unitIp[1], s.unitIp[2], s.unitIp[3], s.mask[0], s.mask[1], s.mask[2],
               s.mask[3], s.gateway[0], s.gateway[1], s.gateway[2], s.gateway[3]);
    LogMessage(kLogTrace,
               u"dns1Name [%d.%d.%d.%d], dns2Name [%d.%d.%d.%d], dns3Name [%d.%d.%d.%d]\n",
               s.dns1[0], s.dns1[1], s.dns1[2], s.dns1[3], s.dns2[0], s.dns2[1], s.dns2[2],
               s.dns2[3], s.dns3[0], s.dns3[1], s.dns3[2], s.dns3[3]);
    LogMessage(kLogTrace, u"toloipaddr [%d.%d.%d.%d]\n", s.stationIp[0], s.stationIp[1],
               s.stationIp[2], s.stationIp[3]);
    RecordBroadcastNetInfo(packet[3], mac, sourceIp, s);
    return true;
}

void HandleGroupInfoReply(const uint8_t* packet, const uint8_t* payload, uint16_t length,
                          const uint8_t sourceIp[4]) {
    GroupInfoReply reply{};
    DecodeGroupInfoReply(payload, length, reply);
    const uint8_t* mac = reply.mac;
    LogMessage(kLogTrace, u"   from hwaddr [%2.2x:%2.2x:%2.2x:%2.2x:%2.2x:%2.2x]\n", mac[0], mac[1],
               mac[2], mac[3], mac[4], mac[5]);
    LogMessage(kLogTrace, u"deviceName=[%s], groupName[%s], toloPasswd[%s], ", reply.deviceName,
               reply.groupName, reply.groupPassword);
    const uint8_t* code = reply.modelCode;
    if (code[0] == 0xFF && code[1] == 0xFF) {
        LogMessage(kLogTrace, u"no model\n");
    } else {
        LogMessage(kLogTrace, u"model=[0x%-4.4X:0x%-8.8X]\n", Be16(code), Be32(code + 2));
    }
    if (IsUnitType(packet[3])) {
        RecordBroadcastGroupInfo(mac, sourceIp, reply.groupName, reply.deviceName,
                                 reply.groupPassword, code);
    } else {
        LogMessage(kLogError, u"Wrong device for RecordBroadcastGroupInfo\n");
    }
}

void StartWorker(const uint8_t* bytes, size_t length, const ReplyKeys& keys) {
    auto* record = new (std::nothrow) DatagramRecord;
    if (!record) {
        return; // dropped silently
    }
    record->length = static_cast<uint32_t>(length);
    std::memcpy(record->bytes, bytes, length);
    std::atomic<uint32_t> id{0};
    WorkerStarted();
    // Workers are detached: the listener never waits for them. Each owns its datagram
    // and a copy of the key material, and leaves only posted records behind.
    std::thread worker = platform::StartThread(
        [record, keys] {
            ProcessBroadcastResp(std::unique_ptr<DatagramRecord>(record), keys);
            WorkerEnded();
        },
        &id);
    if (!worker.joinable()) {
        WorkerEnded();
        delete record;
        LogMessage(kLogError, u"Unable to create ProcessBroadcastResp thread\n");
        return;
    }
    worker.detach();
    LogMessage(kLogReceipt, u"Created ProcessBroadcastResp ID=0x%x, %lu\n", id.load(), id.load());
}

// Takes every datagram waiting (up to kDrainLimit), waiting up to a second for the
// first when none is there yet.
void ReceiveAttempt(const platform::Socket& socket, const ReplyKeys& keys) {
    uint8_t buffer[kDatagramCapacity];
    for (int taken = 0; taken < kDrainLimit; ++taken) {
        size_t received = 0;
        int error = platform::ReceiveFrom(socket, buffer, sizeof buffer, &received, nullptr);
        if (error == platform::kWouldBlock) {
            if (taken > 0) {
                return;
            }
            if (platform::WaitReadable(socket, kReadableWaitMs) != platform::SocketWait::Ready) {
                return;
            }
            error = platform::ReceiveFrom(socket, buffer, sizeof buffer, &received, nullptr);
        }
        if (error != 0) {
            return; // includes a datagram longer than the buffer: lost
        }
        LogMessage(kLogReceipt, u"received %d byte(s) broadcast data.\n",
                   static_cast<int>(received));
        if (received <= kFragmentLimit) {
            LogMessage(kLogWarning, u"Received fragmented broadcast data\n");
            continue;
        }
        StartWorker(buffer, received, keys);
    }
}

void EndListener(ThreadContext* context) {
    LogMessage(kLogTrace, u"Exiting RcvBroadThread\n");
    context->threadStates[1].store(3);
    context->listenerThreadId.store(0);
}

} // namespace

void ProcessBroadcastResp(std::unique_ptr<DatagramRecord> datagram, const ReplyKeys& keys) {
    LogMessage(kLogTrace, u"Started ProcessBroadcastResp Thread\n");
    uint8_t sourceIp[4] = {};
    uint16_t payloadLength = 0;
    uint8_t* packet = datagram->bytes;
    const size_t offset = ParsePacket(packet, datagram->length, keys.stationMac, keys.groupName,
                                      sourceIp, &payloadLength);
    const uint8_t* payload = packet + offset;
    const int kind = offset == 0 ? -1 : BroadcastReplyKind(payload, payloadLength);
    bool corrupted = kind < 0;
    if (kind == kReplyDiscovery) {
        HandleDiscoveryReply(packet, payload, payloadLength, sourceIp);
    } else if (kind == kReplyNetInfo) {
        corrupted = !HandleNetInfoReply(packet, payload, payloadLength, sourceIp);
    } else if (kind == kReplyGroupInfo) {
        HandleGroupInfoReply(packet, payload, payloadLength, sourceIp);
    } else if (kind >= 0) {
        LogMessage(kLogWarning, u"Received invalid broadcast reply\n");
    }
    if (corrupted) {
        LogMessage(kLogWarning, u"Received corrupted broadcast data\n");
    }
    datagram.reset();
    LogMessage(kLogTrace, u"Exiting ProcessBroadcastResp\n");
}

void RcvBroadThread(ThreadContext* context) {
    const std::u16string_view eventName = NameOf(context->listenEventName, kEventNameUnits);
    platform::EventHandle event =
        eventName.empty() ? nullptr : platform::CreateNamedEvent(eventName, true, false);
    if (!event) {
        LogMessage(kLogFatal, u"RcvBroadThread: Fatal error in creating event\n");
        EndListener(context);
        return;
    }
    ReplyKeys keys{};
    std::memcpy(keys.stationMac, context->stationMac, sizeof keys.stationMac);
    std::memcpy(keys.groupName, context->groupName, sizeof keys.groupName);

    int error = 0;
    platform::Socket socket = platform::OpenUdpSocket(&error);
    if (!socket.Valid()) {
        LogMessage(kLogFatal, u"Failed to open socket for broadcasting!, error %d\n", error);
    } else if ((error = platform::Bind(socket, {{0, 0, 0, 0}, context->listenPort})) != 0) {
        LogMessage(kLogFatal, u"Failed to bind socket for broadcasting! error %d\n", error);
        socket.Close();
    } else if ((error = platform::SetNonBlocking(socket, true)) != 0) {
        LogMessage(kLogFatal, u"set non-blocking ioctlsockerror=%d, lasterr=%d\n", error, error);
        socket.Close();
    }
    if (!socket.Valid()) {
        platform::CloseEvent(event);
        EndListener(context);
        return;
    }
    platform::SetReceiveBufferSize(socket, kListenerReceiveBuffer);

    context->threadStates[1].store(1);
    LogMessage(kLogTrace, u"Started RcvBroadThread\n");
    int unknownWakes = 0;
    for (;;) {
        if (platform::WaitForEvent(event, kEventWaitMs) == platform::WaitResult::Signaled) {
            if (context->listenerFlags.load() & kListenerQuit) {
                break;
            }
            LogMessage(kLogWarning, u"RcvBroadThread: received unknown wait event\n");
            if (++unknownWakes == kUnknownWakeLimit) {
                platform::ResetEvent(event);
                unknownWakes = 0;
            }
        }
        ReceiveAttempt(socket, keys);
    }
    socket.Close();
    platform::CloseEvent(event);
    EndListener(context);
}

std::thread StartBroadcastListener(ThreadContext& context) {
    return platform::StartThread([&context] { RcvBroadThread(&context); },
                                 &context.listenerThreadId);
}

int RunningBroadcastWorkers() {
    return gRunningWorkers.load();
}

int PeakBroadcastWorkers() {
    return gPeakWorkers.load();
}

void ResetPeakBroadcastWorkers() {
    gPeakWorkers.store(gRunningWorkers.load());
}

bool WaitForBroadcastWorkers(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (gRunningWorkers.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
