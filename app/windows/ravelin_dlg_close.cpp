// Closing the main window: every way it closes stops the worker threads first.
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "platform/named_event.h"
#include "platform/socket.h"
#include "protocol/dbg_log.h"

#include <QCloseEvent>
#include <chrono>
#include <thread>

namespace {
constexpr int kShutdownPolls = 2000;
} // namespace

void CRavelinDlg::ShutdownWorkers() {
    ThreadContext& context = *context_;
    context.listenerFlags.fetch_or(kListenerQuit);
    JobFlagSet(context, kJobQuit);
    // A running pass looks at the quit bit only once it has ended; the abort bit ends it
    // after the unit in hand, so the upgrader can still leave within the wait.
    if (testRunning_ || upgradeRunning_) {
        JobFlagSet(context, kJobAbort);
    }
    if (context.listenEvent) {
        platform::SetEvent(context.listenEvent);
    }
    if (platform::EventHandle updater = UpdaterEvent()) {
        platform::SetEvent(updater);
    }
    bool ended = false;
    for (int i = 0; i < kShutdownPolls && !ended; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ended = context.listenerThreadId.load() == 0 && context.upgraderThreadId.load() == 0;
    }
    TheDbgLog().Print(1, ended ? u"All child threads have exited gracefully\n"
                               : u"Some child threads have not exited gracefully\n");
    workers_.Collect(context);
    if (context.listenEvent) {
        platform::ResetEvent(context.listenEvent);
        platform::CloseEvent(context.listenEvent);
        context.listenEvent = nullptr;
    }
    platform::SocketsCleanup();
}

void CRavelinDlg::ShutdownOnce() {
    if (opened_ && !shutDown_) {
        shutDown_ = true;
        ShutdownWorkers();
    }
}

void CRavelinDlg::OnExit() {
    ShutdownOnce();
    done(QDialog::Accepted);
}

void CRavelinDlg::closeEvent(QCloseEvent* event) {
    ShutdownOnce();
    CDraggableDialog::closeEvent(event);
}

void CRavelinDlg::reject() {
    ShutdownOnce();
    CDraggableDialog::reject();
}
