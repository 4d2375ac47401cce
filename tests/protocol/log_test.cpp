#include "protocol/dbg_log.h"
#include "protocol/log_capture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::u16string Repeat(char16_t unit, size_t count) {
    return std::u16string(count, unit);
}

TEST(LogMessage, FormatsIntoTheInstalledSinkAndCutsAt1022) {
    LogCapture capture;
    LogMessage(kLogEntry, u"SendBroadcastGetGroupInfo()\n");
    LogMessage(kLogError, u"Failed to broadcast data! errno = %d\n", 101);
    const std::u16string long1500 = Repeat(u'a', 1500);
    LogMessage(kLogTrace, u"%s\n", long1500.c_str());
    const auto entries = capture.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].level, 21);
    EXPECT_TRUE(capture.Contains(u"Failed to broadcast data! errno = 101\n", kLogError));
    EXPECT_FALSE(capture.Contains(u"Failed to broadcast data! errno = 101\n", kLogTrace));
    EXPECT_EQ(entries[2].text, Repeat(u'a', 1022));
}

TEST(LogMessage, WithoutSinkFormatsAndDiscardsAndCaptureRestoresThePrevious) {
    LogMessage(kLogTrace, u"nobody listens %d\n", 1);
    LogCapture outer;
    {
        LogCapture inner;
        LogMessage(kLogTrace, u"inner\n");
        EXPECT_EQ(inner.Count(u"inner\n"), 1u);
    }
    LogMessage(kLogTrace, u"outer\n");
    EXPECT_TRUE(outer.Contains(u"outer\n"));
    EXPECT_FALSE(outer.Contains(u"inner\n"));
}

TEST(LogMessage, ManyThreadsLogAtOnce) {
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                LogMessage(kLogReceipt, u"received %d byte(s) broadcast data.\n", t);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(capture.Entries().size(), 800u);
    EXPECT_EQ(capture.Count(u"received 3 byte(s) broadcast data.\n"), 200u);
}

TEST(DbgLog, OnlyLevelOneOrLowerReachesTheDebuggerWithCrLf) {
    DbgLog log;
    testing::internal::CaptureStderr();
    log.Print(2, u"Some child threads have not exited gracefully\n");
    EXPECT_EQ(log.used, 1u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStderr();
    log.Print(1, u"Some child threads have not exited gracefully\n");
    log.Print(0, u"no line end");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Some child threads have not exited gracefully\r\nno line end");

    // 1,021 characters and a line feed: 1,023 after the line end is doubled.
    const std::u16string body = Repeat(u'x', 1021);
    testing::internal::CaptureStderr();
    log.Print(1, u"%s\n", body.c_str());
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written.size(), 1023u);
    EXPECT_EQ(written.substr(1019), "xx\r\n");
}

TEST(DbgLog, ConsoleAndFileSinksWhenSwitchedOn) {
    const std::string path = testing::TempDir() + "/dbglog_test.log";
    {
        DbgLog log;
        log.debuggerSwitch = 0;
        log.consoleSwitch = 1;
        log.fileSwitch = 1;
        log.fileHandle = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ASSERT_GE(log.fileHandle, 0);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        log.Print(1, u"A\u00e9\n");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "A\xc3\xa9\r\n");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    char bytes[16] = {};
    const int fd = ::open(path.c_str(), O_RDONLY);
    const ssize_t size = ::read(fd, bytes, sizeof bytes);
    ::close(fd);
    EXPECT_EQ(std::string(bytes, size > 0 ? size_t(size) : 0), std::string("A\0\xe9\0\r\0\n\0", 8));
    ::unlink(path.c_str());
    EXPECT_EQ(TheDbgLog().debuggerSwitch, 1);
    EXPECT_EQ(TheDbgLog().consoleSwitch, 0);
    EXPECT_EQ(TheDbgLog().fileHandle, -1);
}

} // namespace
