// Threads with identifiers of their own, known before the thread runs, so a starter can
// record a thread's identifier before the thread could clear it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace platform {

// The calling thread's identifier (never 0; assigned on first use for threads not
// started through StartThread).
uint32_t CurrentThreadId();

// Starts `body` on a new thread. The new thread's identifier is stored in `*idSlot`
// (when given) before the thread starts, so a thread that clears its slot as it ends can
// never have its identifier written back afterwards. Returns a thread that is not
// joinable, with the slot reset to 0, when it could not be started.
std::thread StartThread(std::function<void()> body, std::atomic<uint32_t>* idSlot);

} // namespace platform
