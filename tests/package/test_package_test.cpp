// TestPackage end to end: real archives made with zip at test time, fetched from a
// directory standing in for a USB drive root, from an HTTP server and from a TFTP server
// on loopback, by the generated scripts run through the project's interpreter and tools.
//
// The test binary moves itself into a network namespace of its own (it needs root), so
// that it can give loopback the second address the TFTP server's address lookup needs
// (glibc answers numeric lookups with AI_ADDRCONFIG only when a non-127.0.0.1 IPv4
// address exists) without touching any namespace it did not make.
#include "package/package_flags.h"
#include "package/test_package.h"
#include "platform/hidden_process.h"
#include "platform/program_paths.h"
#include "platform/utf8.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <netinet/in.h>
#include <optional>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool gOwnNetwork = false;

class OwnNetwork : public ::testing::Environment {
  public:
    void SetUp() override {
        gOwnNetwork = unshare(CLONE_NEWNET) == 0 &&
                      std::system("ip link set lo up && ip addr add 127.0.0.2/8 dev lo") == 0;
        setenv("RAVELIN_FETCH_TIMEOUT", "3", 1);
    }
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new OwnNetwork);

std::u16string Wide(const fs::path& path) {
    return platform::Utf8ToUtf16(path.string());
}

std::string Narrow(const std::u16string& text) {
    std::string result;
    platform::Utf16ToUtf8(text, &result);
    return result;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<size_t>(file.gcount()));
    }
    return bytes;
}

// A server process of the test; ended (with its group) when the object goes.
class ServerProcess {
  public:
    ~ServerProcess() { Stop(); }
    // Starts argv; with `readPort`, the first line of its standard output is its port.
    bool Start(std::vector<std::string> argv, bool readPort) {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            setpgid(0, 0);
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> args;
            for (std::string& word : argv) {
                args.push_back(word.data());
            }
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        if (readPort) {
            std::string line;
            char c;
            while (read(fds[0], &c, 1) == 1 && c != '\n') {
                line += c;
            }
            port_ = std::atoi(line.c_str());
        }
        close(fds[0]);
        return pid_ > 0;
    }
    void Stop() {
        if (pid_ > 0) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    int Port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// A UDP port on 127.0.0.1 that was free a moment ago.
int FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool UdpPortTaken(int port) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool taken = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0;
    close(fd);
    return taken;
}

class RecordingView : public PackageTestView {
  public:
    void SetFieldText(PackageField field, const std::u16string& text) override {
        fields[field] = text;
        history.emplace_back(field, text);
    }
    void Redraw() override { ++redraws; }
    void ShowError(const std::u16string& text) override { errors.push_back(text); }

    std::u16string Field(PackageField field) const {
        const auto found = fields.find(field);
        return found == fields.end() ? u"(unset)" : found->second;
    }

    std::map<PackageField, std::u16string> fields;
    std::vector<std::pair<PackageField, std::u16string>> history;
    int redraws = 0;
    std::vector<std::u16string> errors;
};

constexpr uint32_t kThread = 0xBEEF;
const char* const kV1Note = "tevpack-abcdefghijkl1234.bin\n";

struct PackageTest : ::testing::Test {
    fs::path root;
    fs::path temp;
    fs::path usb;
    fs::path served;
    fs::path work;
    PackageTestSetup setup;
    RecordingView view;
    PackageFindings findings;

