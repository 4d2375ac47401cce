// Runs a generated batch file through the command interpreter as a hidden child process
// and waits for it to end, without a time limit. One implementation file per platform
// (batch_runner_linux.cpp here).
//
// The interpreter is "ravelin-cmd", found in this order: the path in the environment
// variable TESSALY_COMMAND_INTERPRETER (tests use it); next to the loaded library; next
// to the running program.
#pragma once

#include <string>

namespace tessaly {

inline constexpr char kInterpreterVariable[] = "TESSALY_COMMAND_INTERPRETER";

// False when the interpreter could not be started. Its exit status is not examined.
bool RunBatchFile(const std::string& batchPath);

// The interpreter that RunBatchFile would start; empty when none is found.
std::string CommandInterpreterPath();

} // namespace tessaly
