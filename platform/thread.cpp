#include "platform/thread.h"

#include <atomic>
#include <system_error>

namespace platform {
namespace {

std::atomic<uint32_t> gNextThreadId{1};
thread_local uint32_t tThreadId = 0;

uint32_t NewThreadId() {
    uint32_t id = gNextThreadId.fetch_add(1, std::memory_order_relaxed);
    if (id == 0) { // after wrapping around
        id = gNextThreadId.fetch_add(1, std::memory_order_relaxed);
    }
    return id;
}

} // namespace

uint32_t CurrentThreadId() {
    if (tThreadId == 0) {
        tThreadId = NewThreadId();
    }
    return tThreadId;
}

std::thread StartThread(std::function<void()> body, std::atomic<uint32_t>* idSlot) {
    const uint32_t newId = NewThreadId();
    if (idSlot) {
        idSlot->store(newId, std::memory_order_release);
    }
    try {
        return std::thread([newId, body = std::move(body)] {
            tThreadId = newId;
            body();
        });
    } catch (const std::system_error&) {
        if (idSlot) {
            idSlot->store(0, std::memory_order_release);
        }
        return std::thread();
    }
}

} // namespace platform
