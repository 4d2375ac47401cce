#include "app/windows/main_window_runner.h"

#include "app/windows/ravelin_app.h"
#include "app/windows/ravelin_dlg.h"
#include "platform/qt/message_box.h"
#include "platform/socket.h"

void RunMainWindow(CRavelinApp& app) {
    if (platform::SocketsStartup(1, 1) != 0) {
        platform::MessageBox(nullptr, QStringLiteral("Windows sockets initialization failed."),
                             QString());
        return;
    }
    {
        CRavelinDlg window(app.extendedMode());
        app.instanceChecker().SetMainWindow(&window);
        window.DoModal();
        app.instanceChecker().SetMainWindow(nullptr);
    }
    platform::SocketsCleanup();
}
