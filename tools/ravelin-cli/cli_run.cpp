#include "tools/ravelin-cli/cli_run.h"

#include "app/search_range.h"
#include "platform/program_paths.h"
#include "request/thread_context.h"
#include "tools/ravelin-cli/cli_options.h"
#include "tools/ravelin-cli/cli_output.h"
#include "tools/ravelin-cli/cli_package.h"
#include "tools/ravelin-cli/cli_progress.h"
#include "tools/ravelin-cli/cli_selection.h"
#include "tools/ravelin-cli/cli_settings.h"
#include "tools/ravelin-cli/cli_station.h"
#include "tools/ravelin-cli/cli_summary.h"
#include "tools/ravelin-cli/cli_verify.h"
#include "upgrade/pass_settings.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

int Refuse(const std::string& error) {
    std::fprintf(stderr, "ravelin-cli: %s\n%s\n", error.c_str(), UsageLine());
    return kExitUsage;
}

// Wall time of the run's steps, printed with --timings.
class StepTimer {
  public:
    explicit StepTimer(bool on) : on_(on) {}
    void Start() { start_ = std::chrono::steady_clock::now(); }
    void Stop(const char* step) {
        if (on_) {
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start_;
            std::fprintf(stderr, "timing: %s %.3f s\n", step, took.count());
        }
    }

  private:
    bool on_;
    std::chrono::steady_clock::time_point start_;
};

// Collects replies until every address of the range has answered (or the table is full),
// or the wait is over. A broadcast waits the whole time.
void CollectReplies(Station& station, const CliOptions& o, const SearchRangeCheck& range,
                    int maxList) {
    const int expected = o.range ? static_cast<int>(std::min<uint32_t>(
                                       range.end - range.start + 1, static_cast<uint32_t>(maxList)))
                                 : -1;
    station.Collect(o.waitSeconds, [&](const DeviceTable& table) {
        return g_interrupted.load() || (expected > 0 && table.count >= expected) ||
               table.count >= maxList;
    });
}

void RunPass(Station& station, ProgressReporter& progress, uint8_t bit, const char* stage,
             StepTimer& timer) {
    if (g_interrupted.load()) {
        return;
    }
    timer.Start();
    progress.Begin(stage);
    station.RunJob(
        bit, [&](int percent) { progress.Percent(percent); }, &g_interrupted);
    progress.End();
    timer.Stop(stage);
}

} // namespace

