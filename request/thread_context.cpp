#include "request/thread_context.h"

#include <cstring>

namespace {

template <typename T> void CopyAtomic(const std::atomic<T>& from, std::atomic<T>& to) {
    to.store(from.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

} // namespace

ThreadContext& TheThreadContext() {
    static ThreadContext context{};
    return context;
}

void ResetThreadContext(ThreadContext& context) {
    ThreadContext zero{};
    CopyThreadContext(zero, context);
}

void CopyThreadContext(const ThreadContext& from, ThreadContext& to) {
    CopyAtomic(from.upgraderThreadId, to.upgraderThreadId);
    CopyAtomic(from.listenerThreadId, to.listenerThreadId);
    CopyAtomic(from.jobFlags, to.jobFlags);
    CopyAtomic(from.listenerFlags, to.listenerFlags);
    for (int i = 0; i < kThreadStateCount; ++i) {
        CopyAtomic(from.threadStates[i], to.threadStates[i]);
    }
    CopyAtomic(from.receiveCount, to.receiveCount);
    to.listenEvent = from.listenEvent;
    to.requestEvent = from.requestEvent;
    std::memcpy(to.listenEventName, from.listenEventName, sizeof to.listenEventName);
    std::memcpy(to.groupName, from.groupName, sizeof to.groupName);
    std::memcpy(to.groupKey, from.groupKey, sizeof to.groupKey);
    to.unitSessionPort = from.unitSessionPort;
    to.managerPort = from.managerPort;
    to.broadcastPort = from.broadcastPort;
    to.listenPort = from.listenPort;
    to.cipherMode = from.cipherMode;
    CopyAtomic(from.searchFlags, to.searchFlags);
    std::memcpy(to.stationMac, from.stationMac, sizeof to.stationMac);
    std::memcpy(to.stationIp, from.stationIp, sizeof to.stationIp);
    std::memcpy(to.stationMask, from.stationMask, sizeof to.stationMask);
    std::memcpy(to.secondMac, from.secondMac, sizeof to.secondMac);
    std::memcpy(to.secondIp, from.secondIp, sizeof to.secondIp);
    std::memcpy(to.secondMask, from.secondMask, sizeof to.secondMask);
    CopyAtomic(from.bootloaderFlag, to.bootloaderFlag);
    to.request = from.request;
}

uint8_t JobFlagSet(ThreadContext& context, uint8_t bit) {
    return context.jobFlags.fetch_or(bit, std::memory_order_acq_rel);
}

uint8_t JobFlagClear(ThreadContext& context, uint8_t bit) {
    return context.jobFlags.fetch_and(static_cast<uint8_t>(~bit), std::memory_order_acq_rel);
}

bool JobFlagTest(const ThreadContext& context, uint8_t bit) {
    return (context.jobFlags.load(std::memory_order_acquire) & bit) != 0;
}
