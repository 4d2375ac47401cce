// posix_spawn of the interpreter with standard input and output on the null device, in a
// process group of its own, collected with waitpid.
#include "tessaly/batch_runner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessaly {
namespace {

constexpr char kInterpreterName[] = "ravelin-cmd";

bool IsRunnable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The file this library was loaded from.
std::string LibraryFile() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&CommandInterpreterPath), &info) == 0 || !info.dli_fname) {
        return {};
    }
    return info.dli_fname;
}

std::string ProgramFile() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(length));
}

} // namespace

std::string CommandInterpreterPath() {
    if (const char* configured = std::getenv(kInterpreterVariable); configured && *configured) {
        return configured;
    }
    for (const std::string& file : {LibraryFile(), ProgramFile()}) {
        if (file.find('/') == std::string::npos) {
            continue;
        }
        const std::string candidate = DirectoryOf(file) + "/" + kInterpreterName;
        if (IsRunnable(candidate)) {
            return candidate;
        }
    }
    return {};
}

bool RunBatchFile(const std::string& batchPath) {
    const std::string interpreter = CommandInterpreterPath();
    if (interpreter.empty()) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    // No window: nothing to read from, nowhere to show output.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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
    char* argv[] = {const_cast<char*>(interpreter.c_str()), const_cast<char*>(batchPath.c_str()),
                    nullptr};
    pid_t pid = -1;
    const int started =
        posix_spawn(&pid, interpreter.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0 || pid <= 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace tessaly
