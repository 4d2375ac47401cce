#include "app/device_table.h"
#include "app/windows/command_buttons.h"
#include "app/windows/device_list_view.h"
#include "app/windows/filter_boxes.h"
#include "platform/qt/control_id.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMaxListSize = 20;

// The list, its filters and the three command buttons in a window of their own, driven
// with real clicks.
class DeviceListViewTest : public ::testing::Test {
  protected:
    DeviceListViewTest()
        : table(std::make_unique<DeviceTable>()), list(new QTreeWidget(&window)),
          view(list, *table), filters(&window, view), upgrade(new QPushButton("Upgrade", &window)),
          test(new QPushButton("Test Connection", &window)),
          secondaries(new QPushButton("Secondaries", &window)),
          rule(list, upgrade, test, secondaries) {
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(filters.statusGroup());
        layout->addWidget(filters.versionsGroup());
        layout->addWidget(list);
        layout->addWidget(upgrade);
        layout->addWidget(test);
        layout->addWidget(secondaries);
        list->setFixedSize(1000, 400);
        *table = DeviceTable{};
        view.SetUpColumns();
        rule.Apply();
        filters.StatusShowAll();
        filters.VersionsShowAll();
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // A unit discovered (Present), then moved on to `status` as the merges would.
    int AddUnit(uint8_t id, const std::u16string& name, uint8_t status = kStatusPresent) {
        DeviceEntry record{};
        record.macAddress[5] = id;
        record.ipAddress[0] = 10;
        record.ipAddress[3] = id;
        name.copy(record.deviceName, name.size());
        const int slot = MergeDiscoveryRecord(*table, record, kMaxListSize);
        if (slot >= 0) {
            table->slots[slot].status = status;
            view.RefreshRow(slot);
        }
        return slot;
    }

    QCheckBox* Box(int id) { return platform::Control<QCheckBox>(&window, id); }

    void ClickBox(int id) {
        QCheckBox* box = Box(id);
        ASSERT_NE(box, nullptr) << id;
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }

    void ClickHeader(int column) {
        QHeaderView* header = list->header();
        list->horizontalScrollBar()->setValue(header->sectionPosition(column));
        QCoreApplication::processEvents();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    void ClickRow(QTreeWidgetItem* row, Qt::KeyboardModifiers modifiers = {}) {
        list->scrollToItem(row);
        list->horizontalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
        // The row is far wider than the viewport: click near its left end.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          QPoint(10, list->visualItemRect(row).center().y()));
    }

    // The slot behind each row, top to bottom.
    std::vector<int> RowSlots() const {
        std::vector<int> slots;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            slots.push_back(DeviceListView::SlotOfRow(list->topLevelItem(i)));
        }
        return slots;
    }

    std::unique_ptr<DeviceTable> table;
    QDialog window;
    QTreeWidget* list;
    DeviceListView view;
    FilterBoxes filters;
    QPushButton* upgrade;
    QPushButton* test;
    QPushButton* secondaries;
    CommandButtonRule rule;
};

using Slots = std::vector<int>;

} // namespace

TEST_F(DeviceListViewTest, ColumnsCellsAndItemParameters) {
    ASSERT_EQ(list->columnCount(), kDeviceListColumns);
    EXPECT_EQ(list->headerItem()->text(0), "Status");
    EXPECT_EQ(list->headerItem()->text(19), "BLPack Filename");
    EXPECT_EQ(list->columnWidth(0), 100);
    EXPECT_EQ(list->columnWidth(11), 200);
    EXPECT_EQ(list->columnWidth(9), 60);
    EXPECT_EQ(platform::Control<QTreeWidget>(&window, kDeviceListId), list);

    AddUnit(7, u"north", kStatusTested);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    QTreeWidgetItem* row = list->topLevelItem(0);
    EXPECT_EQ(row->text(0), "Tested");
    EXPECT_EQ(row->text(1), "00:00:00:00:00:07");
    EXPECT_EQ(row->text(2), "north");
    EXPECT_EQ(row->text(3), "10.0.0.7");
    EXPECT_EQ(DeviceListView::SlotOfRow(row), 0);
}

TEST_F(DeviceListViewTest, TheHeaderTextChoosesWhatAColumnShows) {
    AddUnit(1, u"east");
    list->headerItem()->setText(3, "Status");
    list->headerItem()->setText(4, "No Such Column");
    view.RefreshRow(0);
    QTreeWidgetItem* row = list->topLevelItem(0);
    EXPECT_EQ(row->text(3), "Present");
    EXPECT_EQ(row->text(4), "");
}

