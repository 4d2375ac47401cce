#include "platform/hidden_process.h"

#include "platform/utf8.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace platform {

namespace {

std::mutex& OverrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::u16string& InterpreterOverride() {
    static std::u16string value;
    return value;
}

std::string ToNative(const std::u16string& text) {
    std::string result;
    if (!Utf16ToUtf8(text, &result)) {
        return {};
    }
    return result;
}

} // namespace

HiddenProcess::HiddenProcess(HiddenProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), ended_(other.ended_), exitCode_(other.exitCode_) {}

HiddenProcess& HiddenProcess::operator=(HiddenProcess&& other) noexcept {
    if (this != &other) {
        if (Started() && !HasEnded()) {
            EndWithChildren();
        }
        pid_ = std::exchange(other.pid_, -1);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
    }
    return *this;
}

HiddenProcess::~HiddenProcess() {
    if (Started() && !HasEnded()) {
        EndWithChildren();
    }
}

bool HiddenProcess::StartScript(const std::u16string& scriptPath) {
    if (Started()) {
        return false;
    }
    const std::string interpreter = ToNative(CommandInterpreterPath());
    const std::string script = ToNative(scriptPath);
    if (interpreter.empty() || script.empty() || access(script.c_str(), R_OK) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // A group of its own (led by the child), so that ending it reaches its children too.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv = {const_cast<char*>(interpreter.c_str()),
                               const_cast<char*>(script.c_str()), nullptr};
    pid_t pid = -1;
    const int result =
        posix_spawn(&pid, interpreter.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0 || pid <= 0) {
        return false;
    }
    pid_ = pid;
    ended_ = false;
    exitCode_ = -1;
    return true;
}

bool HiddenProcess::HasEnded() {
    if (!Started()) {
        return true;
    }
    if (ended_) {
        return true;
    }
    int status = 0;
    pid_t result;
    do {
        result = waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) {
        return false;
    }
    ended_ = true;
    if (result == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return true;
}

void HiddenProcess::EndWithChildren() {
    if (!Started()) {
        return;
    }
    // The group outlives its leader when the leader has already ended, so it is signalled
    // in either case.
    kill(-pid_, SIGKILL);
    if (!ended_) {
        int status = 0;
        pid_t result;
        do {
            result = waitpid(pid_, &status, 0);
        } while (result < 0 && errno == EINTR);
        ended_ = true;
        if (result == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
}

std::u16string CommandInterpreterPath() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (!InterpreterOverride().empty()) {
            return InterpreterOverride();
        }
    }
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) {
        return {};
    }
    std::string path(buffer.data(), static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    path = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/ravelin-cmd";
    return Utf8ToUtf16(path);
}

void SetCommandInterpreterOverride(const std::u16string& path) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    InterpreterOverride() = path;
}

void SleepMilliseconds(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace platform
