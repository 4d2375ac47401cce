#include "tools/ravelin-cli/cli_options.h"

#include "platform/utf8.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>

namespace cli {
namespace {

const char* const kStatusNames[] = {"invalid",     "present",  "untested",      "tested",
                                    "failed test", "upgraded", "failed upgrade"};

bool ParseNumber(const std::string& text, long min, long max, long& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || n < min || n > max) {
        return false;
    }
    value = n;
    return true;
}

bool ParseSeconds(const std::string& text, double& value) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) {
        return false;
    }
    char* end = nullptr;
    const double n = std::strtod(text.c_str(), &end);
    if (*end != 0 || !std::isfinite(n) || n < 0 || n > 86400) {
        return false;
    }
    value = n;
    return true;
}

// Text for a fixed field of the settings: valid UTF-8 without control characters, at most
// `units` UTF-16 units.
bool ParseText(const std::string& text, size_t units, std::u16string& out) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    out = platform::Utf8ToUtf16(text);
    return out.find(u'\uFFFD') == std::u16string::npos && out.size() <= units;
}

bool ParseStatus(const std::string& text, uint8_t& status) {
    std::string name;
    for (char c : text) {
        name.push_back(c == '-' || c == '_' ? ' ' : static_cast<char>(std::tolower(c)));
    }
    for (uint8_t i = 1; i < 7; ++i) {
        if (name == kStatusNames[i]) {
            status = i;
            return true;
        }
    }
    return false;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at - from));
        if (at == std::string::npos) {
            return parts;
        }
        from = at + 1;
    }
}

} // namespace

bool ParseStrictIp(const std::string& text, std::array<uint8_t, 4>& ip) {
    const std::vector<std::string> parts = Split(text, '.');
    if (parts.size() != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        long n = 0;
        if (parts[i].size() > 3 || !ParseNumber(parts[i], 0, 255, n)) {
            return false;
        }
        ip[i] = static_cast<uint8_t>(n);
    }
    return true;
}

bool ParseStrictMac(const std::string& text, std::array<uint8_t, 6>& mac) {
    if (text.size() != 17) {
        return false;
    }
    for (size_t i = 0; i < 6; ++i) {
        const char a = text[3 * i], b = text[3 * i + 1];
        if (!std::isxdigit(static_cast<unsigned char>(a)) ||
            !std::isxdigit(static_cast<unsigned char>(b)) ||
            (i < 5 && text[3 * i + 2] != ':' && text[3 * i + 2] != '-')) {
            return false;
        }
        mac[i] = static_cast<uint8_t>(std::stoi(text.substr(3 * i, 2), nullptr, 16));
    }
    return true;
}

const char* UsageLine() {
    return "usage: ravelin-cli [--broadcast | --range A.B.C.D-E.F.G.H] [--wait S] "
           "[--select all|MAC[,MAC...]|STATUS] [--test] [--upgrade [--bootloader]] "
           "[--secondaries] [--verify [--verify-after S]] [--format table|csv|json] "
           "[--check-package [--bootloader]] [settings...]; --help lists everything";
}

