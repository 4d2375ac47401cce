#include "package/run_script.h"

#include "platform/hidden_process.h"

int RunScriptHidden(const std::u16string& scriptPath, uint32_t pollIntervalMs) {
    platform::HiddenProcess process;
    if (!process.StartScript(scriptPath)) {
        return kScriptNotStarted;
    }
    for (int polls = 0; polls < kScriptPollLimit && !process.HasEnded(); ++polls) {
        platform::SleepMilliseconds(pollIntervalMs);
    }
    if (!process.HasEnded()) {
        process.EndWithChildren();
        return kScriptTimedOut;
    }
    if (process.ExitCode() == platform::kInterpreterAbandonedExit) {
        return kScriptAbandoned;
    }
    return kScriptEnded;
}
