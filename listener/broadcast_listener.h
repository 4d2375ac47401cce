// The broadcast listener: one thread that owns the station's receiving UDP socket and
// hands every datagram long enough to be a reply to a short-lived worker thread, which
// opens and decodes it and posts the result as a record (listener/response_records.h).
#pragma once

#include "request/thread_context.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

inline constexpr size_t kDatagramCapacity = 1024;
inline constexpr size_t kFragmentLimit = 16; // datagrams this short are dropped
// Receive buffer asked for, so a burst of replies from 500 units waits in the kernel
// while the listener drains it.
inline constexpr int kListenerReceiveBuffer = 4 * 1024 * 1024;

struct DatagramRecord {
    uint32_t length; // 17 ... 1024
    uint8_t bytes[kDatagramCapacity];
};

// The key material a worker opens its datagram with, copied from the context when the
// worker is started, so a worker never reads a context that may have changed or gone.
struct ReplyKeys {
    uint8_t stationMac[6];
    char16_t groupName[kNameUnits];
};

// The listener's thread procedure. Runs until bit 0 of context->listenerFlags is set and
// the listen event is signalled, or ends at once when its start-up fails; sets the
// listener state byte to 3 and its thread identifier to 0 as it ends.
void RcvBroadThread(ThreadContext* context);

// A worker's procedure: decodes one datagram and posts what it found.
void ProcessBroadcastResp(std::unique_ptr<DatagramRecord> datagram, const ReplyKeys& keys);

// Starts RcvBroadThread on `context`, its identifier recorded in the context before the
// thread runs. Not joinable when the thread could not be started.
std::thread StartBroadcastListener(ThreadContext& context);

// Workers running now and the most that ran at once since the last reset.
int RunningBroadcastWorkers();
int PeakBroadcastWorkers();
void ResetPeakBroadcastWorkers();
// Waits until no worker runs; false when some still run after `timeoutMs`.
bool WaitForBroadcastWorkers(int timeoutMs);