const char* HelpText() {
    return R"(ravelin-cli: search, test, upgrade and verify units from a terminal or a script.

Runs, in this order, what the flags ask for:
  --broadcast              search by one broadcast to the whole subnet
  --range A.B.C.D-E.F.G.H  search every address of a range (at most 500 above the start;
                           a single address searches that one unit)
  --wait SECONDS           how long to collect replies after a search (3)
  --select all|MAC[,MAC...]|STATUS
                           the units the passes work on: all, the given MAC addresses,
                           or every unit in a status (present, untested, ...)
  --test                   the test pass: groups, group information, a session to each
  --upgrade                the upgrade pass (runs the test pass first when --test is
                           not given: only tested units are upgraded)
  --bootloader             upgrade the bootloader instead of the firmware (also with
                           --secondaries), and check the bootloader package too
  --secondaries            read the secondaries behind the tested primaries and upgrade
                           them (runs the test pass first when --test is not given)
  --verify                 after --verify-after SECONDS (30) seconds, search again and
                           compare each upgraded unit with what it reported before
  --check-package          test the configured package without touching any unit
  --format table|csv|json  how the device list is printed on standard output (table)
  --timings                the wall time of each step, on standard error

Settings (read from the settings database, overridden for this run only, never saved):
  --config FILE            the settings database (Ravelin.cfg next to the program)
  --station-ip A.B.C.D  --station-mac XX:XX:XX:XX:XX:XX  --station-mask A.B.C.D
  --group NAME  --password TEXT
  --broadcast-port P  --listen-port P  --session-port P
  --method usb|tftp|url  --tftp-server HOST  --file NAME  --bl-file NAME
  --url URL  --bl-url URL  --usb-root DIR  --option less|noteq|force  --max-list N

Exit codes: 0 every selected unit reached the state the run asked for (and the package
passed); 1 some did not (the summary line on standard error counts them); 2 the command
line was refused; 3 the station could not run (settings, sockets, threads, search).
)";
}

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
    ParseResult result;
    CliOptions& o = result.options;
    SettingOverrides& s = o.settings;
    auto fail = [&](const std::string& error) {
        result.ok = false;
        result.error = error;
        return result;
    };
    // Flags that take a value, and how each is read.
    enum class Kind { Switch, Value };
    const std::map<std::string, Kind> flags = {
        {"--help", Kind::Switch},          {"-h", Kind::Switch},
        {"--broadcast", Kind::Switch},     {"--range", Kind::Value},
        {"--wait", Kind::Value},           {"--select", Kind::Value},
        {"--test", Kind::Switch},          {"--upgrade", Kind::Switch},
        {"--bootloader", Kind::Switch},    {"--secondaries", Kind::Switch},
        {"--verify", Kind::Switch},        {"--verify-after", Kind::Value},
        {"--check-package", Kind::Switch}, {"--format", Kind::Value},
        {"--config", Kind::Value},         {"--station-ip", Kind::Value},
        {"--station-mac", Kind::Value},    {"--station-mask", Kind::Value},
        {"--group", Kind::Value},          {"--password", Kind::Value},
        {"--broadcast-port", Kind::Value}, {"--listen-port", Kind::Value},
        {"--session-port", Kind::Value},   {"--method", Kind::Value},
        {"--tftp-server", Kind::Value},    {"--file", Kind::Value},
        {"--bl-file", Kind::Value},        {"--url", Kind::Value},
        {"--bl-url", Kind::Value},         {"--usb-root", Kind::Value},
        {"--option", Kind::Value},         {"--max-list", Kind::Value},
        {"--timings", Kind::Switch},
    };
    std::map<std::string, int> seen;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        const auto flag = flags.find(name);
        if (flag == flags.end()) {
            return fail("unknown option '" + arguments[i] + "'");
        }
        if (++seen[name] > 1) {
            return fail(name + " given twice");
        }
        if (flag->second == Kind::Switch) {
            if (hasValue) {
                return fail(name + " takes no value");
            }
        } else if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                return fail(name + " needs a value");
            }
            value = arguments[++i];
        }
        long n = 0;
        std::u16string text;
        std::array<uint8_t, 4> ip{};
        std::array<uint8_t, 6> mac{};
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--broadcast") {
            o.broadcast = true;
        } else if (name == "--range") {
            const size_t dash = value.find('-');
            const std::string start = value.substr(0, dash);
            const std::string end = dash == std::string::npos ? "" : value.substr(dash + 1);
            if (!ParseStrictIp(start, ip) ||
                (dash != std::string::npos && !ParseStrictIp(end, ip))) {
                return fail("bad address range '" + value +
                            "' (expected A.B.C.D or A.B.C.D-E.F.G.H)");
            }
            o.range = true;
            o.rangeStart = platform::Utf8ToUtf16(start);
            o.rangeEnd = platform::Utf8ToUtf16(end);
        } else if (name == "--wait") {
            if (!ParseSeconds(value, o.waitSeconds)) {
                return fail("bad --wait '" + value + "' (seconds, 0 to 86400)");
            }
        } else if (name == "--verify-after") {
            if (!ParseSeconds(value, o.verifyAfterSeconds)) {
                return fail("bad --verify-after '" + value + "' (seconds, 0 to 86400)");
            }
        } else if (name == "--select") {
            uint8_t status = 0;
            if (value == "all") {
                o.select = SelectKind::All;
            } else if (ParseStatus(value, status)) {
                o.select = SelectKind::Status;
                o.selectStatus = status;
            } else {
                for (const std::string& part : Split(value, ',')) {
                    if (!ParseStrictMac(part, mac)) {
                        return fail("bad --select '" + value +
                                    "' (all, MAC addresses XX:XX:XX:XX:XX:XX separated by "
                                    "commas, or a status such as present or untested)");
                    }
                    o.selectMacs.push_back(mac);
                }
                o.select = SelectKind::Macs;
            }
        } else if (name == "--test") {
            o.test = true;
        } else if (name == "--upgrade") {
            o.upgrade = true;
        } else if (name == "--bootloader") {
            o.bootloader = true;
        } else if (name == "--secondaries") {
            o.secondaries = true;
        } else if (name == "--verify") {
            o.verify = true;
        } else if (name == "--timings") {
            o.timings = true;
        } else if (name == "--check-package") {
            o.checkPackage = true;
        } else if (name == "--format") {
            if (value == "table") {
                o.format = OutputFormat::Table;
            } else if (value == "csv") {
                o.format = OutputFormat::Csv;
            } else if (value == "json") {
                o.format = OutputFormat::Json;
            } else {
                return fail("bad --format '" + value + "' (table, csv or json)");
            }
        } else if (name == "--config") {
            if (value.size() < 5 || value.compare(value.size() - 4, 4, ".cfg") != 0) {
                return fail("--config must name a settings file ending in .cfg");
            }
            o.configPath = value;
        } else if (name == "--station-ip" || name == "--station-mask") {
            if (!ParseStrictIp(value, ip)) {
                return fail("bad address for " + name + " '" + value + "' (expected A.B.C.D)");
            }
            (name == "--station-ip" ? s.stationIp : s.stationMask) = ip;
        } else if (name == "--station-mac") {
            if (!ParseStrictMac(value, mac)) {
                return fail("bad MAC address for --station-mac '" + value +
                            "' (expected XX:XX:XX:XX:XX:XX)");
            }
            s.stationMac = mac;
        } else if (name == "--group" || name == "--password") {
            if (!ParseText(value, 31, text)) {
                return fail("bad " + name + " (printable text of at most 31 characters)");
            }
            (name == "--group" ? s.group : s.password) = text;
        } else if (name == "--broadcast-port" || name == "--listen-port" ||
                   name == "--session-port") {
            if (!ParseNumber(value, 1, 65535, n)) {
                return fail("bad port for " + name + " '" + value + "' (1 to 65535)");
            }
            (name == "--broadcast-port" ? s.broadcastPort
             : name == "--listen-port"  ? s.listenPort
                                        : s.sessionPort) = static_cast<uint16_t>(n);
        } else if (name == "--method") {
            if (value == "usb" || value == "tftp" || value == "url") {
                s.method = value == "usb" ? 0 : value == "tftp" ? 1 : 2;
            } else {
                return fail("bad --method '" + value + "' (usb, tftp or url)");
            }
        } else if (name == "--option") {
            if (value == "less" || value == "noteq" || value == "force") {
                s.option = value == "less" ? 0 : value == "noteq" ? 1 : 2;
            } else {
                return fail("bad --option '" + value + "' (less, noteq or force)");
            }
        } else if (name == "--tftp-server" || name == "--file" || name == "--bl-file") {
            if (!ParseText(value, 127, text)) {
                return fail("bad " + name + " (printable text of at most 127 characters)");
            }
            (name == "--tftp-server" ? s.tftpServer : name == "--file" ? s.file : s.blFile) = text;
        } else if (name == "--url" || name == "--bl-url") {
            if (!ParseText(value, 255, text)) {
                return fail("bad " + name + " (printable text of at most 255 characters)");
            }
            (name == "--url" ? s.url : s.blUrl) = text;
        } else if (name == "--usb-root") {
            if (!ParseText(value, 259, text) || text.empty()) {
                return fail("bad --usb-root (a folder standing for the drive's root)");
            }
            if (text.back() != u'/') {
                text.push_back(u'/');
            }
            o.usbRoot = text;
        } else if (name == "--max-list") {
            if (!ParseNumber(value, 1, 500, n)) {
                return fail("bad --max-list '" + value + "' (1 to 500)");
            }
            s.maxList = static_cast<uint16_t>(n);
        }
    }
    if (o.help) {
        result.ok = true;
        return result;
    }
    if (o.broadcast && o.range) {
        return fail("--broadcast and --range exclude each other");
    }
    if ((o.upgrade || o.secondaries) && !o.test) {
        o.test = true; // only tested units are upgraded, or have their secondaries read
    }
    if (o.verify && !o.upgrade) {
        return fail("--verify needs --upgrade");
    }
    if (o.RunsPasses() && !o.Searches()) {
        return fail("--test, --upgrade and --secondaries need a search (--broadcast or --range)");
    }
    if (o.RunsPasses() && o.select == SelectKind::None) {
        return fail("--test, --upgrade and --secondaries need --select");
    }
    if (o.select != SelectKind::None && !o.Searches()) {
        return fail("--select needs a search (--broadcast or --range)");
    }
    if (o.bootloader && !o.upgrade && !o.secondaries && !o.checkPackage) {
        return fail("--bootloader goes with --upgrade, --secondaries or --check-package");
    }
    if (!o.Searches() && !o.checkPackage) {
        return fail("nothing to do: give --broadcast, --range or --check-package");
    }
    result.ok = true;
    return result;
}

} // namespace cli
