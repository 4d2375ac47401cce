// unit-sim: a fleet of simulated units as a real network peer of the station.
#include "tools/unit-sim/json_log.h"
#include "tools/unit-sim/options.h"
#include "tools/unit-sim/simulator.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    unitsim::Options options;
    std::string error;
    switch (unitsim::ParseOptions(argc, argv, options, error)) {
    case unitsim::ParseOutcome::Help:
        std::fputs(unitsim::UsageText(), stdout);
        return 0;
    case unitsim::ParseOutcome::Error:
        std::fprintf(stderr, "unit-sim: %s (see --help)\n", error.c_str());
        return 2;
    case unitsim::ParseOutcome::Run:
        break;
    }
    unitsim::JsonLog log;
    if (!log.Open(options.logPath)) {
        std::fprintf(stderr, "unit-sim: cannot open log %s\n", options.logPath.c_str());
        return 1;
    }
    unitsim::Simulator simulator(options, log);
    if (!simulator.Start(error)) {
        std::fprintf(stderr, "unit-sim: %s\n", error.c_str());
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return simulator.Run();
}
