// Named kernel events: create-or-open by name, manual or automatic reset, timed waits.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

struct EventObject;
// An open handle to an event; several handles may refer to one named event.
using EventHandle = EventObject*;

inline constexpr uint32_t kWaitInfinite = 0xFFFFFFFFu;

enum class WaitResult { Signaled, Timeout, Failed };

// Opens the event called `name`, creating it when no live event has that name. An
// empty name makes a private event. When the event already exists, `manualReset` and
// `initiallySet` are ignored and `*existed` (when given) is set to true.
EventHandle CreateNamedEvent(std::u16string_view name, bool manualReset, bool initiallySet,
                             bool* existed = nullptr);

// Closes one handle; the event itself ends with its last handle. Null is ignored.
void CloseEvent(EventHandle event);

// Sets the event. A manual-reset event stays set and releases every waiter; an
// automatic-reset event releases one waiter (or the next one to wait) and clears itself.
bool SetEvent(EventHandle event);
bool ResetEvent(EventHandle event);

// Waits until the event is set or `timeoutMs` milliseconds have passed.
WaitResult WaitForEvent(EventHandle event, uint32_t timeoutMs);

} // namespace platform