TEST_F(DeviceListViewTest, ClearingPresentHidesPresentUnitsAndTickingItRestoresShowAll) {
    AddUnit(1, u"a", kStatusPresent);
    AddUnit(2, u"b", kStatusTested);
    AddUnit(3, u"c", kStatusPresent);
    ASSERT_EQ(RowSlots(), (Slots{0, 1, 2}));

    ClickBox(kPresentBox);
    EXPECT_FALSE(Box(kPresentBox)->isChecked());
    EXPECT_FALSE(Box(kStatusShowAllBox)->isChecked());
    EXPECT_EQ(view.statusBits(), 0x7cu);
    EXPECT_EQ(RowSlots(), (Slots{1}));

    ClickBox(kPresentBox);
    EXPECT_TRUE(Box(kStatusShowAllBox)->isChecked());
    EXPECT_EQ(view.statusBits(), kStatusFilterAll);
    EXPECT_EQ(RowSlots(), (Slots{0, 1, 2}));

    // A click on the ticked "Show All" leaves it ticked.
    ClickBox(kStatusShowAllBox);
    EXPECT_TRUE(Box(kStatusShowAllBox)->isChecked());
    EXPECT_EQ(RowSlots(), (Slots{0, 1, 2}));
}

TEST_F(DeviceListViewTest, StatusShowAllTicksEveryBoxAgain) {
    AddUnit(1, u"a", kStatusUpgraded);
    ClickBox(kUpgradedBox);
    ClickBox(kTestedBox);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    ClickBox(kStatusShowAllBox);
    for (int id : {kStatusShowAllBox, kPresentBox, kUntestedBox, kTestedBox, kFailedTestBox,
                   kUpgradedBox, kFailedUpgradeBox}) {
        EXPECT_TRUE(Box(id)->isChecked()) << id;
    }
    EXPECT_EQ(list->topLevelItemCount(), 1);
}

TEST_F(DeviceListViewTest, VersionBoxesCompareWithTheReferences) {
    VersionReferences references{};
    references.application[0] = 2; // 2.0.0, hardware revision 0
    view.SetVersionReferences(references);
    const int older = AddUnit(1, u"older");
    const int same = AddUnit(2, u"same");
    const int newer = AddUnit(3, u"newer");
    table->slots[older].swVersion = {1, 9, 9};
    table->slots[same].swVersion = {2, 0, 0};
    table->slots[newer].swVersion = {2, 0, 1};

    ClickBox(kGreaterThanBox);
    EXPECT_FALSE(Box(kVersionShowAllBox)->isChecked());
    EXPECT_EQ(RowSlots(), (Slots{older, same}));
    ClickBox(kLessThanBox);
    EXPECT_EQ(RowSlots(), (Slots{same}));
    ClickBox(kEqualBox);
    EXPECT_TRUE(RowSlots().empty());
    ClickBox(kVersionShowAllBox);
    EXPECT_TRUE(Box(kGreaterThanBox)->isChecked() && Box(kLessThanBox)->isChecked() &&
                Box(kEqualBox)->isChecked());
    EXPECT_EQ(RowSlots(), (Slots{older, same, newer}));
}

TEST_F(DeviceListViewTest, StatusSortedTwiceGoesAscendingThenDescending) {
    AddUnit(1, u"a", kStatusTested);
    AddUnit(2, u"b", kStatusPresent);
    AddUnit(3, u"c", kStatusFailedUpgrade);
    AddUnit(4, u"d", kStatusUntested);

    ClickHeader(0);
    EXPECT_EQ(RowSlots(), (Slots{1, 3, 0, 2}));
    EXPECT_TRUE(view.sortState().ascending);
    ClickHeader(0);
    EXPECT_EQ(RowSlots(), (Slots{2, 0, 3, 1}));
    EXPECT_FALSE(view.sortState().ascending);
    ClickHeader(2); // another column starts ascending again
    EXPECT_EQ(RowSlots(), (Slots{0, 1, 2, 3}));
    EXPECT_TRUE(view.sortState().ascending);
}

