// Running one test inside a network namespace of its own.
//
// A test starts with
//     if (!InTestNamespace()) { EXPECT_TRUE(RerunInNewNamespace()); return; }
// The outer run starts the same test binary again, for this one test, inside new network
// and mount namespaces where sysfs is mounted again (so /sys/class/net shows the
// namespace's links) and loopback is up; the inner run then builds its interfaces with
// `ip` and does the real work. Nothing the inner run creates is visible outside.
#pragma once

#include <gtest/gtest.h>
#include <string>

namespace testns {

// True inside the namespace a rerun made.
bool InTestNamespace();

// Runs the current test again in a new namespace; success when it ran and passed there.
::testing::AssertionResult RerunInNewNamespace();

// Runs a shell command line; success when it exits with 0.
::testing::AssertionResult Shell(const std::string& command);

} // namespace testns
