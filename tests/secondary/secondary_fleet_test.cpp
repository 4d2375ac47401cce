// The secondary-devices window with the real upgrader thread and listener against unit-sim:
// four primaries with two secondaries each; the third refuses every login.
#include "platform/message_queue_window.h"
#include "platform/qt/control_id.h"
#include "platform/qt/message_box.h"
#include "secondary/windows/handle_slaves_dlg.h"
#include "tests/upgrade/fleet_station.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using upgradetest::FleetSpec;
using upgradetest::FleetStation;

template <size_t N> void Put(char16_t (&field)[N], const std::u16string& text) {
    std::memset(field, 0, sizeof field);
    text.copy(field, N - 1);
}

// Runs the user-interface thread's events until `done` holds or 60 s have passed.
template <typename Done> bool PumpUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

QStringList States(QTreeWidget* list) {
    QStringList states;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        states << list->topLevelItem(i)->text(2) + "=" + list->topLevelItem(i)->text(0);
    }
    states.sort();
    return states;
}

void SelectByName(QTreeWidget* list, const QStringList& names) {
    list->clearSelection();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        list->topLevelItem(i)->setSelected(names.contains(list->topLevelItem(i)->text(2)));
    }
}

bool AskedForSecondaries(const FleetStation& station, int unit) {
    for (const std::string& name :
         upgradetest::UnitRequestNames(station.LogPath(), station.UnitIp(unit))) {
        if (name.rfind("secondaries", 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(SecondaryFleet, RefreshAndUpgradeThroughTheWindow) {
    FleetStation station(FleetSpec{57,
                                   4,
                                   {"--secondaries", "2", "--group", "Station", "--password",
                                    "stationpw", "--fault", "login-refused:2"}});
    ASSERT_TRUE(station.Started());
    ASSERT_TRUE(station.Discover(4));
    // The units as a test pass would have left them; the second one has only a
    // bootloader package, which lists it but fails the firmware check.
    station.Table().Write([](DeviceTable& table) {
        for (int slot = 0; slot < table.count; ++slot) {
            DeviceEntry& e = table.slots[slot];
            e.status = kStatusTested;
            e.selection = kShownSelected;
            e.map = 1;
            e.packKernelVersion = {2, 6, 30};
            Put(e.packFilename, u"tevpack-3.bin");
        }
        return 0;
    });
    for (int unit = 0; unit < 4; ++unit) {
        ASSERT_NE(station.Entry(unit), nullptr);
        ASSERT_EQ(station.Entry(unit)->secondaryCount, 2);
    }
    const DeviceEntry* second = station.Entry(1);
    station.Table().Write([&](DeviceTable& table) {
        DeviceEntry& e = table.slots[second - table.slots];
        e.packFilename[0] = 0;
        Put(e.blPackFilename, u"tevblpack-1.bin");
        return 0;
    });

    platform::MessageQueueWindow mainWindow;
    platform::ScriptedMessageBoxes boxes;
    SecondariesLinks links;
    links.table = &station.Table();
    links.context = &station.Context();
    links.mainWindow = mainWindow.handle();
    CHandleSlavesDlg window(nullptr, links);
    window.show();
    auto* primaries = platform::Control<QTreeWidget>(&window, kPrimaryListId);
    auto* secondaries = platform::Control<QTreeWidget>(&window, kSecondaryListId);
    auto* refresh = platform::Control<QPushButton>(&window, kRefreshButton);
    auto* upgrade = platform::Control<QPushButton>(&window, kUpgradeSecondariesButton);

    // The refresh runs at opening.
    ASSERT_TRUE(PumpUntil([&] { return refresh->isEnabled(); }));
    EXPECT_TRUE(primaries->isEnabled());
    EXPECT_EQ(States(primaries), QStringList({"unit0001=Tested", "unit0002=Tested",
                                              "unit0003=Present", "unit0004=Tested"}))
        << "the unit that refuses has no secondaries read and stays Present";
    SelectByName(primaries, {"unit0001"});
    EXPECT_EQ(secondaries->topLevelItemCount(), 2);
    EXPECT_NE(secondaries->topLevelItem(0)->text(1), "");

    // The second selected primary has no firmware package: nothing is upgraded.
    SelectByName(primaries, {"unit0001", "unit0002"});
    QTest::mouseClick(upgrade, Qt::LeftButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_TRUE(boxes.calls()[0].text.startsWith("PDU Named (unit0002) MAC (02:52:56:00:00:02)"))
        << boxes.calls()[0].text.toStdString();
    EXPECT_EQ(boxes.calls()[0].caption, "Error");
    for (int unit = 0; unit < 4; ++unit) {
        EXPECT_FALSE(AskedForSecondaries(station, unit)) << unit;
    }

    // No leaves every mark as it was.
    SelectByName(primaries, {"unit0001", "unit0003"});
    const QStringList before = States(primaries);
    boxes.ClearCalls();
    boxes.QueueAnswer(platform::MessageBoxResult::No);
    QTest::mouseClick(upgrade, Qt::LeftButton);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(States(primaries), before);

    // Yes upgrades the secondaries of the selected primaries only.
    boxes.QueueAnswer(platform::MessageBoxResult::Yes);
    QTest::mouseClick(upgrade, Qt::LeftButton);
    EXPECT_FALSE(refresh->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return refresh->isEnabled(); }));
    EXPECT_EQ(States(primaries), QStringList({"unit0001=Upgraded", "unit0002=Tested",
                                              "unit0003=Failed", "unit0004=Tested"}));
    EXPECT_TRUE(AskedForSecondaries(station, 0));
    EXPECT_FALSE(AskedForSecondaries(station, 1));
    EXPECT_FALSE(AskedForSecondaries(station, 3));
    platform::Message stray;
    EXPECT_FALSE(mainWindow.TakeMessage(stray, 0)) << "nothing of this window's went on";
}

} // namespace
