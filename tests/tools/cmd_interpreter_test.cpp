// The command interpreter on its own: the constructs the generated scripts use, and
// lines it must refuse without running any part of them.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(file.gcount()));
    }
    return text;
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

struct Interpreter : ::testing::Test {
    fs::path dir;
    int exitCode = -1;
    std::string errors;

    void SetUp() override {
        char pattern[] = "/tmp/ravelin-cmd-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto& entry : fs::recursive_directory_iterator(dir, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(dir, ignored);
    }

    // Writes the lines (CR LF ends) as a script in `dir` and runs it from there.
    void Run(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        WriteAll(dir / "script.cmd", text);
        const std::string command =
            "cd '" + dir.string() + "' && " RAVELIN_CMD " script.cmd > stdout.txt 2> stderr.txt";
        const int status = std::system(command.c_str());
        exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        errors = ReadAll(dir / "stderr.txt");
    }
    std::string File(const std::string& name) { return ReadAll(dir / name); }
    bool Exists(const std::string& name) { return fs::exists(dir / name); }
};

TEST_F(Interpreter, EchoWritesItsTextWithTheBlankBeforeTheRedirection) {
    Run({"echo Failed to get package! > err.txt", "echo.", "echo. > empty.txt",
         "@echo quiet>q.txt"});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(File("err.txt"), "Failed to get package! \r\n");
    EXPECT_EQ(File("empty.txt"), " \r\n");
    EXPECT_EQ(File("q.txt"), "quiet\r\n");
}

TEST_F(Interpreter, VariablesPercentsAndArguments) {
    Run({"set PW=0123abcd", "set pw=4567efgh", "echo %PW%/%pw%/%%1/%1/%NOSUCHVAR%. > a.txt",
         "set PW=", "echo [%PW%] > b.txt"});
    EXPECT_EQ(exitCode, 0) << errors;
    // Names are case-insensitive: the second set replaced the first.
    EXPECT_EQ(File("a.txt"), "4567efgh/4567efgh/%1//. \r\n");
    EXPECT_EQ(File("b.txt"), "[] \r\n");
}

TEST_F(Interpreter, ErrorLevelFollowsProgramsAndDrivesIfAndGoto) {
    Run({"\"/bin/sh\" -c \"exit 3\"",
         "if not %errorlevel% == 0 goto failed",
         "echo not reached > wrong.txt",
         ":failed",
         "echo level %errorlevel% > level.txt",
         "if %errorlevel% == 3 goto three",
         "goto alldone",
         "",
         ":three",
         "sh -c \"exit 0\"",
         "if %errorlevel% == 0 echo zero> zero.txt",
         "if exist level.txt goto found",
         "echo not reached > wrong.txt",
         ":found",
         "if not exist nothing.txt goto missing",
         "echo not reached > wrong.txt",
         ":missing",
         "goto alldone",
         ":alldone",
         "echo."});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_FALSE(Exists("wrong.txt"));
    EXPECT_EQ(File("level.txt"), "level 3 \r\n");
    EXPECT_EQ(File("zero.txt"), "zero\r\n");
}

TEST_F(Interpreter, GotoSearchesOnwardThenFromTheTopAndEndsOnAMissingLabel) {
    Run({"if exist second.txt goto end", ":top", "echo once > second.txt", "goto top2", ":end",
         "echo end > end.txt", "goto :eof", ":top2", "goto end"});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_TRUE(Exists("end.txt"));

    Run({"goto nowhere", "echo after > after.txt"});
    EXPECT_EQ(exitCode, 255);
    EXPECT_NE(errors.find("nowhere"), std::string::npos);
    EXPECT_FALSE(Exists("after.txt"));
}

TEST_F(Interpreter, ForOverADirListingNewestFirstSetsTheOldestLast) {
    fs::create_directory(dir / "usb");
    const char* names[] = {"tevpack-b.bin", "tevpack3-c.bin", "tevpack2-a.bin", "other.bin",
                           "tevblpack-x.bin"};
    int age = 0;
    for (const char* name : names) {
        WriteAll(dir / "usb" / name, name);
        // tevpack-b.bin is the oldest.
        fs::last_write_time(dir / "usb" / name,
                            fs::file_time_type::clock::now() - std::chrono::hours(100 - age));
        age += 10;
    }
    const std::string root = (dir / "usb").string() + "/";
    Run({"for /f \"tokens=*\" %%F in ('dir " + root +
             "tevpack*-*.bin /B /O:-D') DO set PACKFILE_BIN=" + root + "%%F",
         "echo %PACKFILE_BIN% > last.txt",
         "for /f \"tokens=*\" %%F in ('dir " + root + "TEVPACK*-*.BIN /B /O:N') DO set N=%%F",
         "echo %N% > byname.txt",
         "for /f \"tokens=*\" %%F in ('dir " + root + "none*.bin /B /O:-D') DO set X=%%F",
         "echo [%X%] > none.txt"});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(File("last.txt"), root + "tevpack-b.bin \r\n");
    EXPECT_EQ(File("byname.txt"), "tevpack3-c.bin \r\n");
    EXPECT_EQ(File("none.txt"), "[] \r\n");
}