    void SetUp() override {
        char pattern[] = "/tmp/ravelin-package-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        temp = root / "temp";
        usb = root / "usb";
        served = root / "served";
        work = root / "work";
        for (const fs::path& dir : {temp, usb, served, work}) {
            fs::create_directory(dir);
        }
        fs::permissions(root, fs::perms::all, fs::perm_options::add);
        fs::permissions(served, fs::perms::all, fs::perm_options::add);
        setup.tempDirectory = Wide(temp);
        setup.files = MakePackageFiles(setup.tempDirectory, platform::ProgramDirectory(), kThread);
        setup.inputs.method = kMethodUsb;
        setup.inputs.usbRoot = Wide(usb) + u"/";
    }
    void TearDown() override {
        platform::SetCommandInterpreterOverride(u"");
        unsetenv("RAVELIN_TFTP_PORT");
        std::error_code ignored;
        for (auto& entry : fs::recursive_directory_iterator(root, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root, ignored);
    }

    // Makes a zip archive at `path` with the note as its comment and the given members.
    // The password is the one derived from the note unless `password` says otherwise
    // (an empty text: no password at all).
    void MakePackage(const fs::path& path, const std::string& note,
                     const std::vector<std::string>& members,
                     std::optional<std::string> password = std::nullopt) {
        if (!password) {
            std::string line = note.substr(0, note.find('\n'));
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            password = PackagePassword(line.substr(0, 63));
        }
        for (const std::string& member : members) {
            WriteFile(work / member, "image of " + member);
        }
        WriteFile(work / "comment.txt", note);
        std::string command = "cd '" + work.string() + "' && rm -f pkg.zip && zip -q ";
        if (!password->empty()) {
            command += "-P " + *password + " ";
        }
        command += "pkg.zip";
        for (const std::string& member : members) {
            command += " '" + member + "'";
        }
        command += " && zip -q -z pkg.zip < comment.txt && mv pkg.zip '" + path.string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    int Test(bool bootloader = false) { return TestPackage(setup, bootloader, view, &findings); }

    void ExpectCleanedUp() {
        for (const std::u16string& name : {setup.files.packageCopy, setup.files.noteFile,
                                           setup.files.fileList, setup.files.errorFile}) {
            EXPECT_FALSE(fs::exists(temp / Narrow(name))) << Narrow(name);
        }
        EXPECT_FALSE(fs::exists(Narrow(setup.files.getpackScript)));
        EXPECT_FALSE(fs::exists(Narrow(setup.files.chkpackScript)));
    }

    void ExpectFailure(int result, const std::u16string& error) {
        EXPECT_EQ(findings.error, error);
        EXPECT_EQ(result, static_cast<int>(error.size()));
        ASSERT_EQ(view.errors.size(), 1u);
        EXPECT_EQ(view.errors[0], error);
        EXPECT_EQ(view.Field(PackageField::Kernel), u"n/a");
        EXPECT_EQ(view.Field(PackageField::FileSystem), u"n/a");
        EXPECT_EQ(view.Field(PackageField::Patch), u"n/a");
        EXPECT_EQ(view.Field(PackageField::Revision), u"");
        ExpectCleanedUp();
    }

    void ExpectVersions(const char16_t* kernel, const char16_t* fileSystem, const char16_t* patch,
                        const char16_t* revision) {
        EXPECT_TRUE(view.errors.empty()) << (view.errors.empty() ? "" : Narrow(view.errors[0]));
        EXPECT_EQ(view.Field(PackageField::Kernel), kernel);
        EXPECT_EQ(view.Field(PackageField::FileSystem), fileSystem);
        EXPECT_EQ(view.Field(PackageField::Patch), patch);
        EXPECT_EQ(view.Field(PackageField::Revision), revision);
        ExpectCleanedUp();
    }

    // A static HTTP server over `served` on a port of its choosing.
    bool StartHttp(ServerProcess& server) {
        const char* script = "import functools, http.server, sys\n"
                             "handler = functools.partial(http.server.SimpleHTTPRequestHandler,"
                             " directory=sys.argv[1])\n"
                             "handler.log_message = lambda *args: None\n"
                             "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)\n"
                             "print(s.server_address[1], flush=True)\n"
                             "s.serve_forever()\n";
        return server.Start({"/usr/bin/python3", "-c", script, served.string()}, true) &&
               server.Port() > 0;
    }

    // The TFTP server over `served` on a free high port; RAVELIN_TFTP_PORT points the
    // client at it.
    bool StartTftp(ServerProcess& server) {
        if (!gOwnNetwork) {
            ADD_FAILURE() << "no network namespace of the test's own (root is needed)";
            return false;
        }
        const int port = FreeUdpPort();
        if (!server.Start({"/usr/sbin/in.tftpd", "-4", "-l", "-L", "-u", "root", "-a",
                           "127.0.0.1:" + std::to_string(port), "-s", served.string()},
                          false)) {
            return false;
        }
        for (int i = 0; i < 200 && !UdpPortTaken(port); ++i) {
            usleep(10 * 1000);
        }
        setenv("RAVELIN_TFTP_PORT", std::to_string(port).c_str(), 1);
        return UdpPortTaken(port);
    }
};

TEST_F(PackageTest, UsbPackageWithKernelAndFileSystemOnly) {
    MakePackage(usb / "tevpack-1234.bin", kV1Note, {"tevkernel.bin", "tevfs.bin"});
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"4.210", u"n/a", u"1234");
    EXPECT_EQ(findings.revision, 1234u);
    EXPECT_EQ(findings.contentsMask, 0x03);
    // Progress first, then the check, then the result; each stage is repainted.
    ASSERT_GE(view.history.size(), 8u);
    EXPECT_EQ(view.history[0], std::make_pair(PackageField::Kernel, std::u16string(u"getting...")));
    EXPECT_EQ(view.history[3], std::make_pair(PackageField::Revision, std::u16string(u"")));
    EXPECT_EQ(view.history[4],
              std::make_pair(PackageField::Kernel, std::u16string(u"checking...")));
    EXPECT_EQ(view.redraws, 2);
}

TEST_F(PackageTest, TheOldestOfSeveralUsbFirmwarePackagesIsTheOneTested) {
    MakePackage(usb / "tevpack2-old.bin", "tevpack2-abcdefghijkl770.bin\n", {"tevkernel2.bin"});
    fs::last_write_time(usb / "tevpack2-old.bin",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    MakePackage(usb / "tevpack-new.bin", kV1Note, {"tevkernel.bin"});
    MakePackage(usb / "tevblpack-1.bin", "tevblpack-abcdefghijkl12345.b\n", {"tevbootloader.bin"});
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"3.2", u"n/a", u"n/a", u"770");
}

TEST_F(PackageTest, UsbBootloaderPackages) {
    MakePackage(usb / "tevblpack-1.bin", "tevblpack-abcdefghijkl12345.b\n", {"tevbootloader.bin"});
    EXPECT_EQ(Test(true), 0);
    EXPECT_TRUE(view.errors.empty());
    // A bootloader note yields no revision.
    EXPECT_EQ(view.Field(PackageField::Bootloader), u"n/a");
    EXPECT_EQ(view.fields.count(PackageField::Kernel), 0u);
    EXPECT_EQ(findings.contentsMask, kContentsBootloader);
    ExpectCleanedUp();

    // Several are joined into the one copy, which is then no readable archive.
    MakePackage(usb / "tevblpack-2.bin", "tevblpack-abcdefghijkl12346.b\n", {"tevbootloader.bin"});
    view = RecordingView();
    EXPECT_GT(Test(true), 0);
    EXPECT_EQ(findings.error, u"Failed to get list of files in package! \n");
    EXPECT_EQ(view.Field(PackageField::Bootloader), u"n/a");
    ExpectCleanedUp();
}

TEST_F(PackageTest, NoteOfExactly28CharactersPassesAnd27Fails) {
    MakePackage(usb / "tevpack-1.bin", "tevpack-abcdefghijkl1234.bi\n", {"tevkernel.bin"});
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"n/a", u"n/a", u"1234");

