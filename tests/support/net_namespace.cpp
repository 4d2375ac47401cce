#include "tests/support/net_namespace.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace testns {
namespace {

constexpr char kMarker[] = "RAVELIN_TEST_NETNS";

std::string SelfPath() {
    std::array<char, 4096> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<size_t>(length)) : std::string();
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

bool InTestNamespace() {
    return std::getenv(kMarker) != nullptr;
}

::testing::AssertionResult RerunInNewNamespace() {
    const std::string self = SelfPath();
    const std::string test = CurrentTestName();
    // unshare(1) makes the new mount namespace private, so the sysfs mount stays inside.
    const std::string command =
        std::string(kMarker) + "=1 unshare --net --mount -- sh -c " +
        Quoted("mount -t sysfs sysfs /sys && ip link set lo up && exec \"$0\" "
               "--gtest_filter=\"$1\" --gtest_color=no 2>&1") +
        " " + Quoted(self) + " " + Quoted(test);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return ::testing::AssertionFailure() << "cannot start " << command;
    }
    std::string output;
    std::array<char, 4096> chunk{};
    while (size_t n = fread(chunk.data(), 1, chunk.size(), pipe)) {
        output.append(chunk.data(), n);
    }
    const int status = pclose(pipe);
    std::fputs(output.c_str(), stdout);
    // A filter that matched nothing would also exit with 0.
    if (status != 0 || output.find("[  PASSED  ] 1 test.") == std::string::npos) {
        return ::testing::AssertionFailure()
               << test << " failed inside its namespace (status " << status << ")";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0) {
        return ::testing::AssertionFailure() << "\"" << command << "\" gave " << status;
    }
    return ::testing::AssertionSuccess();
}

} // namespace testns
