// The library as a loader sees it: exactly its nine exports, under their plain C names.
#include <array>
#include <cstdio>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <string>

namespace {

// Names of the symbols the library itself defines in its dynamic symbol table. Those a
// sanitizer build adds for its own runtime are left out.
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    FILE* pipe = popen(("nm -D --defined-only '" + library + "'").c_str(), "r");
    if (!pipe) {
        return names;
    }
    std::array<char, 512> line{};
    while (fgets(line.data(), line.size(), pipe)) {
        std::istringstream fields(line.data());
        std::string address, type, name;
        if (fields >> address >> type >> name && name.rfind("__asan", 0) != 0 &&
            name.rfind("__ubsan", 0) != 0 && name.rfind("__tsan", 0) != 0 &&
            name.rfind("__sanitizer", 0) != 0) {
            names.insert(name);
        }
    }
    pclose(pipe);
    return names;
}

TEST(TessalyExports, OnlyThePlainCNamesAreVisible) {
    const std::set<std::string> exports = {"TessalyAdd",     "TessalyClose",   "TessalyExecute",
                                           "TessalyGetNICs", "TessalyInit",    "TessalyOpen",
                                           "TessalyQuit",    "TessalyRefresh", "TessalyStatus"};
    EXPECT_EQ(DefinedDynamicSymbols(TESSALY_LIBRARY_PATH), exports);

    void* library = dlopen(TESSALY_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const std::string& name : exports) {
        EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
    }
    dlclose(library);
}

} // namespace