    MakePackage(usb / "tevpack-1.bin", "tevpack-abcdefghijkl1234.b\n", {"tevkernel.bin"});
    view = RecordingView();
    ExpectFailure(Test(), u"bad note - not in V1, V2 or V3 file name format");
}

TEST_F(PackageTest, NoteAndMemberErrors) {
    struct Case {
        std::string note;
        std::vector<std::string> members;
        const char16_t* error;
    };
    const Case cases[] = {
        {"tevpack2-abcdefghijklrevA.bin\n",
         {"tevkernel2.bin"},
         u"bad rev number in V2 or V3 package's note"},
        {"tevpack2-abcdefghijkl1234.bin\n", {"tevkernel.bin"}, u"bad file in V2 package"},
        {"", {"tevkernel.bin"}, u"invalid note in package"},
        {kV1Note, {"tevkernel.bin", "readme.txt"}, u"bad file in V1 package"},
    };
    for (const Case& c : cases) {
        MakePackage(usb / "tevpack-1.bin", c.note, c.members);
        view = RecordingView();
        ExpectFailure(Test(), c.error);
    }
}

TEST_F(PackageTest, ALongerMemberNameCountsAsTheAllowedOne) {
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin.old", "tevbs.bin"});
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"n/a", u"n/a", u"1234");
}

