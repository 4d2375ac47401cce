// Window handles and posted messages.
//
// A window handle is a small id in a process-wide registry of live receivers. Posting to
// an empty or dead handle fails; the message, and the record it owns, is then destroyed
// with it, so the sender never leaks and nothing is delivered to a receiver that is gone.
// (Named to stay clear of the Win32 PostMessage and GetMessage macros.)
// A live receiver takes the message into its own queue and handles it on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <typeinfo>
#include <utility>

namespace platform {

using WindowHandle = uint32_t;
inline constexpr WindowHandle kNoWindow = 0;

inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t WM_DEVICE_NOTIFY = kWmUser + 100;
inline constexpr uint32_t WM_NETINFO_NOTIFY = kWmUser + 102;

// An owned record of any type travelling with a message.
class Payload {
  public:
    Payload() = default;
    template <typename T> static Payload Of(std::unique_ptr<T> record) {
        Payload payload;
        payload.type_ = &typeid(T);
        payload.record_ = Owner(record.release(), [](void* p) { delete static_cast<T*>(p); });
        return payload;
    }
    // The record when it is a T, otherwise null.
    template <typename T> T* Get() const {
        return type_ && *type_ == typeid(T) ? static_cast<T*>(record_.get()) : nullptr;
    }
    template <typename T> std::unique_ptr<T> Take() {
        if (!Get<T>()) {
            return nullptr;
        }
        type_ = nullptr;
        return std::unique_ptr<T>(static_cast<T*>(record_.release()));
    }
    explicit operator bool() const { return record_ != nullptr; }

  private:
    using Owner = std::unique_ptr<void, void (*)(void*)>;
    Owner record_{nullptr, [](void*) {}};
    const std::type_info* type_ = nullptr;
};

struct Message {
    uint32_t id = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0; // a number (a percentage) when the message carries no record
    Payload record;
};

// Something that can be registered as a window. Enqueue is called from the posting
// thread and must not block; the receiver handles the message later on its own thread.
class MessageReceiver {
  public:
    virtual ~MessageReceiver() = default;
    virtual void Enqueue(Message message) = 0;
};

// Registers a receiver and returns its new handle (handles are never reused).
WindowHandle RegisterWindow(MessageReceiver* receiver);
// After this returns no further message reaches the receiver.
void UnregisterWindow(WindowHandle window);
bool IsWindowAlive(WindowHandle window);

// Posts to a live window. Returns false, destroying the message, for an empty or dead
// handle.
bool PostWindowMessage(WindowHandle window, Message message);

// The process-wide window that receives device notifications.
WindowHandle GetNotifyWindow();
void SetNotifyWindow(WindowHandle window);

} // namespace platform
