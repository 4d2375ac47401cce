#include "platform/named_event.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
namespace {

struct EventState {
    std::mutex mutex;
    std::condition_variable changed;
    bool manualReset = false;
    bool set = false;
};

// Live named events. Entries hold weak references so an event whose last handle
// closed disappears and a later create with that name makes a fresh one.
struct Registry {
    std::mutex mutex;
    std::map<std::u16string, std::weak_ptr<EventState>, std::less<>> byName;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

struct EventObject {
    std::shared_ptr<EventState> state;
};

EventHandle CreateNamedEvent(std::u16string_view name, bool manualReset, bool initiallySet,
                             bool* existed) {
    if (existed) {
        *existed = false;
    }
    auto makeState = [&] {
        auto state = std::make_shared<EventState>();
        state->manualReset = manualReset;
        state->set = initiallySet;
        return state;
    };
    if (name.empty()) {
        return new EventObject{makeState()};
    }
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto found = registry.byName.find(name);
    if (found != registry.byName.end()) {
        if (auto state = found->second.lock()) {
            if (existed) {
                *existed = true;
            }
            return new EventObject{std::move(state)};
        }
        registry.byName.erase(found);
    }
    auto state = makeState();
    registry.byName.emplace(std::u16string(name), state);
    return new EventObject{std::move(state)};
}

void CloseEvent(EventHandle event) {
    delete event;
}

bool SetEvent(EventHandle event) {
    if (!event) {
        return false;
    }
    EventState& state = *event->state;
    {
        std::lock_guard lock(state.mutex);
        state.set = true;
    }
    if (state.manualReset) {
        state.changed.notify_all();
    } else {
        state.changed.notify_one();
    }
    return true;
}

bool ResetEvent(EventHandle event) {
    if (!event) {
        return false;
    }
    std::lock_guard lock(event->state->mutex);
    event->state->set = false;
    return true;
}

WaitResult WaitForEvent(EventHandle event, uint32_t timeoutMs) {
    if (!event) {
        return WaitResult::Failed;
    }
    EventState& state = *event->state;
    std::unique_lock lock(state.mutex);
    auto isSet = [&] { return state.set; };
    if (timeoutMs == kWaitInfinite) {
        state.changed.wait(lock, isSet);
    } else if (!state.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet)) {
        return WaitResult::Timeout;
    }
    if (!state.manualReset) {
        state.set = false;
    }
    return WaitResult::Signaled;
}

} // namespace platform