TEST_F(PackageTest, AnEmptyArchiveEndsWithEveryFieldNotAvailable) {
    // zip cannot write an archive without members; deleting its only member leaves one.
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    ASSERT_EQ(std::system(
                  ("zip -q -d '" + (usb / "tevpack-1.bin").string() + "' tevkernel.bin 2>/dev/null")
                      .c_str()),
              0);
    EXPECT_GT(Test(), 0);
    EXPECT_EQ(view.Field(PackageField::Kernel), u"n/a");
    EXPECT_EQ(view.Field(PackageField::FileSystem), u"n/a");
    EXPECT_EQ(view.Field(PackageField::Patch), u"n/a");
    ExpectCleanedUp();
}

TEST_F(PackageTest, AV3TestSetsPackageIsV3AndALaterOtherTestClearsIt) {
    PackageIsV3 = false;
    MakePackage(usb / "tevpack3-1.bin", "tevpack3-abcdefghijkl9876.bin\n",
                {"tevkernel3.bin", "tevfs3.bin", "tevdtb3.bin", "tevat.bin"});
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"38.148", u"38.148", u"n/a", u"9876");
    EXPECT_TRUE(PackageIsV3);

    fs::remove(usb / "tevpack3-1.bin");
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    EXPECT_EQ(Test(), 0);
    EXPECT_FALSE(PackageIsV3);
}

TEST_F(PackageTest, PasswordChecks) {
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"}, std::string());
    ExpectFailure(Test(), u"package is corrupt! \n");

    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"}, std::string("wrongpass"));
    view = RecordingView();
    ExpectFailure(Test(), u"Failed to decrypt the package! \n");
}

TEST_F(PackageTest, NoPackageOnTheDrive) {
    MakePackage(usb / "tevblpack-1.bin", "tevblpack-abcdefghijkl12345.b\n", {"tevbootloader.bin"});
    ExpectFailure(Test(), u"Failed to get package! \n");
}

TEST_F(PackageTest, AReadOnlyPackageCopyIsStillCleanedUp) {
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    fs::permissions(usb / "tevpack-1.bin", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"n/a", u"n/a", u"1234");
}

TEST_F(PackageTest, LeftoversOfAnInterruptedTestAreRemovedFirst) {
    // A stale (read-only) package copy, note and error file, also in a folder below.
    const std::string stale = "stale";
    for (const std::u16string& name :
         {setup.files.packageCopy, setup.files.noteFile, setup.files.errorFile}) {
        WriteFile(temp / Narrow(name), stale + "\n");
        fs::permissions(temp / Narrow(name), fs::perms::owner_read);
    }
    fs::create_directory(temp / "older");
    WriteFile(temp / "older" / Narrow(setup.files.packageCopy), stale);
    // No package on the drive: the stale copy must not be taken for one.
    ExpectFailure(Test(), u"Failed to get package! \n");
    EXPECT_FALSE(fs::exists(temp / "older" / Narrow(setup.files.packageCopy)));

    WriteFile(temp / Narrow(setup.files.errorFile), "stale error\n");
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    view = RecordingView();
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"n/a", u"n/a", u"1234");
}

TEST_F(PackageTest, UrlMethodOverHttp) {
    ServerProcess server;
    ASSERT_TRUE(StartHttp(server));
    MakePackage(served / "tevpack-1234.bin", kV1Note,
                {"tevkernel.bin", "tevfs.bin", "tevpatch.bin"});
    MakePackage(served / "tevblpack-7.bin", "tevblpack-abcdefghijkl12345.b\n",
                {"tevbootloader.bin"});
    const std::u16string base =
        u"http://127.0.0.1:" + platform::Utf8ToUtf16(std::to_string(server.Port())) + u"/";
    setup.inputs.method = kMethodHttpFtp;
    setup.inputs.url = base + u"tevpack-1234.bin";
    setup.inputs.bootloaderUrl = base + u"tevblpack-7.bin";
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"4.210", u"4.210", u"1234");
    EXPECT_EQ(Test(true), 0);
    EXPECT_EQ(view.Field(PackageField::Bootloader), u"n/a");
    ExpectCleanedUp();

    setup.inputs.url = base + u"missing.bin";
    view = RecordingView();
    ExpectFailure(Test(), u"Failed to get package! \n");
}

TEST_F(PackageTest, UnreachableUrl) {
    setup.inputs.method = kMethodHttpFtp;
    setup.inputs.url = u"http://127.0.0.1:9/tevpack-1234.bin"; // nothing listens there
    ExpectFailure(Test(), u"Failed to get package! \n");
}

