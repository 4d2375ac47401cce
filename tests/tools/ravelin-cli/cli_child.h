// Runs ravelin-cli as a child process and keeps what it printed and its exit code.
#pragma once

#include <string>
#include <vector>

namespace clitest {

struct CliRun {
    int exitCode = -1;
    std::string out; // standard output: the device list or the package findings
    std::string err; // standard error: progress and the summary line
    std::string LastErrLine() const;
};

CliRun RunCli(const std::vector<std::string>& args);

// The station's flags for a fleet on 127.40.<slot>.2.. with its own ports.
std::vector<std::string> StationArgs(int slot, const std::string& configPath);
std::string FirstIp(int slot);
std::string UnitIp(int slot, int k);
int BroadcastPort(int slot);
int ListenPort(int slot);
int SessionPort(int slot);

// Lines of a text, without their ends.
std::vector<std::string> Lines(const std::string& text);
std::vector<std::string> CsvCells(const std::string& line);

std::string TempDirectory();

} // namespace clitest
