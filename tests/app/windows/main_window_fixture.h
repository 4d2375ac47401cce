// A main window over a settings file of the test's own, with a usable station identity
// (127.0.0.1) and ports of this process, driven on the offscreen platform; message boxes
// are answered by a script.
#pragma once

#include "app/device_table.h"
#include "app/windows/ravelin_dlg.h"
#include "config/config_items.h"
#include "platform/qt/control_id.h"
#include "platform/qt/message_box.h"
#include "platform/window_message.h"
#include "tests/config/temp_program_dir.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

class MainWindowTest : public TempProgramDir {
  protected:
    void SetUp() override {
        TempProgramDir::SetUp();
        base_ = static_cast<uint16_t>(40000 + (::getpid() % 4000) * 4);
        SetConfigDefaults();
        ConfigValues& config = TheConfig();
        const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
        const uint8_t ip[4] = {127, 0, 0, 1};
        const uint8_t mask[4] = {255, 0, 0, 0};
        std::memcpy(config.mgrmacaddr, mac, 6);
        std::memcpy(config.mgripaddr, ip, 4);
        std::memcpy(config.mgrsubnetmask, mask, 4);
        config.devsconnlport = BroadcastPort();
        config.mgrconnlport = ListenPort();
        config.devsbroadlport = SessionPort();
        std::fill(std::begin(config.groupname), std::end(config.groupname), u'\0');
        std::fill(std::begin(config.groupkey), std::end(config.groupkey), u'\0');
        std::u16string(u"Station").copy(config.groupname, 7);
        std::u16string(u"stationpw").copy(config.groupkey, 9);
        for (ConfigKind kind :
             {kCfgGroupName, kCfgGroupKey, kCfgDevsConnLPort, kCfgMgrConnLPort, kCfgDevsBroadLPort,
              kCfgMgrMacAddr, kCfgMgrIpAddr, kCfgMgrSubnetMask}) {
            ASSERT_NE(SaveConfigItem(kind), 0);
        }
    }

    uint16_t BroadcastPort() const { return base_; }
    uint16_t ListenPort() const { return static_cast<uint16_t>(base_ + 1); }
    uint16_t SessionPort() const { return static_cast<uint16_t>(base_ + 2); }

    // A window after its opening, on the screen, in range mode when `range`.
    std::unique_ptr<CRavelinDlg> Open(bool extended = false, bool range = true) {
        auto window = std::make_unique<CRavelinDlg>(extended);
        window->OnInitDialog();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // Every request of a pass then goes to a unit's own (loopback) address.
        if (range) {
            QTest::mouseClick(Control<QCheckBox>(*window, kBroadcastBox), Qt::LeftButton);
        }
        return window;
    }

    template <typename T> static T* Control(const CRavelinDlg& window, int id) {
        return platform::Control<T>(&window, id);
    }
    static QTreeWidget* List(const CRavelinDlg& window) {
        return Control<QTreeWidget>(window, kDeviceListId);
    }

    // Posts a discovery record as the listener does and waits for its row.
    static void PostUnit(CRavelinDlg& window, int k, const uint8_t ip[4]) {
        auto entry = std::make_unique<DeviceEntry>();
        const uint8_t mac[6] = {0x02, 0x52, 0x56, 0x00, 0x00, static_cast<uint8_t>(k + 1)};
        std::memcpy(entry->macAddress, mac, 6);
        std::memcpy(entry->ipAddress, ip, 4);
        std::u16string(u"PDU").copy(entry->model, 3);
        const int before = List(window)->topLevelItemCount();
        platform::Message message;
        message.id = platform::WM_DEVICE_NOTIFY;
        message.wParam = 0;
        message.record = platform::Payload::Of(std::move(entry));
        ASSERT_TRUE(platform::PostWindowMessage(window.handle(), std::move(message)));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return List(window)->topLevelItemCount() == before + 1; }, 5000));
    }

    static void Click(const CRavelinDlg& window, int id) {
        QTest::mouseClick(Control<QPushButton>(window, id), Qt::LeftButton);
    }

    static QString StatusOfRow(const CRavelinDlg& window, int row) {
        return List(window)->topLevelItem(row)->text(0);
    }

    platform::ScriptedMessageBoxes boxes;
    uint16_t base_ = 0;
};
