// The interface list of Windows versions before 5.1: a one-line script runs
// "ipconfig /all" into "tmpNet.txt" next to the program, and the parser reads that file.
#pragma once

#include "netif/interface_entries.h"

#include <functional>
#include <string>

// Runs a generated script hidden and waits for its end (polling every 10 ms, about 10 s
// at most); false when it could not be started.
using ScriptRunner = std::function<bool(const std::string& scriptPath)>;

// The single line of tmpNet.bat, without a line break.
std::string IpconfigScriptLine(const std::string& programDirectory);

// Writes and runs tmpNet.bat in `programDirectory`, deletes it, then parses and deletes
// tmpNet.txt. A failure to write, start or delete the script leaves the list empty.
void CollectFromIpconfig(InterfaceList& list, const std::string& programDirectory,
                         const ScriptRunner& run);

// The entries of this platform: TessalyAPI from Windows 5.1 on, the ipconfig output
// before. `run` may be empty (no script can be started).
void CollectInterfaceEntries(InterfaceList& list, const ScriptRunner& run);
