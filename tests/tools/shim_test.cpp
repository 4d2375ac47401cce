// The outside programs as the scripts call them: exactly the scripts' command lines,
// the Debian tools' exit codes passed on, anything else refused.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

const std::string kBin = RAVELIN_BIN;

struct Shims : ::testing::Test {
    fs::path dir;
    std::string output;

    void SetUp() override {
        char pattern[] = "/tmp/ravelin-shim-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs a shell command line in `dir`; standard output goes to `output`.
    int Run(const std::string& line) {
        const std::string command = "cd '" + dir.string() + "' && " + line + " > out.txt";
        const int status = std::system(command.c_str());
        std::ifstream file(dir / "out.txt", std::ios::binary);
        output.clear();
        char chunk[4096];
        while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
            output.append(chunk, static_cast<size_t>(file.gcount()));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void MakeArchive(const std::string& password) {
        std::ofstream(dir / "tevkernel.bin") << "kernel image";
        std::ofstream(dir / "tevfs.bin") << "file system image";
        const std::string protect = password.empty() ? "" : "-P " + password + " ";
        ASSERT_EQ(Run("zip -q " + protect +
                      "pack.zip tevkernel.bin tevfs.bin && "
                      "printf 'tevpack-note\\n' | zip -q -z pack.zip"),
                  0);
    }
};

TEST_F(Shims, UnzipPrintsTheCommentAndTheMembersAndTestsThePassword) {
    MakeArchive("s3cret");
    const std::string unzip = kBin + "/unzip.exe";
    EXPECT_EQ(Run(unzip + " -zq pack.zip"), 0);
    EXPECT_EQ(output, "tevpack-note\n");
    EXPECT_EQ(Run(unzip + " -Z1 pack.zip"), 0);
    EXPECT_EQ(output, "tevkernel.bin\ntevfs.bin\n");
    EXPECT_EQ(Run(unzip + " -P s3cret -tq pack.zip"), 0);
    EXPECT_NE(Run(unzip + " -P badpass -tq pack.zip"), 0);
    EXPECT_NE(Run(unzip + " -zq missing.zip"), 0);
}

TEST_F(Shims, AnythingButTheScriptsCommandLinesIsRefused) {
    MakeArchive("");
    const std::string cases[] = {
        kBin + "/unzip.exe -o pack.zip",
        kBin + "/unzip.exe -zq",
        kBin + "/unzip.exe -P pw -t pack.zip",
        kBin + "/unzip.exe pack.zip",
        kBin + "/wget.exe http://127.0.0.1:9/x",
        kBin + "/wget.exe -O out.bin",
        kBin + "/wget.exe -q -O out.bin http://127.0.0.1:9/x",
        kBin + "/TFTP.exe 127.0.0.1 GET a b",
        kBin + "/TFTP.exe -i 127.0.0.1 PUT a b",
        kBin + "/TFTP.exe -i 127.0.0.1 GET a",
    };
    for (const std::string& line : cases) {
        EXPECT_EQ(Run(line + " 2>/dev/null"), 2) << line;
    }
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

TEST_F(Shims, FetchersFailOnAnUnreachableServerWithinTheirTimeOut) {
    // Nothing listens on these loopback ports.
    EXPECT_NE(Run("RAVELIN_FETCH_TIMEOUT=2 " + kBin +
                  "/wget.exe -O got.bin http://127.0.0.1:9/tevpack-1.bin 2>/dev/null"),
              0);
    EXPECT_NE(Run("RAVELIN_FETCH_TIMEOUT=2 RAVELIN_TFTP_PORT=9 " + kBin +
                  "/TFTP.exe -i 127.0.0.1 GET tevpack-1.bin got.bin 2>/dev/null"),
              0);
}

} // namespace
