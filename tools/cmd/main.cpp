// ravelin-cmd SCRIPT: runs one generated script (see interpreter.h).
#include "tools/cmd/interpreter.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ravelin-cmd SCRIPT\n");
        return 2;
    }
    return cmdlang::RunScriptFile(argv[1]);
}
