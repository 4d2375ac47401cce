// --check-package against real archives made with zip -P, served by python3's HTTP
// server on loopback: the dialog's texts for good packages, the test's own error texts
// and a non-zero exit for bad ones.
#include "package/test_package.h"
#include "tests/tools/ravelin-cli/cli_child.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class CliPackage : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = clitest::TempDirectory();
        std::system(("mkdir -p " + dir + "/served " + dir + "/work").c_str());
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        server = fork();
        if (server == 0) {
            dup2(pipeFds[1], 1);
            close(pipeFds[0]);
            const char* script =
                "import functools, http.server, sys\n"
                "handler = functools.partial(http.server.SimpleHTTPRequestHandler,"
                " directory=sys.argv[1])\n"
                "http.server.SimpleHTTPRequestHandler.log_message = lambda *args: None\n"
                "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)\n"
                "print(s.server_address[1], flush=True)\n"
                "s.serve_forever()\n";
            const std::string served = dir + "/served";
            execl("/usr/bin/python3", "python3", "-c", script, served.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        // The whole line, and the pipe stays open: the server's later writes must not
        // meet a closed pipe.
        output = pipeFds[0];
        std::string line;
        char c = 0;
        while (read(output, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        port = std::atoi(line.c_str());
        ASSERT_GT(port, 0);
    }
    void TearDown() override {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        if (output >= 0) {
            close(output);
        }
        std::system(("rm -rf " + dir).c_str());
    }

    // An archive with the note as its comment, the members, and the note's password
    // (or none when `withPassword` is false).
    void MakePackage(const std::string& name, const std::string& note,
                     const std::vector<std::string>& members, bool withPassword = true) {
        const std::string work = dir + "/work";
        for (const std::string& member : members) {
            std::ofstream(work + "/" + member) << "image of " << member;
        }
        std::ofstream(work + "/comment.txt") << note;
        std::string command = "cd " + work + " && rm -f pkg.zip && zip -q ";
        if (withPassword) {
            command += "-P " + PackagePassword(note.substr(0, note.find('\n'))) + " ";
        }
        command += "pkg.zip";
        for (const std::string& member : members) {
            command += " " + member;
        }
        command += " && zip -q -z pkg.zip < comment.txt && mv pkg.zip " + dir + "/served/" + name;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    clitest::CliRun Check(const std::string& name, bool bootloader = false,
                          const std::string& blName = "") {
        std::vector<std::string> args = {"--config",
                                         dir + "/absent.cfg",
                                         "--check-package",
                                         "--method",
                                         "url",
                                         "--url",
                                         "http://127.0.0.1:" + std::to_string(port) + "/" + name};
        if (bootloader) {
            args.insert(args.end(), {"--bootloader", "--bl-url",
                                     "http://127.0.0.1:" + std::to_string(port) + "/" + blName});
        }
        return clitest::RunCli(args);
    }

    std::string dir;
    pid_t server = -1;
    int output = -1;
    int port = 0;
};

TEST_F(CliPackage, GoodV1V2AndV3PackagesPassWithTheDialogsTexts) {
    MakePackage("tevpack-1234.bin", "tevpack-abcdefghijkl1234.bin\n",
                {"tevkernel.bin", "tevfs.bin"});
    MakePackage("tevpack2-770.bin", "tevpack2-abcdefghijkl770.bin\n",
                {"tevkernel2.bin", "tevfs2.bin", "tevpatch.bin", "tevbs.bin"});
    MakePackage("tevpack3-9876.bin", "tevpack3-abcdefghijkl9876.bin\n",
                {"tevkernel3.bin", "tevfs3.bin", "tevdtb3.bin", "tevuboot3.bin"});
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"tevpack-1234.bin", "firmware package: passed\nFormat: V1\nRevision: 1234\n"
                             "Kernel: 4.210\nFile System: 4.210\nPatch: n/a\n"},
        {"tevpack2-770.bin", "firmware package: passed\nFormat: V2\nRevision: 770\n"
                             "Kernel: 3.2\nFile System: 3.2\nPatch: 3.2\n"},
        {"tevpack3-9876.bin", "firmware package: passed\nFormat: V3\nRevision: 9876\n"
                              "Kernel: 38.148\nFile System: 38.148\nPatch: n/a\n"},
    };
    for (const Case& c : cases) {
        const clitest::CliRun run = Check(c.name);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.LastErrLine(), "package passed");
    }
}

TEST_F(CliPackage, BadPackagesFailWithTheTestsOwnErrorTexts) {
    MakePackage("tevpack-open.bin", "tevpack-abcdefghijkl1234.bin\n", {"tevkernel.bin"}, false);
    MakePackage("tevpack2-mixed.bin", "tevpack2-abcdefghijkl770.bin\n",
                {"tevkernel2.bin", "tevkernel.bin"});
    struct Case {
        const char* name;
        const char* error;
    } cases[] = {
        {"tevpack-open.bin", "Error: package is corrupt! "},
        {"tevpack2-mixed.bin", "Error: bad file in V2 package"},
        {"tevpack-missing.bin",
         "Error: Failed to get package! "}, // the scripts' texts end in a blank
    };
    for (const Case& c : cases) {
        const clitest::CliRun run = Check(c.name);
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.out, std::string("firmware package: failed\n") + c.error + "\n") << c.name;
        EXPECT_EQ(run.LastErrLine(), "package failed");
    }
}

TEST_F(CliPackage, TheBootloaderPackageIsCheckedToo) {
    MakePackage("tevpack-1234.bin", "tevpack-abcdefghijkl1234.bin\n", {"tevkernel.bin"});
    MakePackage("tevblpack-12.bin", "tevblpack-abcdefghijklmnop12.bin\n", {"tevbootloader.bin"});
    const clitest::CliRun run = Check("tevpack-1234.bin", true, "tevblpack-12.bin");
    EXPECT_EQ(run.exitCode, 0) << run.err << run.out;
    EXPECT_NE(run.out.find("bootloader package: passed\nFormat: bootloader\nBootloader: n/a\n"),
              std::string::npos)
        << run.out;
}

} // namespace
