// ravelin_screenshots <folder>: the About box, the interface selection with two sample
// interfaces, the device list with a sample fleet and the Configuration dialog with
// sample settings, each written as a PNG file.
#include "app/device_table.h"
#include "app/windows/about_dlg.h"
#include "app/windows/command_buttons.h"
#include "app/windows/device_list_view.h"
#include "app/windows/filter_boxes.h"
#include "app/windows/ravelin_dlg.h"
#include "config/config_items.h"
#include "config/windows/configure_dlg.h"
#include "netif/windows/select_addr_dlg.h"
#include "platform/program_paths.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool Save(QWidget& window, const QString& folder, const char* name) {
    window.show();
    QCoreApplication::processEvents();
    const QString path = folder + "/" + name;
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

void SampleInterfaces(InterfaceList& list) {
    list.count = 2;
    SetField(list.entries[0].macAddress, u"00:0C:29:3A:4B:5C");
    SetField(list.entries[0].ipAddress, u"198.51.100.1");
    SetField(list.entries[0].subnetMask, u"255.255.255.0");
    SetField(list.entries[0].description, u"Gigabit Ethernet Adapter");
    SetField(list.entries[1].macAddress, u"00:90:4B:F1:02:E3");
    SetField(list.entries[1].ipAddress, u"192.0.2.17");
    SetField(list.entries[1].subnetMask, u"255.255.255.0");
    SetField(list.entries[1].description, u"Wireless LAN Adapter");
}

void SampleFleet(DeviceTable& table) {
    const uint8_t statuses[] = {kStatusTested,   kStatusPresent,    kStatusUpgraded,
                                kStatusUntested, kStatusFailedTest, kStatusTested};
    for (int i = 0; i < 6; ++i) {
        DeviceEntry e{};
        const uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x00, 0x00, static_cast<uint8_t>(i + 1)};
        std::copy(mac, mac + 6, e.macAddress);
        const uint8_t ip[4] = {198, 51, 100, static_cast<uint8_t>(10 + i)};
        std::copy(ip, ip + 4, e.ipAddress);
        const std::u16string name = u"rack-" + std::u16string(1, static_cast<char16_t>(u'A' + i));
        name.copy(e.deviceName, name.size());
        std::u16string(u"PDU-24").copy(e.model, 6);
        std::u16string(u"datacentre").copy(e.groupName, 10);
        e.swVersion = {2, 4, static_cast<uint8_t>(i)};
        e.hwRev = 3;
        e.kernelVersion = {4, 19, 0};
        e.filesysVersion = {1, 7, 2};
        e.patchVersion = {0, 0, 5};
        e.bootloaderRev = 1042;
        e.status = statuses[i];
        table.slots[table.count++] = e;
    }
}

// The main window after its whole opening, over a settings file of its own in a
// temporary program directory, with the sample fleet merged into its table. Its listener
// binds the default port: scripts/screenshots runs this in a private network namespace.
bool SaveMainWindow(const QString& folder) {
    QTemporaryDir programDir;
    if (!programDir.isValid()) {
        return false;
    }
    platform::SetProgramFileOverride((programDir.path() + "/Ravelin").toStdU16String());
    SetConfigDefaults();
    const uint8_t mac[6] = {0x00, 0x0C, 0x29, 0x3A, 0x4B, 0x5C};
    const uint8_t ip[4] = {198, 51, 100, 1};
    const uint8_t mask[4] = {255, 255, 255, 0};
    std::memcpy(TheConfig().mgrmacaddr, mac, 6);
    std::memcpy(TheConfig().mgripaddr, ip, 4);
    std::memcpy(TheConfig().mgrsubnetmask, mask, 4);
    SaveConfigItem(kCfgMgrMacAddr);
    SaveConfigItem(kCfgMgrIpAddr);
    SaveConfigItem(kCfgMgrSubnetMask);
    bool ok = false;
    {
        CRavelinDlg window(false);
        window.OnInitDialog();
        window.findChild<QCheckBox*>(QString::number(kBroadcastBox))->click();
        window.findChild<QLineEdit*>(QString::number(kStartAddressEdit))->setText("198.51.100.10");
        window.findChild<QLineEdit*>(QString::number(kEndAddressEdit))->setText("198.51.100.40");
        // No pass runs, so the upgrader reads nothing of the table while it is filled.
        SampleFleet(TheDeviceTable());
        window.listView().RefreshRow(-1);
        window.listView().list()->topLevelItem(0)->setSelected(true);
        ok = Save(window, folder, "main-window.png");
        window.close();
    }
    platform::SetProgramFileOverride(std::nullopt);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ravelin_screenshots <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    CAboutDlg about;
    ok &= Save(about, folder, "about.png");

    std::u16string mac, ip, mask;
    CSelectAddrDlg select(mac, ip, mask, nullptr, SampleInterfaces);
    ok &= Save(select, folder, "select-interface.png");

    auto table = std::make_unique<DeviceTable>();
    SampleFleet(*table);
    QDialog window;
    window.setWindowTitle("Korvana Firmware Upgrader");
    auto* list = new QTreeWidget(&window);
    list->setFixedSize(900, 220);
    DeviceListView view(list, *table);
    FilterBoxes filters(&window, view);
    auto* upgrade = new QPushButton("Upgrade", &window);
    auto* test = new QPushButton("Test Connection", &window);
    auto* secondaries = new QPushButton("Secondaries", &window);
    CommandButtonRule rule(list, upgrade, test, secondaries);
    auto* layout = new QVBoxLayout(&window);
    auto* top = new QHBoxLayout;
    top->addWidget(filters.statusGroup());
    top->addWidget(filters.versionsGroup());
    top->addStretch();
    layout->addLayout(top);
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(test);
    buttons->addWidget(upgrade);
    buttons->addWidget(secondaries);
    layout->addLayout(buttons);
    view.SetUpColumns();
    rule.Apply();
    filters.StatusShowAll();
    filters.VersionsShowAll();
    view.RefreshRow(-1);
    list->topLevelItem(0)->setSelected(true);
    ok &= Save(window, folder, "device-list.png");
    ok &= SaveMainWindow(folder);

    SetConfigDefaults();
    ConfigValues& config = TheConfig();
    config.upgmethod = kConfigureTftp;
    std::u16string(u"192.0.2.50").copy(config.upgradetftp, 10);
    std::u16string(u"tevpack3-2026.bin").copy(config.upgradefile, 17);
    std::u16string(u"tevblpack-0412.bin").copy(config.upgradeblfile, 18);
    const uint8_t station[4] = {198, 51, 100, 1};
    const uint8_t stationMac[6] = {0x00, 0x0C, 0x29, 0x3A, 0x4B, 0x5C};
    const uint8_t stationMask[4] = {255, 255, 255, 0};
    std::copy(station, station + 4, config.mgripaddr);
    std::copy(stationMac, stationMac + 6, config.mgrmacaddr);
    std::copy(stationMask, stationMask + 4, config.mgrsubnetmask);
    const uint8_t kernel[3] = {4, 210, 0};
    std::copy(kernel, kernel + 3, config.upgkernversion);
    std::copy(kernel, kernel + 3, config.upgfsysversion);
    ConfigureEnvironment environment;
    environment.extendedMode = true;
    bool saved = false;
    CConfigureDlg configure(&saved, environment, config);
    ok &= Save(configure, folder, "configuration.png");
    return ok ? 0 : 1;
}
