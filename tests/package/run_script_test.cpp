#include "package/run_script.h"
#include "platform/hidden_process.h"
#include "platform/utf8.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct RunScript : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        char pattern[] = "/tmp/ravelin-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        platform::SetCommandInterpreterOverride(u"");
        fs::remove_all(dir);
    }
    std::u16string Script(const std::string& body) {
        std::ofstream(dir / "s.cmd", std::ios::binary) << body;
        return platform::Utf8ToUtf16((dir / "s.cmd").string());
    }
};

TEST_F(RunScript, WaitsForTheScriptToEnd) {
    const std::u16string script =
        Script("cd /d \"" + dir.string() + "\"\r\nsleep 0.3\r\necho done > done.txt\r\n");
    EXPECT_EQ(RunScriptHidden(script, 10), kScriptEnded);
    EXPECT_TRUE(fs::exists(dir / "done.txt"));
}

TEST_F(RunScript, TheScriptsExitCodeIsNotLookedAt) {
    EXPECT_EQ(RunScriptHidden(Script("sh -c \"exit 5\"\r\n"), 10), kScriptEnded);
}

TEST_F(RunScript, ScriptsThatCannotStartOrThatTheInterpreterGivesUp) {
    EXPECT_EQ(RunScriptHidden(platform::Utf8ToUtf16((dir / "none.cmd").string()), 10),
              kScriptNotStarted);
    EXPECT_EQ(RunScriptHidden(Script("echo a | more\r\n"), 10), kScriptAbandoned);
    const std::u16string script = Script("echo.\r\n");
    platform::SetCommandInterpreterOverride(u"/nonexistent-dir/ravelin-cmd");
    EXPECT_EQ(RunScriptHidden(script, 10), kScriptNotStarted);
}

TEST_F(RunScript, AScriptStillRunningAtTheLimitIsEnded) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunScriptHidden(Script("sleep 30\r\necho late > late.txt\r\n"), 1), kScriptTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(fs::exists(dir / "late.txt"));
}

} // namespace
