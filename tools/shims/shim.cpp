// The outside programs the generated scripts call: wget.exe, TFTP.exe and unzip.exe.
// Each takes exactly the command lines the scripts write, runs the Debian tool that does
// the work, and exits with that tool's exit code. The fetching tools are ended after a
// time-out (RAVELIN_FETCH_TIMEOUT seconds, 30 by default) that leaves the script room
// to finish within the program's wait for it.
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef SHIM_ROLE
#error "SHIM_ROLE must name the shim: 1 wget.exe, 2 TFTP.exe, 3 unzip.exe"
#endif

namespace {

constexpr int kUsageExit = 2;
constexpr int kTimedOutExit = 124;
constexpr long kDefaultTimeoutSeconds = 30;

long TimeoutSeconds() {
    const char* text = std::getenv("RAVELIN_FETCH_TIMEOUT");
    if (text && *text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == '\0' && value > 0 && value <= 3600) {
            return value;
        }
    }
    return kDefaultTimeoutSeconds;
}

// Runs the tool and passes its exit code on; with a time-out, ends it when that passes.
int Run(const std::vector<std::string>& command, long timeoutSeconds) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, timeoutSeconds > 0 ? WNOHANG : 0);
        if (done == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0 && errno != EINTR) {
            return 1;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (timeoutSeconds > 0 && now.tv_sec - start.tv_sec >= timeoutSeconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            std::fprintf(stderr, "%s: timed out after %ld s\n", argv[0], timeoutSeconds);
            return kTimedOutExit;
        }
        usleep(20 * 1000);
    }
}

int Usage(const char* form) {
    std::fprintf(stderr, "usage: %s\n", form);
    return kUsageExit;
}

// Characters a URL path can carry as they are; every other byte is percent-encoded.
std::string EncodePath(const std::string& name) {
    static const char* const hex = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : name) {
        if (std::isalnum(c) || std::strchr("-._~/!$'()*+,;=:@", c)) {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 0x0F];
        }
    }
    return result;
}

int Wget(int argc, char** argv) {
    // wget.exe -O FILE URL
    if (argc != 4 || std::strcmp(argv[1], "-O") != 0) {
        return Usage("wget.exe -O FILE URL");
    }
    const long timeout = TimeoutSeconds();
    return Run({"wget", "--quiet", "--tries=1", "--timeout=" + std::to_string(timeout), "-O",
                argv[2], "--", argv[3]},
               timeout);
}

int Tftp(int argc, char** argv) {
    // TFTP.exe -i SERVER GET REMOTE LOCAL (binary transfer of REMOTE into LOCAL)
    if (argc != 6 || std::strcmp(argv[1], "-i") != 0 || strcasecmp(argv[3], "GET") != 0) {
        return Usage("TFTP.exe -i SERVER GET REMOTE LOCAL");
    }
    std::string server = argv[2];
    if (server.empty() || server.find_first_of("/?#@[] ") != std::string::npos) {
        std::fprintf(stderr, "TFTP.exe: bad server %s\n", argv[2]);
        return 1;
    }
    if (server.find(':') != std::string::npos) {
        server = "[" + server + "]";
    }
    // The port stays the TFTP port unless a test points the client at its own server.
    const char* port = std::getenv("RAVELIN_TFTP_PORT");
    const std::string url = "tftp://" + server + ":" + std::string(port && *port ? port : "69") +
                            "/" + EncodePath(argv[4]);
    const long timeout = TimeoutSeconds();
    return Run({"curl", "--silent", "--show-error", "--connect-timeout", std::to_string(timeout),
                "--max-time", std::to_string(timeout), "--output", argv[5], url},
               timeout);
}

int Unzip(int argc, char** argv) {
    // unzip.exe -zq ZIP | unzip.exe -Z1 ZIP | unzip.exe -P PASSWORD -tq ZIP
    if (argc == 3 && (std::strcmp(argv[1], "-zq") == 0 || std::strcmp(argv[1], "-Z1") == 0)) {
        return Run({"unzip", argv[1], argv[2]}, 0);
    }
    if (argc == 5 && std::strcmp(argv[1], "-P") == 0 && std::strcmp(argv[3], "-tq") == 0) {
        return Run({"unzip", "-P", argv[2], "-tq", argv[4]}, 0);
    }
    return Usage("unzip.exe -zq ZIP | -Z1 ZIP | -P PASSWORD -tq ZIP");
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_DFL);
    switch (SHIM_ROLE) {
    case 1:
        return Wget(argc, argv);
    case 2:
        return Tftp(argc, argv);
    default:
        return Unzip(argc, argv);
    }
}
