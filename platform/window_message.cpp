#include "platform/window_message.h"

#include <atomic>
#include <map>
#include <mutex>

namespace platform {
namespace {

struct WindowRegistry {
    std::mutex mutex;
    std::map<WindowHandle, MessageReceiver*> live;
    WindowHandle next = 1;
};

WindowRegistry& Registry() {
    static WindowRegistry registry;
    return registry;
}

std::atomic<WindowHandle> gNotifyWindow{kNoWindow};

} // namespace

WindowHandle RegisterWindow(MessageReceiver* receiver) {
    if (!receiver) {
        return kNoWindow;
    }
    WindowRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const WindowHandle handle = registry.next++;
    registry.live.emplace(handle, receiver);
    return handle;
}

void UnregisterWindow(WindowHandle window) {
    WindowRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.live.erase(window);
}

bool IsWindowAlive(WindowHandle window) {
    WindowRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    return registry.live.count(window) != 0;
}

bool PostWindowMessage(WindowHandle window, Message message) {
    if (window == kNoWindow) {
        return false;
    }
    WindowRegistry& registry = Registry();
    // Enqueue under the registry lock: a receiver that unregisters waits for a post in
    // progress, and receives nothing afterwards.
    std::lock_guard lock(registry.mutex);
    auto found = registry.live.find(window);
    if (found == registry.live.end()) {
        return false;
    }
    found->second->Enqueue(std::move(message));
    return true;
}

WindowHandle GetNotifyWindow() {
    return gNotifyWindow.load(std::memory_order_acquire);
}

void SetNotifyWindow(WindowHandle window) {
    gNotifyWindow.store(window, std::memory_order_release);
}

} // namespace platform
