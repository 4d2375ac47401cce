// The upgrader thread: takes jobs from the job-flag byte of the ThreadContext, one pass
// per signal of the event "RavelinUpdaterEvent", and ends on the quit bit.
#pragma once

#include "request/thread_context.h"
#include "upgrade/passes.h"

#include <thread>

inline constexpr char16_t kUpdaterEventName[] = u"RavelinUpdaterEvent";
inline constexpr uint32_t kUpdaterWaitMs = 1000;

// The thread procedure. `work.context` is the process-wide record; the table, settings
// and peers are what the passes use. Returns when the quit bit is seen after a signal,
// or at once when the event cannot be opened; sets the upgrader state byte to 3 and the
// thread-id slot to 0 as it ends.
void UpgraderThread(PassWork work);

// One look at the job flags after a signal: acts on the first rule that matches and
// returns false for the quit bit. (The thread's loop body, for callers without a thread.)
bool HandleJobSignal(const PassWork& work);

// Starts UpgraderThread with its identifier recorded in the context before it runs. Not
// joinable when the thread could not be started.
std::thread StartUpgraderThread(const PassWork& work);

// A window hands over a job: sets `bit`, then signals the event.
void SignalUpgraderJob(ThreadContext& context, uint8_t bit);
