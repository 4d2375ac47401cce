// The command line of ravelin-cli: what to run, and the settings to use for this run
// only. Every value is checked here, so the run never starts on a bad flag.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class OutputFormat { Table, Csv, Json };
enum class SelectKind { None, All, Macs, Status };

// Settings a flag overrides for this run; unset ones come from the settings database.
struct SettingOverrides {
    std::optional<std::array<uint8_t, 4>> stationIp, stationMask;
    std::optional<std::array<uint8_t, 6>> stationMac;
    std::optional<std::u16string> group, password;
    std::optional<uint16_t> broadcastPort, listenPort, sessionPort;
    std::optional<uint8_t> method; // 0 USB, 1 TFTP, 2 URL
    std::optional<uint8_t> option; // 0 less, 1 noteq, 2 force
    std::optional<std::u16string> tftpServer, file, blFile, url, blUrl;
    std::optional<uint16_t> maxList;
};

struct CliOptions {
    bool help = false;
    std::string configPath; // the settings database; empty: Ravelin.cfg next to the program
    SettingOverrides settings;

    bool broadcast = false;
    bool range = false;
    std::u16string rangeStart, rangeEnd;
    double waitSeconds = 3.0;

    SelectKind select = SelectKind::None;
    std::vector<std::array<uint8_t, 6>> selectMacs;
    uint8_t selectStatus = 0;

    bool test = false;
    bool upgrade = false;
    bool bootloader = false;
    bool secondaries = false;
    bool verify = false;
    double verifyAfterSeconds = 30.0;

    bool checkPackage = false;
    std::u16string usbRoot;

    OutputFormat format = OutputFormat::Table;
    bool timings = false; // the wall time of each step on standard error

    bool Searches() const { return broadcast || range; }
    bool RunsPasses() const { return test || upgrade || secondaries; }
};

struct ParseResult {
    bool ok = false;
    std::string error; // what was wrong, for "ravelin-cli: <error>"
    CliOptions options;
};

ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

// One line: the shape of the command line.
const char* UsageLine();
// The --help text.
const char* HelpText();

// Strict texts: "A.B.C.D" with four parts 0..255, "XX:XX:XX:XX:XX:XX" (or with '-').
bool ParseStrictIp(const std::string& text, std::array<uint8_t, 4>& ip);
bool ParseStrictMac(const std::string& text, std::array<uint8_t, 6>& mac);

} // namespace cli
