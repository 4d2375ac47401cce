// Child processes started hidden, polled for their end, and ended together with their
// children. A script (.cmd or .bat) is run by the project's command interpreter, which
// lies next to the running program; every child gets a process group of its own, so
// ending it also ends whatever it started.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace platform {

// The interpreter's exit code when it gave a script up at a line it could not parse.
inline constexpr int kInterpreterAbandonedExit = 255;

class HiddenProcess {
  public:
    HiddenProcess() = default;
    HiddenProcess(const HiddenProcess&) = delete;
    HiddenProcess& operator=(const HiddenProcess&) = delete;
    HiddenProcess(HiddenProcess&& other) noexcept;
    HiddenProcess& operator=(HiddenProcess&& other) noexcept;
    // A process still running when its handle goes is ended with its children.
    ~HiddenProcess();

    // Starts the command interpreter on `scriptPath`, with standard input and output on
    // the null device (there is no window to show them) and standard error inherited.
    // False when the interpreter or the script cannot be started.
    bool StartScript(const std::u16string& scriptPath);

    bool Started() const { return pid_ > 0; }
    // True once the process has ended (its exit code is then kept).
    bool HasEnded();
    int ExitCode() const { return exitCode_; }
    // Ends the process and every process of its group, and collects it.
    void EndWithChildren();
    pid_t ProcessGroup() const { return pid_; }

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int exitCode_ = -1;
};

// The interpreter executable: "ravelin-cmd" in the directory of the running program file
// (the real one, not a test's program-directory override).
std::u16string CommandInterpreterPath();
// Test hook: another interpreter path; an empty text goes back to the default.
void SetCommandInterpreterOverride(const std::u16string& path);

void SleepMilliseconds(uint32_t milliseconds);

} // namespace platform
