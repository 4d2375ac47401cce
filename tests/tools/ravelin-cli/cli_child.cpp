#include "tests/tools/ravelin-cli/cli_child.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {
namespace {

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string CliRun::LastErrLine() const {
    const std::vector<std::string> lines = Lines(err);
    return lines.empty() ? std::string() : lines.back();
}

std::string TempDirectory() {
    char pattern[] = "/tmp/ravelin-cli-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

CliRun RunCli(const std::vector<std::string>& args) {
    const std::string dir = TempDirectory();
    std::string command = Quote(RAVELIN_CLI_PATH);
    for (const std::string& arg : args) {
        command += " " + Quote(arg);
    }
    command += " > " + dir + "/out 2> " + dir + "/err < /dev/null";
    CliRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(dir + "/out");
    run.err = Slurp(dir + "/err");
    std::system(("rm -rf " + dir).c_str());
    return run;
}

std::string FirstIp(int slot) {
    return UnitIp(slot, 0);
}
std::string UnitIp(int slot, int k) {
    return "127.40." + std::to_string(slot) + "." + std::to_string(2 + k);
}
int BroadcastPort(int slot) {
    return 24000 + 10 * slot;
}
int ListenPort(int slot) {
    return 24001 + 10 * slot;
}
int SessionPort(int slot) {
    return 24002 + 10 * slot;
}

std::vector<std::string> StationArgs(int slot, const std::string& configPath) {
    return {"--config",         configPath,
            "--station-ip",     "127.0.0.1",
            "--station-mac",    "02:00:00:00:00:01",
            "--station-mask",   "255.0.0.0",
            "--broadcast-port", std::to_string(BroadcastPort(slot)),
            "--listen-port",    std::to_string(ListenPort(slot)),
            "--session-port",   std::to_string(SessionPort(slot))};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CsvCells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cells.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

} // namespace clitest