TEST_F(DeviceListViewTest, SettingTheSortIndicatorSortsLikeAClick) {
    AddUnit(1, u"b");
    AddUnit(2, u"c");
    AddUnit(3, u"a");
    list->header()->setSortIndicator(2, Qt::DescendingOrder); // the view decides the order
    EXPECT_EQ(RowSlots(), (Slots{2, 0, 1}));
    EXPECT_TRUE(view.sortState().column == 2 && view.sortState().ascending);
    ClickHeader(2);
    EXPECT_EQ(RowSlots(), (Slots{1, 0, 2}));
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(DeviceListViewTest, TheBootloaderPackageRevisionColumnKeepsTheOrder) {
    AddUnit(1, u"b");
    AddUnit(2, u"a");
    AddUnit(3, u"c");
    table->slots[0].blPackRev = 9;
    table->slots[2].blPackRev = 1;
    ClickHeader(2);
    ASSERT_EQ(RowSlots(), (Slots{1, 0, 2}));
    ClickHeader(18);
    EXPECT_EQ(view.sortState().column, 18);
    EXPECT_EQ(RowSlots(), (Slots{1, 0, 2}));
}

TEST_F(DeviceListViewTest, AfterASortUpdatesStayInPlaceAndNewUnitsGoToTheBottom) {
    AddUnit(1, u"m");
    AddUnit(2, u"z");
    AddUnit(3, u"a");
    ClickHeader(2);
    ASSERT_EQ(RowSlots(), (Slots{2, 0, 1}));
    ClickRow(list->topLevelItem(1));
    ASSERT_TRUE(list->topLevelItem(1)->isSelected());

    // An update that would sort first keeps its row and its selection.
    DeviceEntry record = table->slots[0];
    std::u16string(u"aaa").copy(record.deviceName, 3);
    ASSERT_EQ(MergeDiscoveryRecord(*table, record, kMaxListSize), 0);
    view.RefreshRow(0);
    EXPECT_EQ(RowSlots(), (Slots{2, 0, 1}));
    EXPECT_EQ(list->topLevelItem(1)->text(2), "aaa");
    EXPECT_TRUE(list->topLevelItem(1)->isSelected());

    // A new unit that would sort first is appended.
    AddUnit(4, u"0");
    EXPECT_EQ(RowSlots(), (Slots{2, 0, 1, 3}));
}

TEST_F(DeviceListViewTest, MergesOfFilteredOutUnitsAddNoRowAndFailingUnitsLoseTheirRow) {
    const int slot = AddUnit(1, u"a");
    ClickBox(kUntestedBox);
    ClickBox(kPresentBox);
    EXPECT_EQ(list->topLevelItemCount(), 0);

    // Present and filtered out: a fresh discovery reply for it adds no row.
    DeviceEntry record = table->slots[slot];
    std::u16string(u"renamed").copy(record.deviceName, 7);
    ASSERT_EQ(MergeDiscoveryRecord(*table, record, kMaxListSize), slot);
    view.RefreshRow(slot);
    EXPECT_EQ(list->topLevelItemCount(), 0);

    // Shown as Present; its group info makes it Untested, which is filtered out.
    ClickBox(kPresentBox);
    ASSERT_EQ(RowSlots(), (Slots{slot}));
    std::u16string(u"grp").copy(record.groupName, 3);
    std::u16string(u"key").copy(record.groupPassword, 3);
    ASSERT_EQ(MergeGroupInfoRecord(*table, record), slot);
    ASSERT_EQ(table->slots[slot].status, kStatusUntested);
    view.RefreshRow(slot);
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(DeviceListViewTest, TheThreeCommandsNeedASelectedRow) {
    for (QPushButton* button : {upgrade, test, secondaries}) {
        EXPECT_FALSE(button->isEnabled());
    }
    AddUnit(1, u"a");
    AddUnit(2, u"b");
    for (QPushButton* button : {upgrade, test, secondaries}) {
        EXPECT_FALSE(button->isEnabled());
    }
    ClickRow(list->topLevelItem(1));
    for (QPushButton* button : {upgrade, test, secondaries}) {
        EXPECT_TRUE(button->isEnabled());
    }
    ClickRow(list->topLevelItem(1), Qt::ControlModifier); // deselects it
    EXPECT_TRUE(list->selectedItems().isEmpty());
    for (QPushButton* button : {upgrade, test, secondaries}) {
        EXPECT_FALSE(button->isEnabled());
    }
    // The button of a running pass stays reachable.
    rule.SetKeepEnabled([this](const QPushButton* button) { return button == test; });
    rule.Apply();
    EXPECT_TRUE(test->isEnabled());
    EXPECT_FALSE(upgrade->isEnabled());
}

TEST_F(DeviceListViewTest, MarkSelectionsWritesNotShownShownAndSelected) {
    AddUnit(1, u"a", kStatusTested);
    AddUnit(2, u"b", kStatusPresent);
    AddUnit(3, u"c", kStatusTested);
    ClickBox(kPresentBox);
    ASSERT_EQ(RowSlots(), (Slots{0, 2}));
    ClickRow(list->topLevelItem(1));
    table->slots[1].selection = kShownSelected; // stale mark from an earlier pass
    view.MarkSelections();
    EXPECT_EQ(table->slots[0].selection, kShown);
    EXPECT_EQ(table->slots[1].selection, kNotShown);
    EXPECT_EQ(table->slots[2].selection, kShownSelected);
}

TEST_F(DeviceListViewTest, AWholeListRefreshDropsSortAndSelection) {
    AddUnit(1, u"b");
    AddUnit(2, u"a");
    ClickHeader(2);
    ClickRow(list->topLevelItem(0));
    ASSERT_EQ(RowSlots(), (Slots{1, 0}));
    view.RefreshRow(-1);
    EXPECT_EQ(RowSlots(), (Slots{0, 1}));
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(upgrade->isEnabled());
}
