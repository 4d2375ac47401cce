#include "upgrade/upgrader_thread.h"

#include "platform/named_event.h"
#include "platform/thread.h"
#include "upgrade/notices.h"

bool HandleJobSignal(const PassWork& work) {
    ThreadContext& context = *work.context;
    const uint8_t flags = context.jobFlags.load();
    if ((flags & kJobQuit) != 0) {
        return false;
    }
    if ((flags & kJobAbort) != 0) {
        // Abort while no pass runs: the first pending test or upgrade job ends unrun. The
        // flags are settled before the notice, so a job the window hands over once it has
        // the notice is not cleared with them.
        uint32_t notice = 0;
        if ((flags & kJobTestPass) != 0) {
            JobFlagClear(context, kJobTestPass);
            notice = kNotifyTestEnded;
        } else if ((flags & kJobUpgradePass) != 0) {
            JobFlagClear(context, kJobUpgradePass);
            context.bootloaderFlag.store(0);
            notice = kNotifyProgress;
        }
        JobFlagClear(context, kJobAbort);
        if (notice != 0) {
            PostNotice(notice, kPassEnded);
        }
    } else if ((flags & kJobNone) != 0) {
        JobFlagClear(context, kJobNone);
    } else if ((flags & kJobTestPass) != 0) {
        JobFlagClear(context, kJobTestPass);
        RunTestPass(work);
    } else if ((flags & kJobUpgradePass) != 0) {
        JobFlagClear(context, kJobUpgradePass);
        RunUpgradePass(work); // clears the bootloader flag before its end notice
    } else if ((flags & kJobSecondariesRefresh) != 0) {
        JobFlagClear(context, kJobSecondariesRefresh);
        RunSecondariesRefresh(work);
    } else if ((flags & kJobSecondariesUpgrade) != 0) {
        JobFlagClear(context, kJobSecondariesUpgrade);
        RunSecondariesUpgrade(work); // as the upgrade pass
    }
    return true;
}

void UpgraderThread(PassWork work) {
    ThreadContext& context = *work.context;
    platform::EventHandle event = platform::CreateNamedEvent(kUpdaterEventName, false, false);
    if (event != nullptr) {
        for (;;) {
            // Flags are looked at only after a signal; a time-out just waits again.
            if (platform::WaitForEvent(event, kUpdaterWaitMs) != platform::WaitResult::Signaled) {
                continue;
            }
            if (!HandleJobSignal(work)) {
                break;
            }
        }
        // Our own handle only; the window that created the event keeps its handle.
        platform::CloseEvent(event);
    }
    context.threadStates[0].store(3);
    context.upgraderThreadId.store(0);
}

std::thread StartUpgraderThread(const PassWork& work) {
    return platform::StartThread([work] { UpgraderThread(work); }, &work.context->upgraderThreadId);
}

void SignalUpgraderJob(ThreadContext& context, uint8_t bit) {
    JobFlagSet(context, bit);
    platform::EventHandle event = platform::CreateNamedEvent(kUpdaterEventName, false, false);
    platform::SetEvent(event);
    platform::CloseEvent(event);
}
