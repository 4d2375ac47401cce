// The process-wide record of the station's identity and the threads' control bytes.
#pragma once

#include "platform/named_event.h"

#include <atomic>
#include <cstdint>

// The request and reply frame of one dispatcher call. Zero in the process-wide record;
// filled only in the private copy that a call works on.
struct ProcRequest {
    uint16_t requestOffset;
    uint16_t command;
    uint16_t requestLength;
    uint8_t* requestBuffer;
    uint16_t replyOffset;
    uint16_t replyCode;
    uint8_t* replyBuffer;
    uint16_t replyCapacity;
    uint16_t replyTotal;
    uint16_t replyLength;
};

// Job bits of ThreadContext::jobFlags, taken by the upgrader thread.
enum JobFlag : uint8_t {
    kJobQuit = 0x01,
    kJobNone = 0x02,
    kJobTestPass = 0x04,
    kJobUpgradePass = 0x08,
    kJobAbort = 0x10,
    kJobSecondariesRefresh = 0x20,
    kJobSecondariesUpgrade = 0x40,
};

inline constexpr uint8_t kListenerQuit = 0x01;
inline constexpr uint32_t kSearchByRange = 0x1000;
inline constexpr int kThreadStateCount = 8;
inline constexpr int kNameUnits = 32;
inline constexpr int kEventNameUnits = 64;

// Fields that another thread reads or changes while the owner runs are atomics; the
// station fields are written once before the threads start and only read afterwards.
struct ThreadContext {
    std::atomic<uint32_t> upgraderThreadId;
    std::atomic<uint32_t> listenerThreadId;
    std::atomic<uint8_t> jobFlags;
    std::atomic<uint8_t> listenerFlags;
    std::atomic<uint8_t> threadStates[kThreadStateCount];
    std::atomic<uint32_t> receiveCount;
    platform::EventHandle listenEvent;
    platform::EventHandle requestEvent;
    char16_t listenEventName[kEventNameUnits];
    char16_t groupName[kNameUnits];
    char16_t groupKey[kNameUnits];
    uint16_t unitSessionPort;
    uint16_t managerPort;
    uint16_t broadcastPort;
    uint16_t listenPort;
    uint16_t cipherMode;
    std::atomic<uint32_t> searchFlags;
    uint8_t stationMac[6];
    uint8_t stationIp[4];
    uint8_t stationMask[4];
    uint8_t secondMac[6];
    uint8_t secondIp[4];
    uint8_t secondMask[4];
    std::atomic<uint8_t> bootloaderFlag;
    ProcRequest request;
};

// The one record of the process.
ThreadContext& TheThreadContext();

// Sets every field of `context` to zero (no thread ids, no flags, ports 0, no events).
void ResetThreadContext(ThreadContext& context);

// Copies the whole record, reading the shared control fields atomically, so a copy may
// be taken while other threads change their bytes.
void CopyThreadContext(const ThreadContext& from, ThreadContext& to);

// Single-bit atomic changes of the job-flag byte. Each returns the byte as it was.
uint8_t JobFlagSet(ThreadContext& context, uint8_t bit);
uint8_t JobFlagClear(ThreadContext& context, uint8_t bit);
bool JobFlagTest(const ThreadContext& context, uint8_t bit);
