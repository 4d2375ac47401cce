// Ravelin: the application object runs the main window and returns once it has closed.
#include "app/main_window_runner.h"
#include "app/windows/ravelin_app.h"
#include "app/windows/station_workers.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication framework(argc, argv);
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(QString::fromLocal8Bit(argv[i]).toStdU16String());
    }
    {
        CRavelinApp app;
        app.InitInstance(arguments, RunMainWindow);
    }
    // A worker that did not stop in time may still be inside a pass: end the process
    // without running destructors under it.
    if (StationWorkers::Instance().outlived()) {
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}
