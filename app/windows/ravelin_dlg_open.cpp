// The main window's opening sequence, in its fixed order.
#include "app/device_table.h"
#include "app/station_identity.h"
#include "app/windows/interface_choice.h"
#include "app/windows/ravelin_dlg.h"
#include "app/windows/station_workers.h"
#include "config/config_items.h"
#include "platform/named_event.h"
#include "platform/qt/message_box.h"
#include "platform/socket.h"
#include "upgrade/upgrader_thread.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstring>

namespace {

constexpr char16_t kListenEventName[] = u"RavelinBroadListenEvent";

// The group name and key are items of 63 characters; the context's fields hold 31 and a
// zero, so a long value is cut there rather than run past the field.
template <size_t N, size_t M> void CopyName(char16_t (&to)[N], const char16_t (&from)[M]) {
    size_t n = 0;
    while (n < N - 1 && n < M && from[n] != 0) {
        to[n] = from[n];
        ++n;
    }
    std::fill(to + n, to + N, u'\0');
}

void Fatal(QWidget* parent, const char* text, const char* caption) {
    platform::MessageBox(parent, QString::fromLatin1(text), QString::fromLatin1(caption));
}

} // namespace

int CRavelinDlg::DoModal() {
    OnInitDialog();
    return exec();
}

void CRavelinDlg::OnInitDialog() {
    opened_ = true;
    // 1. The two window-menu items; the icons were set at construction.
    menu_.AppendItem(kAboutCommand, QStringLiteral("&About Korvana Firmware Upgrader..."));
    menu_.AppendItem(kConfigureCommand, QStringLiteral("Configure"));

    // 2. The table.
    workers_.table().Write([](DeviceTable& table) {
        EmptyTableForSearch(table);
        return 0;
    });

    // 3. Configuration: defaults, then whatever the store holds.
    SetConfigDefaults();
    LoadAllConfigItems();

    // 4. The station's network identity.
    EnsureStationIdentity(ModalInterfaceSelection(this));

    // 5. Broadcast ticked, both address fields empty, the range controls hidden.
    broadcastBox_->setChecked(true);
    startEdit_->clear();
    endEdit_->clear();
    OnBroadcast();

    // 6. This window receives the device notifications.
    platform::SetNotifyWindow(notify_.handle());

    // 7. Columns, and the three selection commands start disabled.
    view_.SetUpColumns();
    rule_.Apply();

    // 8. The station into the context.
    CopyConfigurationToContext();
    const ConfigValues& config = TheConfig();
    VersionReferences references{};
    std::memcpy(references.application, config.upgmcmversion, 4);
    std::memcpy(&references.kernel, config.upgkernversion, 3);
    std::memcpy(&references.filesys, config.upgfsysversion, 3);
    std::memcpy(&references.patch, config.upgpatchversion, 3);
    view_.SetVersionReferences(references);

    // 9. Both filter groups at Show All.
    filters_.StatusShowAll();
    filters_.VersionsShowAll();

    // 10. Captions of the two pass buttons.
    testRunning_ = false;
    upgradeRunning_ = false;
    testButton_->setText(QStringLiteral("Test Connection"));
    upgradeButton_->setText(QStringLiteral("Upgrade"));

    // 11. Progress bar.
    progress_->setRange(0, 100);
    progress_->setValue(0);

    // 12 to 16.
    StartEventsAndThreads();
}

void CRavelinDlg::CopyConfigurationToContext() {
    const ConfigValues& config = TheConfig();
    ThreadContext& context = *context_;
    context.broadcastPort = config.devsconnlport;
    context.unitSessionPort = config.devsbroadlport;
    context.listenPort = config.mgrconnlport;
    context.managerPort = config.mgrbroadlport;
    std::memcpy(context.stationIp, config.mgripaddr, 4);
    std::memcpy(context.stationMac, config.mgrmacaddr, 6);
    std::memcpy(context.stationMask, config.mgrsubnetmask, 4);
    CopyName(context.groupName, config.groupname);
    CopyName(context.groupKey, config.groupkey);
    context.cipherMode = 1;
}

void CRavelinDlg::StartEventsAndThreads() {
    ThreadContext& context = *context_;
    CopyName(context.listenEventName, kListenEventName);
    context.listenEvent = platform::CreateNamedEvent(kListenEventName, true, false);
    if (!context.listenEvent) {
        Fatal(this, "Fatal error in creating broadlisten event", "RavelinDlg");
    }
    // The updater event is process-wide and stays open to the end (closing leaves it).
    if (!UpdaterEvent()) {
        SetUpdaterEvent(platform::CreateNamedEvent(kUpdaterEventName, false, false));
    }
    if (!UpdaterEvent()) {
        Fatal(this, "Fatal error in creating upgrader event", "RavelinDlg");
    }
    if (platform::SocketsStartup(2, 2) != 0) {
        Fatal(this, "Fatal error in WSAStartup", "RavelinDlg");
        return;
    }
    if (!workers_.StartListener(context)) {
        Fatal(this, "Unable to start connect thread for Broadcast", "CRavelinDlg");
        return;
    }
    if (!workers_.StartUpgrader(context)) {
        Fatal(this, "Unable to start Upgrader thread", "CRavelinDlg");
    }
}
