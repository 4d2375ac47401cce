// ravelin-cli: the headless station.
#include "tools/ravelin-cli/cli_run.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    return cli::RunCli(std::vector<std::string>(argv + 1, argv + argc));
}
