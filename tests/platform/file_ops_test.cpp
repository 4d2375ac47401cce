#include "platform/file_ops.h"
#include "platform/utf8.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(FileOps, AReadOnlyFileIsDeletedOnlyOnceItsFlagIsCleared) {
    char pattern[] = "/tmp/ravelin-fileops-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::u16string file = platform::Utf8ToUtf16((dir / "copy.dat").string());
    std::ofstream(dir / "copy.dat") << "x";
    EXPECT_TRUE(platform::PathExists(file));
    EXPECT_FALSE(platform::IsDirectory(file));
    ASSERT_TRUE(platform::SetReadOnly(file, true));
    EXPECT_TRUE(platform::IsReadOnly(file));
    EXPECT_FALSE(platform::DeleteFileAt(file));
    EXPECT_TRUE(platform::PathExists(file));
    ASSERT_TRUE(platform::SetReadOnly(file, false));
    EXPECT_TRUE(platform::DeleteFileAt(file));
    EXPECT_FALSE(platform::PathExists(file));
    EXPECT_FALSE(platform::DeleteFileAt(file));
    EXPECT_FALSE(platform::DeleteFileAt(platform::Utf8ToUtf16(dir.string())));
    EXPECT_TRUE(platform::IsDirectory(platform::Utf8ToUtf16(dir.string())));
    fs::remove_all(dir);
}

} // namespace