TEST_F(Interpreter, CopyJoinsAPatternKeepsReadOnlyAndAttribClearsIt) {
    WriteAll(dir / "tevblpack-1.bin", "one");
    WriteAll(dir / "tevblpack-2.bin", "two");
    WriteAll(dir / "ro.bin", "readonly");
    fs::permissions(dir / "ro.bin", fs::perms::owner_read);
    Run({"copy /b tevblpack-*.bin joined.dat", "echo %errorlevel% > l1.txt", "copy ro.bin copy.dat",
         "copy missing.bin x.dat", "echo %errorlevel% > l2.txt", "copy %UNSET% joined.dat",
         "echo %errorlevel% > l3.txt", "attrib -R nothing.dat", "echo %errorlevel% > l4.txt"});
    EXPECT_EQ(File("joined.dat"), "onetwo");
    EXPECT_EQ(File("l1.txt"), "0 \r\n");
    EXPECT_EQ(File("copy.dat"), "readonly");
    EXPECT_EQ(fs::status(dir / "copy.dat").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(File("l2.txt"), "1 \r\n");
    EXPECT_EQ(File("l3.txt"), "1 \r\n"); // joined.dat onto itself
    EXPECT_EQ(File("l4.txt"), "1 \r\n");

    Run({"attrib -R copy.dat"});
    EXPECT_NE(fs::status(dir / "copy.dat").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(Interpreter, DelRefusesReadOnlyWithoutFAndSearchesSubdirectoriesWithS) {
    fs::create_directories(dir / "sub" / "deeper");
    for (const char* path : {"a.dat", "b.dat", "sub/a.dat", "sub/deeper/a.dat", "keep.dat"}) {
        WriteAll(dir / path, "x");
    }
    fs::permissions(dir / "b.dat", fs::perms::owner_read);
    Run({"del /q b.dat", "del /q a.dat"});
    EXPECT_TRUE(Exists("b.dat"));
    EXPECT_FALSE(Exists("a.dat"));
    EXPECT_TRUE(Exists("sub/a.dat"));

    Run({"del /q /s /f a.dat b.dat gone.dat"});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_FALSE(Exists("b.dat"));
    EXPECT_FALSE(Exists("sub/a.dat"));
    EXPECT_FALSE(Exists("sub/deeper/a.dat"));
    EXPECT_TRUE(Exists("keep.dat"));
    EXPECT_NE(errors.find("Could Not Find gone.dat"), std::string::npos);
}

TEST_F(Interpreter, MkdirAndCdMoveTheScriptsFiles) {
    const std::string target = (dir / "made" / "deep").string();
    Run({"mkdir \"" + target + "\"", "echo %errorlevel% > l1.txt", "mkdir \"" + target + "\"",
         "echo %errorlevel% > l2.txt", "cd /d \"" + target + "\"", "echo here > here.txt",
         "cd /d \"" + (dir / "absent").string() + "\"", "echo %errorlevel% > level.txt"});
    EXPECT_EQ(File("l1.txt"), "0 \r\n");
    EXPECT_EQ(File("l2.txt"), "1 \r\n");
    EXPECT_TRUE(Exists("made/deep/here.txt"));
    EXPECT_EQ(File("made/deep/level.txt"), "1 \r\n");
}

TEST_F(Interpreter, ProgramsGetTheirArgumentsAndOutputRedirection) {
    Run({"\"/usr/bin/printf\" \"%%s|\" \"two words\" next > args.txt", "printf x > printf.txt"});
    EXPECT_EQ(exitCode, 0) << errors;
    EXPECT_EQ(File("printf.txt"), "x");
    EXPECT_EQ(File("args.txt"), "two words|next|");
}

TEST_F(Interpreter, UnknownCommandsFailWithAMessageAndTheScriptGoesOn) {
    Run({"nosuchprogram-xyz arg", "echo %errorlevel% > l1.txt", "dir > dir.txt",
         "echo %errorlevel% > l2.txt", "\"/no/such/tool.exe\" -x", "echo %errorlevel% > l3.txt"});
    EXPECT_EQ(File("l1.txt"), "9009 \r\n");
    // dir is a command of the interpreter language that is not run outside for /f; a
    // program of the same name on PATH must not stand in for it.
    EXPECT_EQ(File("l2.txt"), "9009 \r\n");
    EXPECT_EQ(File("dir.txt"), "");
    EXPECT_EQ(File("l3.txt"), "9009 \r\n");
    EXPECT_NE(errors.find("'nosuchprogram-xyz' is not recognized"), std::string::npos);
}

TEST_F(Interpreter, LinesItCannotParseEndTheScriptWithNothingOfThemRun) {
    const std::string refused[] = {
        "echo made > made.txt & echo more",
        "echo made > made.txt | more",
        "echo made >> made.txt",
        "echo made 2> made.txt",
        "echo made < in.txt > made.txt",
        "echo made ^> made.txt",
        "echo %unterminated > made.txt",
        "echo %~dp0 > made.txt",
        "\"/bin/touch made.txt",
        "if exist script.cmd (echo made > made.txt)",
        "if exist script.cmd",
        "if script.cmd echo made > made.txt",
        "for %%F in (script.cmd) do echo made > made.txt",
        "for /f %%F in ('type script.cmd') do echo %%F > made.txt",
        "for /f \"tokens=1,2\" %%F in ('dir *.cmd /B') do echo %%F > made.txt",
        "for /f \"tokens=*\" %%F in ('dir *.cmd') do echo %%F > made.txt",
        "set /a X=1",
        "set",
        "copy script.cmd+script.cmd made.txt",
        "copy *.cmd made.txt",
        "del /p script.cmd",
        "attrib +H script.cmd",
        "goto",
        "echo made > made.txt extra",
    };
    for (const std::string& line : refused) {
        Run({line, "echo after > after.txt"});
        EXPECT_EQ(exitCode, 255) << line;
        EXPECT_NE(errors.find("cannot parse"), std::string::npos) << line;
        EXPECT_FALSE(Exists("made.txt")) << line;
        EXPECT_FALSE(Exists("after.txt")) << line;
        EXPECT_TRUE(Exists("script.cmd")) << line;
    }
}

TEST_F(Interpreter, TheExitCodeIsTheLastErrorLevel) {
    Run({"sh -c \"exit 7\"", "echo."});
    EXPECT_EQ(exitCode, 7);
}

} // namespace
