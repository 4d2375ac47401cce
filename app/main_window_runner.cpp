#include "app/main_window_runner.h"

#include "app/windows/ravelin_app.h"
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "config/config_items.h"
#include "config/windows/configure_command.h"
#include "platform/qt/message_box.h"
#include "platform/socket.h"
#include "secondary/windows/secondaries_command.h"

void RunMainWindow(CRavelinApp& app) {
    if (platform::SocketsStartup(1, 1) != 0) {
        platform::MessageBox(nullptr, QStringLiteral("Windows sockets initialization failed."),
                             QString());
        return;
    }
    {
        CRavelinDlg window(app.extendedMode());
        ConfigureEnvironment environment;
        environment.extendedMode = app.extendedMode();
        environment.programDirectory = app.programDirectory();
        environment.temporaryDirectory = app.temporaryDirectory();
        window.SetConfigureRunner(
            [environment](QWidget* parent) { return RunConfigureCommand(parent, environment); });
        window.SetSecondariesRunner([&window, &app](QWidget* parent, DeviceListView& list) {
            SecondariesLinks links;
            links.table = &StationWorkers::Instance().table();
            links.context = &TheThreadContext();
            links.extendedMode = app.extendedMode();
            links.mainWindow = window.handle();
            links.beforeUpgrade = [] {
                StationWorkers::Instance().settings().Set(PassSettingsFromConfig(TheConfig()));
            };
            RunSecondariesCommand(parent, list, links);
        });
        app.instanceChecker().SetMainWindow(&window);
        window.DoModal();
        app.instanceChecker().SetMainWindow(nullptr);
    }
    platform::SocketsCleanup();
}