int RunCli(const std::vector<std::string>& arguments) {
    const ParseResult parsed = ParseCommandLine(arguments);
    if (!parsed.ok) {
        return Refuse(parsed.error);
    }
    const CliOptions& o = parsed.options;
    if (o.help) {
        std::fputs(HelpText(), stdout);
        return kExitDone;
    }
    SearchRangeCheck range;
    if (o.range) {
        range = CheckSearchRange(o.rangeStart, o.rangeEnd);
        if (!range.accepted) {
            return Refuse((range.caption.empty() ? "" : Utf8(range.caption) + ": ") +
                          Utf8(range.message));
        }
    }

    // The outside programs lie next to this program, whatever settings file is read.
    const std::u16string programDirectory = platform::ProgramDirectory();
    std::string error;
    const bool stationUsable = LoadRunSettings(o.configPath, programDirectory, o.settings, error);
    if (!stationUsable && o.Searches()) {
        std::fprintf(stderr, "ravelin-cli: %s\n", error.c_str());
        return kExitStation;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    ProgressReporter progress(stderr, isatty(STDERR_FILENO) != 0);
    StepTimer timer(o.timings);

    if (o.checkPackage) {
        timer.Start();
        const bool passed = CheckPackages(o.bootloader, programDirectory, o.usbRoot, std::cout);
        std::cout.flush();
        timer.Stop("check-package");
        if (!passed || !o.Searches()) {
            std::fprintf(stderr, "%s\n", passed ? "package passed" : "package failed");
            return passed ? kExitDone : kExitUnitsFailed;
        }
    }

    ThreadContext& context = TheThreadContext();
    ResetThreadContext(context);
    FillThreadContext(context, o.range);
    const int maxList = MaxListSize();
    Station station;
    if (!station.Start(maxList, error)) {
        std::fprintf(stderr, "ravelin-cli: %s\n", error.c_str());
        return kExitStation;
    }

    timer.Start();
    if (!station.Search(o.range ? &o.rangeStart : nullptr, o.range ? &o.rangeEnd : nullptr)) {
        std::fprintf(stderr, "ravelin-cli: Failed BroadcastQryDiscover\n");
        return kExitStation;
    }
    CollectReplies(station, o, range, maxList);
    timer.Stop("search");
    progress.Note("search: " + std::to_string(station.Table().count) + " units");

    std::vector<std::string> missing;
    const std::vector<int> selected =
        station.Write([&](DeviceTable& table) { return MarkSelection(table, o, &missing); });
    for (const std::string& mac : missing) {
        std::fprintf(stderr, "ravelin-cli: %s did not answer the search\n", mac.c_str());
    }

    const PassSettings settings = CurrentPassSettings();
    station.Settings().Set(settings);
    if (o.test) {
        RunPass(station, progress, kJobTestPass, "test pass", timer);
    }
    if (o.upgrade) {
        context.bootloaderFlag.store(o.bootloader ? 1 : 0);
        RunPass(station, progress, kJobUpgradePass, "upgrade pass", timer);
    }
    std::string refusal;
    if (o.secondaries && !g_interrupted.load()) {
        const std::vector<int> primaries =
            station.Write([](DeviceTable& table) { return ListPrimaries(table); });
        if (!primaries.empty()) {
            RunPass(station, progress, kJobSecondariesRefresh, "secondaries", timer);
            refusal = station.Write(
                [&](DeviceTable& table) { return QueueSecondaries(table, o.bootloader); });
            if (!refusal.empty()) {
                std::fprintf(stderr, "ravelin-cli: %s\n", refusal.c_str());
            } else {
                context.bootloaderFlag.store(o.bootloader ? 1 : 0);
                RunPass(station, progress, kJobSecondariesUpgrade, "secondaries upgrade", timer);
            }
        } else {
            progress.Note("secondaries: no primary qualifies");
        }
    }

    // What the list shows: the table as the run left it.
    const DeviceTable& table = station.Table();
    std::vector<DeviceEntry> listed(table.slots, table.slots + table.count);
    std::vector<Verification> verification(listed.size(), Verification::NotAsked);
    if (o.verify && !g_interrupted.load()) {
        std::vector<int> upgraded;
        for (int slot : selected) {
            if (listed[static_cast<size_t>(slot)].status == kStatusUpgraded) {
                upgraded.push_back(slot);
            }
        }
        if (!upgraded.empty()) {
            StepTimer verifyTimer(o.timings);
            verifyTimer.Start();
            char wait[64];
            std::snprintf(wait, sizeof wait, "verify: waiting %g s for the units to install",
                          o.verifyAfterSeconds);
            progress.Note(wait);
            station.Collect(o.verifyAfterSeconds,
                            [](const DeviceTable&) { return g_interrupted.load(); });
            if (!station.Search(o.range ? &o.rangeStart : nullptr,
                                o.range ? &o.rangeEnd : nullptr)) {
                std::fprintf(stderr, "ravelin-cli: Failed BroadcastQryDiscover\n");
                return kExitStation;
            }
            station.Collect(o.waitSeconds, [&](const DeviceTable& now) {
                if (g_interrupted.load()) {
                    return true;
                }
                for (int slot : upgraded) {
                    if (FindEntryByMac(now, listed[static_cast<size_t>(slot)].macAddress) ==
                        kNoSlot) {
                        return false;
                    }
                }
                return true;
            });
            // The installed package is read again by a test pass over those units.
            station.Write([&](DeviceTable& now) {
                for (int slot = 0; slot < now.count; ++slot) {
                    now.slots[slot].selection = kShown;
                }
                for (int slot : upgraded) {
                    const int at =
                        FindEntryByMac(now, listed[static_cast<size_t>(slot)].macAddress);
                    if (at != kNoSlot) {
                        now.slots[at].selection = kShownSelected;
                    }
                }
                return 0;
            });
            RunPass(station, progress, kJobTestPass, "verify test", timer);
            for (int slot : upgraded) {
                DeviceEntry& before = listed[static_cast<size_t>(slot)];
                const int at = FindEntryByMac(station.Table(), before.macAddress);
                const DeviceEntry* now = at == kNoSlot ? nullptr : &station.Table().slots[at];
                verification[static_cast<size_t>(slot)] =
                    UnitChanged(before, now) ? Verification::Verified : Verification::NotVerified;
                if (now) {
                    // The list shows what the unit runs now, with the status the run gave it.
                    DeviceEntry shown = *now;
                    if (now->status != kStatusTested) {
                        std::memcpy(shown.packFilename, before.packFilename,
                                    sizeof shown.packFilename);
                        std::memcpy(shown.blPackFilename, before.blPackFilename,
                                    sizeof shown.blPackFilename);
                        shown.packKernelVersion = before.packKernelVersion;
                        shown.packFilesysVersion = before.packFilesysVersion;
                        shown.packPatchVersion = before.packPatchVersion;
                        shown.blPackRev = before.blPackRev;
                        shown.map = before.map;
                    }
                    shown.status = before.status;
                    shown.selection = before.selection;
                    shown.secondaryState = before.secondaryState;
                    before = shown;
                }
            }
            verifyTimer.Stop("verify");
        }
    }

    std::vector<ExtraColumn> extras;
    if (o.verify) {
        ExtraColumn column{"Verification", {}};
        for (Verification v : verification) {
            column.cells.push_back(v == Verification::Verified      ? "Verified"
                                   : v == Verification::NotVerified ? "Not Verified"
                                                                    : "");
        }
        extras.push_back(column);
    }
    if (o.secondaries) {
        ExtraColumn column{"Secondary Status", {}};
        for (const DeviceEntry& e : listed) {
            std::string text;
            if (e.secondaryState != kSecondaryInvalid) {
                for (const char16_t* c = SecondaryStateText(e.secondaryState); *c; ++c) {
                    text.push_back(static_cast<char>(*c));
                }
            }
            column.cells.push_back(text);
        }
        extras.push_back(column);
    }
    PrintDeviceList(std::cout, o.format, listed, extras);
    std::cout.flush();

    std::vector<UnitOutcome> outcomes;
    for (int slot : selected) {
        const DeviceEntry& e = listed[static_cast<size_t>(slot)];
        outcomes.push_back({e.status, e.secondaryState, verification[static_cast<size_t>(slot)]});
    }
    for (size_t i = 0; i < missing.size(); ++i) {
        outcomes.push_back({kStatusInvalid, kSecondaryInvalid, Verification::NotAsked});
    }
    const RunGoal goal{o.test, o.upgrade, o.secondaries, o.verify};
    Verdict verdict = JudgeRun(goal, static_cast<int>(listed.size()), outcomes, refusal);
    if (g_interrupted.load()) {
        verdict.line += ", interrupted";
        verdict.exitCode = kExitUnitsFailed;
    }
    if (o.checkPackage) {
        verdict.line = "package passed, " + verdict.line;
    }
    std::fprintf(stderr, "%s\n", verdict.line.c_str());
    return verdict.exitCode;
}

} // namespace cli
