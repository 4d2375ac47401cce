// The command interpreter that runs the program's generated .cmd and .bat scripts: the
// small subset of the Windows command language those scripts use. A line it cannot
// parse ends the script with a message on standard error; nothing of that line runs.
#pragma once

#include "platform/hidden_process.h"

#include <string>

namespace cmdlang {

inline constexpr int kParseErrorExit = platform::kInterpreterAbandonedExit;
inline constexpr int kUnknownCommandLevel = 9009;

// Runs the script file; the result is the error level when the script ended (the
// interpreter's exit code), kParseErrorExit after a line that could not be parsed.
int RunScriptFile(const std::string& path);

} // namespace cmdlang
