#include "tests/tessaly/fake_netsh.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace nattest {
namespace {

namespace fs = std::filesystem;

constexpr char kNetsh[] = R"sh(#!/bin/sh
# Fake netsh: records the call, answers from the files of its folder.
d="$(dirname "$0")/../state"
log="$(dirname "$0")/../log"
n=$(( $(cat "$log/count" 2>/dev/null || echo 0) + 1 ))
echo "$n" > "$log/count"
printf '%s\n' "$*" >> "$log/calls"
case "$*" in
"routing ip nat show interface")
    sed 's/$/\r/' "$d/listing" ;;
"routing ip nat dump")
    sed 's/$/\r/' "$d/dump" ;;
-f\ *)
    cp "$2" "$log/script-$n"
    if grep -q '^install' "$2" && [ -f "$d/listing-after-install" ]; then
        cp "$d/listing-after-install" "$d/listing"
    fi
    echo "Ok." ;;
*)
    echo "The following command was not found: $*"
    exit 1 ;;
esac
)sh";

// Copies each batch file before the real interpreter runs it.
std::string InterpreterWrapper() {
    return std::string("#!/bin/sh\nlog=\"$(dirname \"$0\")/../log\"\n"
                       "n=$(( $(cat \"$log/batches\" 2>/dev/null | wc -l) + 1 ))\n"
                       "printf '%s\\n' \"$1\" >> \"$log/batches\"\n"
                       "cp \"$1\" \"$log/batch-$n\"\n"
                       "exec '") +
           RAVELIN_CMD_PATH + "' \"$1\"\n";
}

void WriteExecutable(const std::string& path, const std::string& text) {
    WriteFile(path, text);
    chmod(path.c_str(), 0755);
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t found = text.find(end, start);
        if (found == std::string::npos) {
            lines.push_back(text.substr(start) + "<no " + (end == "\r\n" ? "CR LF" : "LF") + ">");
            break;
        }
        lines.push_back(text.substr(start, found - start));
        start = found + end.size();
    }
    return lines;
}

} // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string Fixture(const std::string& name) {
    return ReadFile(std::string(TESSALY_FIXTURE_DIR) + "/" + name);
}

std::vector<std::string> CrLfLines(const std::string& text) {
    return SplitLines(text, "\r\n");
}

std::vector<std::string> Lines(const std::string& text) {
    return SplitLines(text, "\n");
}

FakeNetsh::FakeNetsh() {
    std::string pattern = (fs::temp_directory_path() / "tessaly-nat-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "mkdtemp failed";
        return;
    }
    root_ = pattern;
    temp_ = root_ + "/temp";
    log_ = root_ + "/log";
    for (const char* folder : {"/temp", "/log", "/bin", "/state"}) {
        fs::create_directory(root_ + folder);
    }
    WriteExecutable(root_ + "/bin/netsh", kNetsh);
    WriteExecutable(root_ + "/bin/interpreter", InterpreterWrapper());
    SetListing("");
    SetDump("");

    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "/usr/bin:/bin";
    setenv("PATH", (root_ + "/bin:" + savedPath_).c_str(), 1);
    if (const char* temp = std::getenv("TEMP")) {
        hadTemp_ = true;
        savedTemp_ = temp;
    }
    setenv("TEMP", temp_.c_str(), 1);
    setenv("TESSALY_COMMAND_INTERPRETER", (root_ + "/bin/interpreter").c_str(), 1);
}

FakeNetsh::~FakeNetsh() {
    setenv("PATH", savedPath_.c_str(), 1);
    if (hadTemp_) {
        setenv("TEMP", savedTemp_.c_str(), 1);
    } else {
        unsetenv("TEMP");
    }
    unsetenv("TESSALY_COMMAND_INTERPRETER");
    std::error_code ignored;
    if (!root_.empty()) {
        fs::remove_all(root_, ignored);
    }
}

void FakeNetsh::SetListing(const std::string& text) {
    WriteFile(root_ + "/state/listing", text);
}

void FakeNetsh::SetListingAfterInstall(const std::string& text) {
    WriteFile(root_ + "/state/listing-after-install", text);
}

void FakeNetsh::SetDump(const std::string& text) {
    WriteFile(root_ + "/state/dump", text);
}

std::vector<std::string> FakeNetsh::Calls() const {
    return Lines(ReadFile(log_ + "/calls"));
}

std::string FakeNetsh::ScriptOfCall(size_t call) const {
    return ReadFile(log_ + "/script-" + std::to_string(call));
}

std::vector<std::string> FakeNetsh::BatchPaths() const {
    return Lines(ReadFile(log_ + "/batches"));
}

std::string FakeNetsh::BatchText(size_t index) const {
    return ReadFile(log_ + "/batch-" + std::to_string(index + 1));
}

std::vector<std::string> FakeNetsh::TempEntries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(temp_, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace nattest