TEST_F(PackageTest, TftpMethod) {
    ServerProcess server;
    ASSERT_TRUE(StartTftp(server));
    fs::create_directory(served / "fw");
    MakePackage(served / "fw" / "tevpack-1234.bin", kV1Note, {"tevkernel.bin", "tevpatch.bin"});
    MakePackage(served / "tevblpack-7.bin", "tevblpack-abcdefghijkl12345.b\n",
                {"tevbootloader.bin"});
    for (auto& entry : fs::recursive_directory_iterator(served)) {
        fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    }
    setup.inputs.method = kMethodTftp;
    setup.inputs.tftpServer = u"127.0.0.1";
    setup.inputs.tftpFile = u"fw/tevpack-1234.bin";
    setup.inputs.tftpBootloaderFile = u"tevblpack-7.bin";
    EXPECT_EQ(Test(), 0);
    ExpectVersions(u"4.210", u"n/a", u"4.210", u"1234");
    EXPECT_EQ(Test(true), 0);
    EXPECT_TRUE(view.errors.empty());

    setup.inputs.tftpFile = u"fw/missing.bin";
    view = RecordingView();
    ExpectFailure(Test(), u"Failed to get package! \n");
}

TEST_F(PackageTest, UnreachableTftpServer) {
    setup.inputs.method = kMethodTftp;
    setup.inputs.tftpServer = u"127.0.0.1";
    setup.inputs.tftpFile = u"tevpack-1234.bin";
    setenv("RAVELIN_TFTP_PORT", std::to_string(FreeUdpPort()).c_str(), 1);
    ExpectFailure(Test(), u"Failed to get package! \n");
}

TEST_F(PackageTest, OperatorTextsThatWouldLeaveTheirArgumentAreRefusedFirst) {
    setup.inputs.method = kMethodTftp;
    setup.inputs.tftpServer = u"127.0.0.1 & echo injected > injected.txt";
    setup.inputs.tftpFile = u"tevpack-1234.bin";
    ExpectFailure(Test(), u"The TFTP server contains a character that cannot be passed to a "
                          u"script (\" & | < > ^ % or a line break)!");
    EXPECT_FALSE(fs::exists(temp / "injected.txt"));
    // Only the progress texts and the result: no script ran, so nothing said "checking...".
    for (const auto& [field, text] : view.history) {
        EXPECT_NE(text, u"checking...");
    }
}

TEST_F(PackageTest, ScriptsThatCannotBeWrittenOrStarted) {
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    PackageTestSetup unwritable = setup;
    unwritable.files.getpackScript = u"/nonexistent-dir/tevget.cmd";
    EXPECT_GT(TestPackage(unwritable, false, view, &findings), 0);
    EXPECT_EQ(findings.error, u"Failed to create getpack batch!");

    platform::SetCommandInterpreterOverride(u"/nonexistent-dir/ravelin-cmd");
    view = RecordingView();
    ExpectFailure(Test(), u"Failed to execute batch!");
}

TEST_F(PackageTest, AScriptStillRunningAtThePollLimitIsEndedWithItsChildren) {
    MakePackage(usb / "tevpack-1.bin", kV1Note, {"tevkernel.bin"});
    // An unzip that never finishes; it notes its process id first.
    const fs::path tools = root / "tools";
    fs::create_directory(tools);
    const fs::path pidFile = root / "unzip.pid";
    WriteFile(tools / "unzip.exe",
              "#!/bin/sh\necho $$ > '" + pidFile.string() + "'\nexec sleep 60\n");
    fs::permissions(tools / "unzip.exe", fs::perms::owner_all);
    setup.files.zipTool = Wide(tools / "unzip.exe");
    setup.pollIntervalMs = 2; // a limit of about 2 s
    // Orphans of the ended script come to this process, so that their end can be seen
    // (the interpreter may also have collected its child before it died itself).
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ExpectFailure(Test(), u"Failed to execute batch!");
    const pid_t child = std::atoi(ReadFile(pidFile).c_str());
    ASSERT_GT(child, 0);
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        int status = 0;
        const pid_t reaped = waitpid(child, &status, WNOHANG);
        gone = (reaped == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
               (reaped < 0 && kill(child, 0) != 0);
        usleep(10 * 1000);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_TRUE(gone) << "the script's child is still running";
}

} // namespace
