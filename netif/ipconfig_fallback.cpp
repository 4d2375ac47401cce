#include "netif/ipconfig_fallback.h"

#include "platform/program_paths.h"
#include "platform/utf8.h"
#include "platform/windows_version.h"

#include <cstdio>
#include <fstream>

namespace {

std::string Join(const std::string& directory, const char* name) {
    return directory + static_cast<char>(platform::kPathSeparator) + name;
}

bool InterfaceLibraryAvailable(const platform::WindowsVersion& v) {
    return v.platformId == platform::kPlatformNt && (v.major > 5 || (v.major == 5 && v.minor >= 1));
}

} // namespace

std::string IpconfigScriptLine(const std::string& programDirectory) {
    return "@ipconfig /all > " + Join(programDirectory, "tmpNet.txt");
}

void CollectFromIpconfig(InterfaceList& list, const std::string& programDirectory,
                         const ScriptRunner& run) {
    list.count = 0;
    const std::string script = Join(programDirectory, "tmpNet.bat");
    {
        std::ofstream file(script, std::ios::binary | std::ios::trunc);
        file << IpconfigScriptLine(programDirectory);
        if (!file.flush()) {
            return;
        }
    }
    const bool ran = run && run(script);
    if (std::remove(script.c_str()) != 0 || !ran) {
        return;
    }
    const std::string output = Join(programDirectory, "tmpNet.txt");
    if (ParseIpconfigFile(output, list)) {
        std::remove(output.c_str());
    }
}

void CollectInterfaceEntries(InterfaceList& list, const ScriptRunner& run) {
    if (InterfaceLibraryAvailable(platform::CurrentWindowsVersion())) {
        CollectFromTessaly(list, RealTessalyCalls());
        return;
    }
    std::string directory;
    if (!platform::Utf16ToUtf8(platform::ProgramDirectory(), &directory)) {
        list.count = 0;
        return;
    }
    CollectFromIpconfig(list, directory, run);
}
